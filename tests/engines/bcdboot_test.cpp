// bcdboot: the create and language lines (and the retry batch's lines), and that no
// failure can pass the program's success test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/bcdboot/bcdboot_cli.h"
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
        {"BCDBOOT.EXE C:\\Windows", "neither /s nor /l"},
        {"BCDBOOT.EXE /s C:\\", "the Windows folder is missing"},
        {"BCDBOOT.EXE C:\\Windows /s", "\"/s\" needs a value"},
        {"BCDBOOT.EXE C:\\Windows /f ALL", "\"/f\""},
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

TEST(BcdbootCommandLine, NotBuiltWorkNeverReadsAsSuccess) {
    bcdboot::RunResult create = bcdboot::RunBcdboot("BCDBOOT.EXE C:\\\\\\Windows /s C:\\");
    EXPECT_EQ(create.exitCode, bcdboot::kExitNotBuilt);
    EXPECT_EQ(create.output,
              "BCDBOOT: creating boot files from C:\\\\\\Windows on C:\\ is not available in this "
              "build; no boot files were written.\r\n");
    EXPECT_FALSE(ProgramCallsItSuccess(create.output));

    bcdboot::RunResult language = bcdboot::RunBcdboot("BCDBOOT.EXE C:\\\\\\Windows /l zh-cn ");
    EXPECT_EQ(language.exitCode, bcdboot::kExitNotBuilt);
    EXPECT_NE(language.output.find("zh-cn"), std::string::npos);
    EXPECT_FALSE(ProgramCallsItSuccess(language.output));
}

}  // namespace
