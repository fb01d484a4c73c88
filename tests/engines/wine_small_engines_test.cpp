// The built omnifs32.exe, ISO.exe, Bootice.exe and bcdboot.exe run as the program runs
// them: through "cmd.exe /c <line>", standard output and error on one pipe, read as ANSI
// (code page 936) bytes. run_wine_test.sh copies them to D:\sb-small-engines\.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kDir = "D:\\sb-small-engines\\";

struct Ran {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

Ran RunThroughCmd(const std::string& line) {
    Ran ran;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return ran;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "cmd.exe /c " + line;
    std::vector<char> buffer(command.begin(), command.end());
    buffer.push_back('\0');
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (started) {
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
            ran.output.append(chunk, got);
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &ran.exitCode);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return ran;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

TEST(Omnifs32, InfoReportsEveryDriveLetter) {
    Ran r = RunThroughCmd(kDir + "omnifs32.exe info");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    std::vector<std::string> lines = Lines(r.output);
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(r.output.substr(r.output.size() - 2), "\r\n");

    DWORD mask = GetLogicalDrives();
    std::vector<char> letters;
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i)) letters.push_back(char('A' + i));
    EXPECT_EQ(lines[0],
              "Omnifs32 volume report: " + std::to_string(letters.size()) + " drive letter(s)");
    ASSERT_EQ(lines.size(), letters.size() + 1) << r.output;
    for (size_t i = 0; i < letters.size(); ++i) {
        const std::string& line = lines[i + 1];
        std::string head = std::string("[") + letters[i] + ":\\] ";
        EXPECT_EQ(line.compare(0, head.size(), head), 0) << line;
        std::string state = line.substr(head.size(), 9);
        EXPECT_TRUE(state == "Active   " || state == "Inactive " || state == "Unknown  ") << line;
        // Only an active line may hold what the partition inventory looks for.
        bool found = line.find(std::string(1, letters[i]) + ":\\] Active") != std::string::npos;
        EXPECT_EQ(found, state == "Active   ") << line;
    }
    // The drives of the test prefix are folders: their place on a disk is known.
    EXPECT_NE(r.output.find("[D:\\] Unknown  disk 0 partition "), std::string::npos) << r.output;
}

TEST(Omnifs32, RefusesOtherCommands) {
    Ran r = RunThroughCmd(kDir + "omnifs32.exe list");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(Lines(r.output).at(0), "omnifs32: unknown command \"list\"") << r.output;
}

TEST(IsoTool, UnmountAllIsQuietAndSucceeds) {
    // The program runs it by this lower-case name at every exit.
    Ran r = RunThroughCmd(kDir + "iso.exe /q");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output, "");
}

TEST(IsoTool, AMissingImageMountsNothingAndBadLinesAreRefused) {
    Ran mount = RunThroughCmd(kDir + "ISO.exe /D:Z /I:D:\\My ISOs\\win 7.iso");
    EXPECT_EQ(mount.exitCode, 3u);
    EXPECT_EQ(mount.output, "ISO: cannot open \"D:\\My ISOs\\win 7.iso\"\r\n");
    Ran bad = RunThroughCmd(kDir + "ISO.exe /unmount");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(Lines(bad.output).at(0), "ISO: unrecognised option \"/unmount\"");
}

void PutFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The program's "add boot files" step on sandbox drive F:, which holds a Windows folder
// with a Boot stand-in. Under Wine the partition behind F: cannot be told, so the
// entries name the partition the boot manager starts from, which is F: itself.
TEST(Bcdboot, AddBootFilesOnASandboxDrive) {
    for (const char* dir : {"F:\\Windows", "F:\\Windows\\Boot", "F:\\Windows\\Boot\\PCAT",
                            "F:\\Windows\\Boot\\PCAT\\zh-CN", "F:\\Windows\\Boot\\Fonts"})
        CreateDirectoryA(dir, nullptr);
    PutFile("F:\\Windows\\Boot\\PCAT\\bootmgr", "stand-in boot manager");
    PutFile("F:\\Windows\\Boot\\PCAT\\zh-CN\\bootmgr.exe.mui", "mui");
    PutFile("F:\\Windows\\Boot\\Fonts\\chs_boot.ttf", "font");

    Ran r = RunThroughCmd(kDir + "BCDBOOT.EXE F:\\\\\\Windows /s F:\\");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(r.output, "Boot files successfully created.\r\n");
    EXPECT_EQ(FileText("F:\\bootmgr"), "stand-in boot manager");
    EXPECT_EQ(FileText("F:\\Boot\\zh-CN\\bootmgr.exe.mui"), "mui");
    EXPECT_EQ(FileText("F:\\Boot\\Fonts\\chs_boot.ttf"), "font");
    EXPECT_EQ(FileText("F:\\Boot\\BCD").substr(0, 4), "regf");
    Ran list = RunThroughCmd(kDir + "bcdedit.exe /store F:\\Boot\\BCD /enum");
    EXPECT_EQ(list.exitCode, 0u) << list.output;
    EXPECT_NE(list.output.find("path                    \\Windows\\system32\\winload.exe\r\n"),
              std::string::npos)
        << list.output;
    EXPECT_NE(list.output.find("osdevice                boot\r\n"), std::string::npos);

    // The language line names no system partition; under Wine no active partition can be
    // found, and the failure does not read as success.
    Ran language = RunThroughCmd(kDir + "BCDBOOT.EXE F:\\\\\\Windows /l zh-cn ");
    EXPECT_EQ(language.exitCode, 3u);
    EXPECT_EQ(language.output.find("successfully"), std::string::npos) << language.output;
    EXPECT_EQ(language.output.find("成功"), std::string::npos);  // GBK bytes, as the program reads

    Ran bad = RunThroughCmd(kDir + "BCDBOOT.EXE C:\\Windows /f DOS");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(Lines(bad.output).at(0), "BCDBOOT: /f needs BIOS, UEFI or ALL");

    for (const char* file : {"F:\\bootmgr", "F:\\Boot\\BCD", "F:\\Boot\\zh-CN\\bootmgr.exe.mui",
                             "F:\\Boot\\Fonts\\chs_boot.ttf", "F:\\Windows\\Boot\\PCAT\\bootmgr",
                             "F:\\Windows\\Boot\\PCAT\\zh-CN\\bootmgr.exe.mui",
                             "F:\\Windows\\Boot\\Fonts\\chs_boot.ttf"})
        DeleteFileA(file);
    for (const char* dir : {"F:\\Boot\\zh-CN", "F:\\Boot\\Fonts", "F:\\Boot",
                            "F:\\Windows\\Boot\\PCAT\\zh-CN", "F:\\Windows\\Boot\\PCAT",
                            "F:\\Windows\\Boot\\Fonts", "F:\\Windows\\Boot", "F:\\Windows"})
        RemoveDirectoryA(dir);
}

