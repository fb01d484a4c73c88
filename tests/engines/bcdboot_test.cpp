// bcdboot: the create and language lines (and the retry batch's lines), and that no
// failure can pass the program's success test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engines/bcdboot/bcdboot_cli.h"
#include "engines/bcdstore/bcd_store.h"
#include "engines/bcdstore/store_file.h"
#include "tests/engines/shell_run.h"
#include "common/cmdline.h"

namespace {

// The program's success test on bcdboot's output.
bool ProgramCallsItSuccess(const std::string& output) {
    return engine::LowerAscii(output).find("successfully") != std::string::npos ||
           output.find(u8"成功") != std::string::npos;
}

TEST(BcdbootCommandLine, AcceptsTheLinesTheProgramBuilds) {
    struct Case {
        std::string line;
        std::string folder, drive, locale;
    };
    const std::vector<Case> cases = {
        // Target root "C:\\" + "\Windows": three backslashes in a row.
        {"BCDBOOT.EXE C:\\\\\\Windows /s C:\\", "C:\\\\\\Windows", "C:\\", ""},
        {"BCDBOOT.EXE C:\\\\\\Windows /l zh-cn ", "C:\\\\\\Windows", "", "zh-cn"},
        {"BCDBOOT.EXE D:\\\\\\Windows /S E:\\", "D:\\\\\\Windows", "E:\\", ""},
        {"bcdboot.exe d:\\\\\\windows /s e:", "d:\\\\\\windows", "e:", ""},
        {"BCDBOOT.EXE C:\\Windows /L ZH-CN", "C:\\Windows", "", "ZH-CN"},
        {"BCDBOOT.EXE C:\\Windows /s C: /l zh-cn", "C:\\Windows", "C:", "zh-cn"},
    };
    for (const Case& c : cases) {
        bcdboot::BcdbootCommand cmd;
        std::string error;
        ASSERT_TRUE(bcdboot::ParseBcdbootCommandLine(c.line, cmd, error))
            << c.line << ": " << error;
        EXPECT_EQ(cmd.windowsFolder, c.folder) << c.line;
        EXPECT_EQ(cmd.systemDrive, c.drive) << c.line;
        EXPECT_EQ(cmd.locale, c.locale) << c.line;
    }
}

TEST(BcdbootCommandLine, RetryBatchLinesParse) {
    // yd.cmd: two lines, no line break after the last.
    const std::string batch =
        "BCDBOOT.EXE C:\\\\\\Windows /S C:\\\r\nBCDBOOT.EXE C:\\\\\\Windows /l zh-cn ";
    size_t cut = batch.find("\r\n");
    for (const std::string& line : {batch.substr(0, cut), batch.substr(cut + 2)}) {
        bcdboot::BcdbootCommand cmd;
        std::string error;
        EXPECT_TRUE(bcdboot::ParseBcdbootCommandLine(line, cmd, error)) << line << ": " << error;
    }
}

TEST(BcdbootCommandLine, RefusalsNameWhatWasNotUnderstood) {
    struct Case {
        const char* line;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"BCDBOOT.EXE", "no command given"},
        {"BCDBOOT.EXE Windows /s C:", "\"Windows\" is not a folder such as C:\\Windows"},
        {"BCDBOOT.EXE /s C:\\", "the Windows folder is missing"},
        {"BCDBOOT.EXE C:\\Windows /s", "\"/s\" needs a value"},
        {"BCDBOOT.EXE C:\\Windows /f DOS", "/f needs BIOS, UEFI or ALL"},
        {"BCDBOOT.EXE C:\\Windows /s C:\\ /v", "\"/v\""},
        {"BCDBOOT.EXE C:\\Windows /s 1:2", "\"1:2\""},
        {"BCDBOOT.EXE C:\\Windows /s C:\\x", "\"C:\\x\""},
        {"BCDBOOT.EXE C:\\Windows /s C:\\ /S D:\\", "\"/S\" given twice"},
        {"BCDBOOT.EXE C:\\Windows D:\\Windows /s C:", "\"D:\\Windows\""},
        {"BCDBOOT.EXE C:\\Windows /l zh_cn", "\"zh_cn\""},
        {"BCDBOOT.EXE C:\\Windows -s C:", "\"-s\""},
    };
    for (const Case& c : cases) {
        bcdboot::RunResult r = bcdboot::RunBcdboot(c.line);
        EXPECT_EQ(r.exitCode, bcdboot::kExitBadCommandLine) << c.line;
        EXPECT_NE(r.output.find(c.named), std::string::npos) << c.line << "\n" << r.output;
        EXPECT_FALSE(ProgramCallsItSuccess(r.output)) << r.output;
    }
}

