#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ghost/command_lines.h"
#include "tests/native/harness.h"

namespace {

struct LineHarness : Harness {
    LineHarness() {
        AddFixedDrive('D', 0, 2);
        EXPECT_TRUE(Start());
        ui.ClickRow(kMainWindow, kPartitionList, 1);  // D:\ is 1:2
    }
    std::string Backup(const std::string& image = "D:\\a.GHO") {
        return GhostBackupLine(LineInputsFrom(program, image));
    }
    std::string Restore(const std::string& image = "E:\\win7.gho") {
        return GhostRestoreLine(LineInputsFrom(program, image));
    }
};

TEST(GhostLines, InitialSwitchesByteForByte) {
    LineHarness h;
    EXPECT_EQ(
        h.Backup(),
        "C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"D:\\a.GHO\" -z9 -noide -sure -fx");
    EXPECT_EQ(h.Restore(),
              "C:\\Windows\\qii32.exe -clone,mode=pload,src=\"E:\\win7.gho\":1,dst=1:2 -crcignore  "
              "-noide -sure  -fx");
    EXPECT_EQ(GhostCopyLine("C:\\Windows\\qii32.exe", "1:2", "1:3"),
              "C:\\Windows\\qii32.exe -clone,mode=pcopy,src=1:2,dst=1:3  -sure -fx");
    EXPECT_EQ(GhostCheckLine("C:\\Windows\\qii32.exe", "E:\\my image.gho"),
              "C:\\Windows\\qii32.exe   -CHKIMG,E:\\my image.gho -sure  -fx -BATCH ");
}

TEST(GhostLines, OptionsChangeTheirSwitchesOnly) {
    LineHarness h;
    h.ui.Click(kMainWindow, kCrcOption);
    h.ui.Click(kMainWindow, kNoIdeOption);
    EXPECT_EQ(h.Restore(),
              "C:\\Windows\\qii32.exe -clone,mode=pload,src=\"E:\\win7.gho\":1,dst=1:2 -sure  -fx");
    h.ui.Click(kMainWindow, kNoIdeOption);
    h.ui.Click(kMainWindow, kPasswordOption);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kPasswordBox));
    h.ui.SetText(kMainWindow, kPasswordBox, "pa ss");
    EXPECT_EQ(h.Backup(),
              "C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"D:\\a.GHO\" -z9 -noide "
              "-pwd=pa ss -sure -fx");
    EXPECT_EQ(h.Restore(),
              "C:\\Windows\\qii32.exe -clone,mode=pload,src=\"E:\\win7.gho\":1,dst=1:2 -noide "
              "-pwd=pa ss -sure  -fx");
    // Unchecking removes both the switch and the password.
    h.ui.Click(kMainWindow, kPasswordOption);
    EXPECT_EQ(h.ui.GetText(kMainWindow, kPasswordBox), "");
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kPasswordBox));
    EXPECT_EQ(
        h.Backup(),
        "C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"D:\\a.GHO\" -z9 -noide -sure -fx");
}

TEST(GhostLines, ModeChangeDropsThePassword) {
    LineHarness h;
    h.ui.Click(kMainWindow, kPasswordOption);
    h.ui.SetText(kMainWindow, kPasswordBox, "x");
    h.ui.Click(kMainWindow, kBackupMode);
    EXPECT_EQ(h.Backup().find("-pwd"), std::string::npos);
}

TEST(GhostLines, CompressionSetsGhostAndImagexTexts) {
    LineHarness h;
    h.ui.Click(kMainWindow, kBackupMode);  // the compression box shows in backup mode
    const struct {
        int index;
        const char* ghost;
        const char* imagex;
    } cases[] = {{0, " -z1", " /compress none"},
                 {1, " -z2", " /compress Fast"},
                 {2, " -z5", " /compress Fast"},  // the middle level keeps ImageX's text
                 {3, " -z9", " /compress Maximum"},
                 {2, " -z5", " /compress Maximum"}};
    for (const auto& c : cases) {
        h.ui.SelectItem(kMainWindow, kCompressionBox, c.index);
        EXPECT_EQ(h.program.state.ghostCompressionSwitch, c.ghost) << c.index;
        EXPECT_EQ(h.program.state.imagexCompressionText, c.imagex) << c.index;
    }
    EXPECT_EQ(
        h.Backup(),
        "C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"D:\\a.GHO\" -z5 -noide -sure -fx");
}

TEST(GhostLines, SplitRule) {
    EXPECT_EQ(SplitSwitchFor("不分卷"), "");
    EXPECT_EQ(SplitSwitchFor("650 MB"), " -span  -split=650 -auto");
    EXPECT_EQ(SplitSwitchFor("1950 MB"), " -span  -split=1950 -auto");
    EXPECT_EQ(SplitSwitchFor("3950 MB"), " -span  -split=3950 -auto");
    EXPECT_EQ(SplitSwitchFor("自动检测"), " -span");
    EXPECT_EQ(SplitSwitchFor("700"), " -span  -split=700 -auto");
    LineHarness h;
    h.program.state.splitSwitch = SplitSwitchFor("700");
    EXPECT_EQ(h.Backup(),
              "C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"D:\\a.GHO\" -z9 -span  "
              "-split=700 -auto -noide -sure -fx");
}

TEST(GhostLines, TypedSplitSizesAreWholeMegabytesTheEngineAccepts) {
    // The engine refuses spans under 2 MB, so the program never offers it one.
    for (const char* ok : {"2", "700", "4000", "1048576", "650 MB", "自动检测", "不分卷"})
        EXPECT_TRUE(IsAcceptableSplitText(ok)) << ok;
    for (const char* bad :
         {"", "0", "1", "-5", "7.5", "700MB", "abc", " 700", "1048577", "99999999999"})
        EXPECT_FALSE(IsAcceptableSplitText(bad)) << bad;
}

TEST(GhostLines, RebootModeLines) {
    LineHarness h;
    GhostLineInputs in = LineInputsFrom(h.program, "");
    EXPECT_EQ(RebootBackupLine(in, "D:\\MorvekOS\\C.GHO"),
              "Ghost.exe  -clone,mode=pdump,src=1:2,dst=\"D:\\MorvekOS\\C.GHO\" -z9 -noide -sure "
              "-fx \r\nrestart");
    EXPECT_EQ(RebootRestoreLine(in, "D:"),
              "Ghost.exe -clone,mode=pload,src=\"D:\\MorvekOS\\MorvekOS.GHO\":1,dst=1:2 -crcignore "
              " -noide "
              "-sure  -fx -afile=\"GHOSTERR.TXT\"\r\nrestart");
}

TEST(GhostOutput, ResultRule) {
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Backup, ""), GhostOutcome::Succeeded);
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Backup, "^C"), GhostOutcome::Cancelled);
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Backup, "^C\r\n"), GhostOutcome::Failed);
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Restore, "^C and more"), GhostOutcome::Cancelled);
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Copy, "^C"), GhostOutcome::Cancelled);
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Restore, "Error 10030"), GhostOutcome::Failed);
    EXPECT_EQ(JudgeGhostOutput(GhostJob::Copy, " ^C"), GhostOutcome::Failed);
}

}  // namespace