// The reboot-mode module's bcdedit lines on a store file, the title in GBK.
TEST(Bcdedit, TheModulesLinesOnAStoreFile) {
    const std::string store = kDir + "BCD";
    DeleteFileA(store.c_str());
    const std::string b = kDir + "bcdedit.exe /store " + store + " ";
    EXPECT_EQ(RunThroughCmd(kDir + "bcdedit.exe /createstore " + store).exitCode, 0u);
    EXPECT_EQ(RunThroughCmd(b + "/create {bootmgr} /d \"Windows Boot Manager\"").exitCode, 0u);
    Ran create = RunThroughCmd(b + "/create /d \"岚舟软件一键备份还原\" /application bootsector");
    ASSERT_EQ(create.exitCode, 0u) << create.output;
    size_t open = create.output.find('{'), close = create.output.find('}');
    ASSERT_NE(close, std::string::npos);
    std::string id = create.output.substr(open, close - open + 1);
    EXPECT_EQ(create.output, "The entry " + id + " was successfully created.\r\n");
    const char done[] = "The operation completed successfully.\r\n";
    EXPECT_EQ(RunThroughCmd(b + "/set " + id + " path \\mvldr.mbr").output, done);
    EXPECT_EQ(RunThroughCmd(b + "/displayorder " + id + " /addlast").output, done);
    EXPECT_EQ(RunThroughCmd(b + "/default " + id).output, done);
    // C: is a folder under Wine: the device cannot be set, and the text holds no braces.
    Ran device = RunThroughCmd(b + "/set " + id + " device partition=C:");
    EXPECT_EQ(device.exitCode, 1u);
    EXPECT_EQ(device.output.find('{'), std::string::npos) << device.output;
    Ran list = RunThroughCmd(b + "/enum");
    EXPECT_NE(list.output.find("description             岚舟软件一键备份还原\r\n"),
              std::string::npos)
        << list.output;
    EXPECT_NE(list.output.find("default                 " + id + "\r\n"), std::string::npos);
    EXPECT_EQ(RunThroughCmd(b + "/delete " + id).output, done);
    DeleteFileA(store.c_str());
}

// Under Wine drive letters are folders and \\.\PhysicalDrive0 is the host's disk: every
// line the program sends is understood and refused before any disk is opened.
TEST(Bootice, BootRecordWritesAreRefusedUnderWine) {
    const std::vector<std::pair<std::string, std::string>> lines = {
        {"C:\\", " /mbr /install  /type=nt60  /quiet"},
        {"C:\\", " /partitions /activate /quiet"},
        {"1:2", " /mbr /install  /type=nt52  /quiet"},
        {"1:2", " /pbr /install  /type=ntldr /quiet"},
        {"1:1", " /mbr /install  /type=nt60  /quiet"},
        {"1:1", " /pbr /install  /type=bootmgr /quiet"},
    };
    for (const auto& line : lines) {
        Ran r = RunThroughCmd(kDir + "BOOTICE.EXE /DEVICE=" + line.first + line.second);
        EXPECT_EQ(r.exitCode, 5u) << line.second;
        EXPECT_EQ(r.output, "Bootice: " + line.first +
                                ": boot records are not written under Wine, where disks are not "
                                "what they name; nothing was written.\r\n");
    }
    Ran bad = RunThroughCmd(kDir + "BOOTICE.EXE /DEVICE=1:2 /mbr /install /type=nt70");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(Lines(bad.output).at(0), "Bootice: unrecognised type \"/type=nt70\" for /mbr");
}

TEST(Bootice, DiskInfoOfAMissingDiskLeavesNoModel) {
    std::string report = kDir + "diskinfo.txt";
    {
        std::ofstream stale(report, std::ios::binary);
        stale << "SET USBDRIVENUM=0\r\nSET USBDRIVEDESC=OLD DISK (1.0 GB)\r\n";
    }
    Ran r = RunThroughCmd(kDir + "Bootice.exe /diskinfo /getdrv /drive=97 /file=" + report);
    EXPECT_EQ(r.exitCode, 3u) << r.output;
    std::ifstream in(report, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines = Lines(text.str());
    ASSERT_EQ(lines.size(), 2u) << text.str();
    EXPECT_EQ(lines[0], "SET USBDRIVENUM=97");
    EXPECT_EQ(lines[1].rfind("REM disk 97 could not be read: ", 0), 0u) << lines[1];
}

}  // namespace