// Drive folders: C holds Windows with a Boot stand-in, S is the system partition.
class BcdbootTree : public ::testing::Test {
  protected:
    void SetUp() override {
        root = dir.path;
        testshell::Shell(
            "cd '" + root +
            "'; mkdir -p c/Windows/Boot/PCAT/zh-CN c/Windows/Boot/Fonts "
            "c/Windows/Boot/EFI s; echo manager > c/Windows/Boot/PCAT/bootmgr; echo "
            "mui > c/Windows/Boot/PCAT/zh-CN/bootmgr.exe.mui; echo test > "
            "c/Windows/Boot/PCAT/memtest.exe; echo font > "
            "c/Windows/Boot/Fonts/chs_boot.ttf; echo efi > "
            "c/Windows/Boot/EFI/bootmgfw.efi; printf 'C: mbr 1234abcd 105906176\nS: mbr "
            "1234abcd 1048576 active\nE: folder\n' > volumes; mkdir e");
        setenv("SB_FAKE_DRIVES", root.c_str(), 1);
        setenv("SB_FAKE_VOLUMES", (root + "/volumes").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("SB_FAKE_DRIVES");
        unsetenv("SB_FAKE_VOLUMES");
    }
    bcd::Store Load(const std::string& file) {
        std::vector<uint8_t> bytes;
        std::string error;
        bcd::Store s;
        EXPECT_TRUE(bcd::ReadStoreFile(root + file, bytes, error) && s.Load(bytes, error)) << error;
        return s;
    }
    std::string Text(const std::string& file) {
        std::ifstream in(root + file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    testshell::ScratchDir dir;
    std::string root;
};

TEST_F(BcdbootTree, CreatesBootFilesAndOneEntryPerWindows) {
    bcdboot::RunResult r = bcdboot::RunBcdboot("BCDBOOT.EXE C:\\\\\\Windows /s S:\\");
    ASSERT_EQ(r.exitCode, bcdboot::kExitOk) << r.output;
    EXPECT_EQ(r.output, "Boot files successfully created.\r\n");
    EXPECT_TRUE(ProgramCallsItSuccess(r.output));
    EXPECT_EQ(Text("/s/bootmgr"), "manager\n");
    EXPECT_EQ(Text("/s/Boot/memtest.exe"), "test\n");
    EXPECT_EQ(Text("/s/Boot/zh-CN/bootmgr.exe.mui"), "mui\n");
    EXPECT_EQ(Text("/s/Boot/Fonts/chs_boot.ttf"), "font\n");
    EXPECT_EQ(Text("/s/Boot/bootmgr"), "");          // the manager goes to the root only
    EXPECT_EQ(Text("/s/EFI/Boot/bootx64.efi"), "");  // BIOS by default

    bcd::Store s = Load("/s/Boot/BCD");
    std::string id = s.GetString(bcd::kBootMgrId, bcd::kElemDefault);
    EXPECT_EQ(s.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder), std::vector<std::string>{id});
    EXPECT_EQ(s.ObjectType(id), bcd::kTypeOsLoader);
    EXPECT_EQ(s.GetString(id, bcd::kElemPath), "\\Windows\\system32\\winload.exe");
    EXPECT_EQ(s.GetString(id, bcd::kElemSystemRoot), "\\Windows");
    bcd::Device manager = s.GetDevice(bcd::kBootMgrId, bcd::kElemDevice);
    bcd::Device os = s.GetDevice(id, bcd::kElemOsDevice);
    EXPECT_EQ(manager.partitionOffset, 1048576u);
    EXPECT_EQ(os.partitionOffset, 105906176u);
    EXPECT_EQ(os.mbrSignature, 0x1234abcdu);
    // hivex reads the store bcdboot wrote.
    std::string xml = testshell::Shell("hivexml '" + root + "/s/Boot/BCD'");
    EXPECT_NE(xml.find("<node name=\"" + id + "\">"), std::string::npos);
    EXPECT_NE(xml.find("<string>" + id + "</string>"), std::string::npos);  // display order

    // A boot manager already there is usually read-only; it is replaced all the same.
    testshell::Shell("echo older > '" + root + "/s/bootmgr'; chmod a-w '" + root + "/s/bootmgr'");
    r = bcdboot::RunBcdboot("BCDBOOT.EXE C:\\\\\\Windows /s S:\\");
    ASSERT_EQ(r.exitCode, bcdboot::kExitOk) << r.output;
    EXPECT_EQ(Text("/s/bootmgr"), "manager\n");
    EXPECT_EQ(testshell::Shell("stat -c %A '" + root + "/s/bootmgr'").substr(0, 3), "-rw");

    // The language line (no /s): the active partition of C:'s disk is S:; the entry for
    // this Windows is replaced, not added.
    r = bcdboot::RunBcdboot("BCDBOOT.EXE C:\\\\\\Windows /l zh-cn ");
    ASSERT_EQ(r.exitCode, bcdboot::kExitOk) << r.output;
    s = Load("/s/Boot/BCD");
    EXPECT_EQ(s.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder), std::vector<std::string>{id});
    EXPECT_EQ(s.Objects().size(), 2u);
    EXPECT_EQ(s.GetString(id, bcd::kElemLocale), "zh-cn");
    EXPECT_EQ(s.GetString(bcd::kBootMgrId, bcd::kElemLocale), "zh-cn");

    // UEFI files and store beside the BIOS ones.
    r = bcdboot::RunBcdboot("BCDBOOT.EXE C:\\Windows /s S: /f ALL");
    ASSERT_EQ(r.exitCode, bcdboot::kExitOk) << r.output;
    EXPECT_EQ(Text("/s/EFI/Boot/bootx64.efi"), "efi\n");
    bcd::Store efi = Load("/s/EFI/Microsoft/Boot/BCD");
    std::string efiId = efi.GetString(bcd::kBootMgrId, bcd::kElemDefault);
    EXPECT_EQ(efi.GetString(efiId, bcd::kElemPath), "\\Windows\\system32\\winload.efi");
    EXPECT_EQ(efi.GetString(bcd::kBootMgrId, bcd::kElemPath),
              "\\EFI\\Microsoft\\Boot\\bootmgfw.efi");
}

TEST_F(BcdbootTree, FailuresNeverReadAsSuccess) {
    testshell::Shell("mkdir -p '" + root + "/d/Windows'");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"BCDBOOT.EXE D:\\\\\\Windows /s S:\\",
         "the Windows folder holds no boot manager (Boot\\PCAT\\bootmgr)"},
        {"BCDBOOT.EXE F:\\Windows /s S:", "the Windows folder F:\\Windows does not exist"},
        {"BCDBOOT.EXE C:\\Windows /s Q:", "the system partition Q: does not exist"},
        // E: cannot be identified (as under Wine) and is not where Windows is.
        {"BCDBOOT.EXE C:\\Windows /s E:", "the partition of E: cannot be identified"},
    };
    for (const auto& c : cases) {
        bcdboot::RunResult r = bcdboot::RunBcdboot(c.first);
        EXPECT_EQ(r.exitCode, bcdboot::kExitFailed) << c.first;
        EXPECT_EQ(r.output,
                  "BCDBOOT: failure when attempting to copy boot files: " + c.second + ".\r\n");
        EXPECT_FALSE(ProgramCallsItSuccess(r.output));
    }
    EXPECT_EQ(Text("/s/Boot/BCD"), "");
}

TEST_F(BcdbootTree, AnUnidentifiedPartitionHoldingWindowsBootsItself) {
    testshell::Shell("cp -r '" + root + "/c/Windows' '" + root + "/e/Windows'");
    bcdboot::RunResult r = bcdboot::RunBcdboot("BCDBOOT.EXE E:\\\\\\Windows /s E:\\");
    ASSERT_EQ(r.exitCode, bcdboot::kExitOk) << r.output;
    bcd::Store s = Load("/e/Boot/BCD");
    std::string id = s.GetString(bcd::kBootMgrId, bcd::kElemDefault);
    EXPECT_EQ(s.GetDevice(id, bcd::kElemOsDevice).kind, bcd::Device::Kind::Boot);
    EXPECT_EQ(s.GetDevice(bcd::kBootMgrId, bcd::kElemDevice).kind, bcd::Device::Kind::Boot);
}

}  // namespace
