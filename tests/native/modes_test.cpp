#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/modes.h"
#include "tests/native/harness.h"

namespace {

struct ModeHarness : Harness {
    ModeHarness() { EXPECT_TRUE(Start()); }
    bool Shown(int control) { return ui.IsVisible(kMainWindow, control); }
    bool Enabled(int control) { return ui.IsEnabled(kMainWindow, control); }
    std::string Text(int control) { return ui.GetText(kMainWindow, control); }
    void TypePassword() {
        ui.Click(kMainWindow, kPasswordOption);
        ui.SetText(kMainWindow, kPasswordBox, "secret");
    }
};

TEST(Modes, RestoreShowsTheImageBoxAndCrcOption) {
    ModeHarness h;
    h.ui.Click(kMainWindow, kBackupMode);
    h.TypePassword();
    h.ui.Click(kMainWindow, kRestoreMode);
    EXPECT_EQ(h.Text(kPromptLabel), "请选择Gho、ISO、WIM映像文件：");
    EXPECT_EQ(h.ui.GetColumnHeader(kMainWindow, kPartitionList, 0), "还原");
    EXPECT_TRUE(h.Shown(kImagePathBox));
    EXPECT_TRUE(h.Enabled(kImagePathBox));
    EXPECT_FALSE(h.Shown(kSavePathBox));
    EXPECT_TRUE(h.Shown(kBrowseButton));
    EXPECT_EQ(h.ui.GetPicture(kMainWindow, kBrowseButton), "browse_open");
    EXPECT_FALSE(h.Shown(kBackupFormatLabel));
    EXPECT_FALSE(h.Shown(kBackupFormatBox));
    EXPECT_FALSE(h.Shown(kSplitSizeBox));
    EXPECT_FALSE(h.Shown(kCompressionBox));
    EXPECT_TRUE(h.Enabled(kSplitSizeBox));
    EXPECT_TRUE(h.Shown(kCrcOption));
    EXPECT_TRUE(h.Enabled(kIntegrityOption));
    EXPECT_FALSE(h.ui.IsChecked(kMainWindow, kPasswordOption));
    EXPECT_EQ(h.Text(kPasswordBox), "");
    EXPECT_FALSE(h.Enabled(kPasswordBox));
    EXPECT_FALSE(h.Shown(kTargetList));
    EXPECT_TRUE(h.Shown(kOptionsTitle));
    EXPECT_EQ(h.ui.GetRect(kMainWindow, kPartitionList).top, 96);
    EXPECT_EQ(h.ui.GetRect(kMainWindow, kPromptLabel).top, 40);
}

TEST(Modes, BackupShowsTheSaveBoxFormatSplitAndCompression) {
    ModeHarness h;
    h.ui.Click(kMainWindow, kRestoreMode);
    h.TypePassword();
    h.ui.Click(kMainWindow, kBackupMode);
    EXPECT_EQ(h.Text(kPromptLabel), "请保存Gho、WIM映像文件：");
    EXPECT_EQ(h.ui.GetColumnHeader(kMainWindow, kPartitionList, 0), "备份");
    EXPECT_FALSE(h.Shown(kImagePathBox));
    EXPECT_TRUE(h.Shown(kSavePathBox));
    EXPECT_EQ(h.ui.GetPicture(kMainWindow, kBrowseButton), "browse_save");
    EXPECT_TRUE(h.Shown(kBackupFormatBox));
    EXPECT_TRUE(h.Shown(kSplitSizeBox));
    EXPECT_TRUE(h.Shown(kCompressionBox));
    EXPECT_FALSE(h.Shown(kCrcOption));
    EXPECT_FALSE(h.Enabled(kIntegrityOption));
    EXPECT_EQ(h.Text(kPasswordBox), "");
    EXPECT_FALSE(h.ui.IsChecked(kMainWindow, kPasswordOption));
    EXPECT_TRUE(h.Enabled(kPasswordOption));
}

TEST(Modes, CopyShowsTwoListsInTheExpandedLayoutThatCannotCollapse) {
    ModeHarness h;
    h.ui.Click(kMainWindow, kCopyMode);
    EXPECT_EQ(h.Text(kPromptLabel), "请选择源分区： 未选择");
    EXPECT_EQ(h.Text(kTargetLabel), "请选择目标分区： 未选择");
    for (int hidden : {kImagePathBox, kSavePathBox, kBrowseButton, kBackupFormatBox, kOptionsTitle})
        EXPECT_FALSE(h.Shown(hidden)) << hidden;
    EXPECT_TRUE(h.Shown(kTargetList));
    EXPECT_TRUE(h.Shown(kTargetLabel));
    EXPECT_EQ(h.ui.GetWindowRect(kMainWindow).width, 666);
    EXPECT_EQ(h.ui.GetPicture(kMainWindow, kPictureBox2), "main_expanded");
    EXPECT_TRUE(h.Shown(kCollapseButton));
    EXPECT_FALSE(h.Enabled(kCollapseButton));
    Rect list = h.ui.GetRect(kMainWindow, kPartitionList);
    Rect target = h.ui.GetRect(kMainWindow, kTargetList);
    EXPECT_EQ(list.top, 64);
    EXPECT_EQ(list.height, 116);
    EXPECT_EQ(target.top, 210);
    EXPECT_EQ(target.height, 116);
    EXPECT_EQ(h.ui.GetRect(kMainWindow, kTargetLabel).top, 188);
    // The options move below the target list (210 + 116).
    for (int control :
         {kRestoreMode, kNoIdeOption, kCrcOption, kPasswordOption, kCustomEnginesOption})
        EXPECT_GE(h.ui.GetRect(kMainWindow, control).top, 326) << control;
    EXPECT_EQ(h.ui.RowCount(kMainWindow, kTargetList), h.ui.RowCount(kMainWindow, kPartitionList));
    EXPECT_EQ(h.ui.Cell(kMainWindow, kTargetList, 0, 0), "C:\\");

    // Leaving copy mode makes the collapse button usable again.
    h.ui.Click(kMainWindow, kRestoreMode);
    EXPECT_TRUE(h.Enabled(kCollapseButton));
    EXPECT_FALSE(h.Shown(kTargetList));
}

TEST(Modes, AHandlerDoesNothingUnlessItsBoxIsChecked) {
    ModeHarness h;
    h.ui.Click(kMainWindow, kBackupMode);
    h.ui.SetChecked(kMainWindow, kRestoreMode, false);
    SetRestoreMode(h.program);
    EXPECT_EQ(h.Text(kPromptLabel), "请保存Gho、WIM映像文件：");
}

TEST(CompletionOptions, ExcludeEachOtherAndMoveTheMenuMarks) {
    ModeHarness h;
    auto menu = [&](int item) { return h.ui.IsMenuItemChecked(kMainWindow, item); };
    auto box = [&](int control) { return h.ui.IsChecked(kMainWindow, control); };

    h.ui.Click(kMainWindow, kRestartOption);
    EXPECT_TRUE(box(kRestartOption));
    EXPECT_TRUE(menu(kMenuAutoRestart));
    h.ui.Click(kMainWindow, kShutdownOption);
    EXPECT_FALSE(box(kRestartOption));
    EXPECT_TRUE(box(kShutdownOption));
    EXPECT_TRUE(menu(kMenuAutoShutdown));
    EXPECT_FALSE(menu(kMenuAutoRestart));
    h.ui.Click(kMainWindow, kShutdownOption);
    EXPECT_FALSE(menu(kMenuAutoShutdown));
    EXPECT_FALSE(box(kShutdownOption));

    h.ui.ChooseMenu(kMainWindow, kMenuAutoRestart);
    EXPECT_TRUE(box(kRestartOption));
    EXPECT_TRUE(menu(kMenuAutoRestart));
    h.ui.ChooseMenu(kMainWindow, kMenuAutoShutdown);
    EXPECT_TRUE(box(kShutdownOption));
    EXPECT_FALSE(box(kRestartOption));
    EXPECT_FALSE(menu(kMenuAutoRestart));
    h.ui.ChooseMenu(kMainWindow, kMenuAutoShutdown);
    EXPECT_FALSE(box(kShutdownOption));
    EXPECT_FALSE(menu(kMenuAutoShutdown));
}

TEST(BackupFormat, RewritesTheSavePathsExtension) {
    ModeHarness h;
    h.ui.Click(kMainWindow, kBackupMode);
    h.ui.SetText(kMainWindow, kSavePathBox, "D:\\a.GHO");
    h.ui.SelectItem(kMainWindow, kBackupFormatBox, 1);
    EXPECT_EQ(h.Text(kSavePathBox), "D:\\a.WIM");
    h.ui.SelectItem(kMainWindow, kBackupFormatBox, 0);
    EXPECT_EQ(h.Text(kSavePathBox), "D:\\a.GHO");
    h.ui.SetText(kMainWindow, kSavePathBox, "D:\\dir.v2\\noext");
    h.ui.SelectItem(kMainWindow, kBackupFormatBox, 1);
    EXPECT_EQ(h.Text(kSavePathBox), "D:\\dir.v2\\noext.WIM");
    h.ui.SetText(kMainWindow, kSavePathBox, "");
    h.ui.SelectItem(kMainWindow, kBackupFormatBox, 0);
    EXPECT_EQ(h.Text(kSavePathBox), "");
}

TEST(WindowLock, DisablesPairsInOrderAndLeavesIntegrityAndPasswordBox) {
    ModeHarness h;
    h.ui.enableLog.clear();
    LockMainWindow(h.program);
    const std::vector<int> order = {
        kExitButton,        kStartButton,     kBrowseButton,        kCollapseButton,
        kImageSearchButton, kBackupFormatBox, kExpandButton,        kManualGhostOption,
        kNoIdeOption,       kPasswordOption,  kCustomEnginesOption, kRestartOption,
        kCrcOption,         kShutdownOption,  kImagePathBox,        kSavePathBox,
        kSplitSizeBox,      kCompressionBox,  kUnnamedCombo4,       kRestoreMode,
        kBackupMode,        kCopyMode,        kSearchDepthBox,      kCloseButton,
        kMenuButton,        kMinimiseButton,  kPartitionList,       kImageList,
        kRefreshLabel,      kTargetList};
    std::vector<std::string> expected;
    for (int control : order) expected.push_back(std::to_string(control) + ":0");
    EXPECT_EQ(h.ui.enableLog, expected);
    EXPECT_FALSE(h.program.state.trayIconEnabled);
    h.window.OnTrayRightClick(kMainWindow);
    EXPECT_TRUE(h.ui.popups.empty());

    h.ui.enableLog.clear();
    UnlockMainWindow(h.program);
    for (std::string& entry : expected) entry.back() = '1';
    EXPECT_EQ(h.ui.enableLog, expected);
    EXPECT_TRUE(h.program.state.trayIconEnabled);
}

TEST(ManualGhost, CannotBeClearedByHandAndRunsTheEngine) {
    ModeHarness h;
    h.ui.Click(kMainWindow, kManualGhostOption);  // now checked: runs Ghost
    EXPECT_EQ(h.sys.commandsRun.back(), "cmd.exe /c C:\\Windows\\qii32.exe");
    EXPECT_FALSE(h.ui.IsChecked(kMainWindow, kManualGhostOption));
    EXPECT_FALSE(h.program.state.jobRunning);

    h.ui.SetChecked(kMainWindow, kManualGhostOption, true);
    h.ui.Click(kMainWindow, kManualGhostOption);  // a person clearing it
    EXPECT_TRUE(h.ui.IsChecked(kMainWindow, kManualGhostOption));
    EXPECT_EQ(h.Messages().back(), "请先退出 Ghost32 主程序！");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconWarning));
}

TEST(ManualGhost, MissingEngineIsReported) {
    ModeHarness h;
    h.sys.DeleteFile("C:\\Windows\\qii32.exe");
    const size_t runs = h.sys.commandsRun.size();
    h.ui.Click(kMainWindow, kManualGhostOption);
    EXPECT_EQ(h.Messages().back(), "出现错误，支持库写入失败，可能被安全软件拦截，请重启本程序！");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    EXPECT_EQ(h.sys.commandsRun.size(), runs);
    EXPECT_FALSE(h.ui.IsChecked(kMainWindow, kManualGhostOption));
}

}  // namespace
