// The shell: the command tables, the start button's router, the Ghost run sequence's
// results, and what a person can and cannot do with the window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "app/start_router.h"
#include "ghost/confirmation.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

bool IsClickable(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
        case ControlKind::PictureButton:
        case ControlKind::CheckBox:
        case ControlKind::RadioBox:
        case ControlKind::LinkLabel:
        case ControlKind::ComboBox:
        case ControlKind::ComboList:
        case ControlKind::ListBox:
            return true;
        default:
            return false;
    }
}

void CollectItems(const std::vector<MenuItemDesc>& items, std::vector<int>* ids) {
    for (const MenuItemDesc& item : items) {
        if (item.id) ids->push_back(item.id);
        CollectItems(item.children, ids);
    }
}

std::map<int, int> RowsById(const std::vector<Command>& commands) {
    std::map<int, int> rows;
    for (const Command& c : commands) ++rows[c.id];
    return rows;
}

TEST(CommandTable, EveryClickableControlHasExactlyOneRow) {
    const WindowDesc desc = MainWindowDesc();
    std::map<int, int> rows = RowsById(MainWindowControlCommands());
    size_t clickable = 0;
    for (const ControlDesc& c : desc.controls) {
        if (!IsClickable(c.kind)) continue;
        ++clickable;
        EXPECT_EQ(rows[c.id], 1) << "control " << c.id;
    }
    // No row names a control the window does not have or cannot click.
    EXPECT_EQ(MainWindowControlCommands().size(), clickable);
}

TEST(CommandTable, EveryMenuItemHasExactlyOneRow) {
    std::vector<int> items;
    for (const MenuDesc& menu : MainWindowDesc().menus) CollectItems(menu.items, &items);
    std::map<int, int> rows = RowsById(MainWindowMenuCommands());
    for (int id : items) EXPECT_EQ(rows[id], 1) << "menu item " << id;
    EXPECT_EQ(MainWindowMenuCommands().size(), items.size());
    for (const Command& c : MainWindowMenuCommands())
        EXPECT_NE(c.run, nullptr) << "menu item " << c.id << " would do nothing";
}

TEST(Router, ImageKindsByExtensionInAnyCase) {
    const struct {
        const char* path;
        ImageKind kind;
    } cases[] = {
        {"", ImageKind::None},
        {"D:\\win7.GHO", ImageKind::Ghost},
        {"d:\\sys\\win7.gho", ImageKind::Ghost},
        {"D:\\install.wim", ImageKind::Wim},
        {"E:\\I386\\winnt32.exe", ImageKind::SetupMedia},
        {"e:\\i386", ImageKind::SetupMedia},
        {"E:\\AMD64\\", ImageKind::SetupMedia},
        {"E:\\XP\\I386", ImageKind::Other},  // only the folder at a drive's root
        {"D:\\win7.iso", ImageKind::Other},
        {"D:\\notes.txt", ImageKind::Other},
        {"D:\\gho.dir\\image", ImageKind::Other},
    };
    for (const auto& c : cases) EXPECT_EQ(ImageKindOf(c.path), c.kind) << c.path;
}

TEST(Router, EachModeAndKindGoesToItsJob) {
    const struct {
        Mode mode;
        ImageKind kind;
        Job job;
    } cases[] = {
        {Mode::Restore, ImageKind::Ghost, Job::GhostRestore},
        {Mode::Restore, ImageKind::Wim, Job::WimApply},
        {Mode::Restore, ImageKind::SetupMedia, Job::XpSetup},
        {Mode::Restore, ImageKind::Other, Job::WrongRestoreFile},
        {Mode::Backup, ImageKind::Ghost, Job::GhostBackup},
        {Mode::Backup, ImageKind::Wim, Job::WimCapture},
        {Mode::Backup, ImageKind::SetupMedia, Job::WrongBackupFile},
        {Mode::Backup, ImageKind::Other, Job::WrongBackupFile},
        {Mode::Copy, ImageKind::None, Job::PartitionCopy},
        {Mode::Copy, ImageKind::Ghost, Job::PartitionCopy},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JobFor(c.mode, c.kind), c.job) << int(c.mode) << "/" << int(c.kind);
}

struct ShellHarness : Harness {
    ShellHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        sys.AddFile("E:\\win7.gho", std::string(4096, 'g'));
        sys.AddFile("E:\\install.wim", std::string(4096, 'w'));
        sys.AddFile("E:\\I386\\winnt32.exe", std::string(4096, 'x'));
        EXPECT_TRUE(Start());
        ui.messageBoxes.clear();
    }
    void ChooseImage(const std::string& image) {
        ui.AddItem(kMainWindow, kImagePathBox, image);
        ui.SetSelection(kMainWindow, kImagePathBox, ui.ItemCount(kMainWindow, kImagePathBox) - 1);
    }
    bool ConfirmOpen() {
        return ui.HasWindow(kConfirmWindow) && !ui.GetWindow(kConfirmWindow).destroyed;
    }
};

TEST(Router, XpSetupMediaGoesToTheSetupChecks) {
    // A winnt32 that is no setup program: the setup job's own refusal, not the other-file
    // message and not "not available".
    for (const char* media : {"E:\\I386\\winnt32.exe", "E:\\I386"}) {
        ShellHarness h;
        h.ChooseImage(media);
        h.ui.ClickRow(kMainWindow, kPartitionList, 1);
        h.ui.Click(kMainWindow, kStartButton);
        const std::string expected = std::string(media) == "E:\\I386"
                                         ? "E:\\I386 不是原版WindowsXP的ISO镜像！"
                                         : "E:\\I386\\winnt32.exe 不是原版WindowsXP安装程序！";
        EXPECT_EQ(h.Messages(), std::vector<std::string>{expected}) << media;
        EXPECT_FALSE(h.ConfirmOpen()) << media;
    }
}

TEST(Router, AWimRestoreReadsTheImagesVolumes) {
    ShellHarness h;
    h.ChooseImage("E:\\install.wim");
    h.ui.ClickRow(kMainWindow, kPartitionList, 1);
    h.ui.messageBoxAnswers = {kIdNo};  // no volume information: do not restore volume 1
    h.sys.commandsRun.clear();
    h.ui.Click(kMainWindow, kStartButton);
    ASSERT_EQ(h.sys.commandsRun.size(), 1u);
    EXPECT_NE(h.sys.commandsRun[0].find(" /info \"E:\\install.wim\""), std::string::npos);
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(Router, WimBackupOfTheRunningSystemIsRefusedBeforeAnythingElse) {
    ShellHarness h;
    h.ui.Click(kMainWindow, kBackupMode);
    h.ui.AddItem(kMainWindow, kSavePathBox, "E:\\c.wim");
    h.ui.SetSelection(kMainWindow, kSavePathBox, 0);
    h.ui.ClickRow(kMainWindow, kPartitionList, 0);  // C:, the running Windows
    h.ui.Click(kMainWindow, kStartButton);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{
                                "桌面环境暂不支持备份系统盘为WIM映像文件，请到WinPE环境操作！"});
    EXPECT_FALSE(h.ui.HasWindow(kImagexBackupWindow));
    h.ui.messageBoxes.clear();
    h.ui.ClickRow(kMainWindow, kPartitionList, 1);  // D:
    h.ui.Click(kMainWindow, kStartButton);
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_TRUE(h.ui.HasWindow(kImagexBackupWindow));  // the capture's window
    EXPECT_FALSE(h.ConfirmOpen());
}

// Restore of E:\win7.gho onto D:, up to the confirmation's OK.
struct RunHarness : ShellHarness {
    const std::string line =
        "cmd.exe /c C:\\Windows\\qii32.exe -clone,mode=pload,src=\"E:\\win7.gho\":1,dst=1:2 "
        "-crcignore  -noide -sure  -fx";
    void StartRestore() {
        ChooseImage("E:\\win7.gho");
        ui.ClickRow(kMainWindow, kPartitionList, 1);
        ui.Click(kMainWindow, kStartButton);
        ASSERT_TRUE(ConfirmOpen());
    }
};

TEST(GhostRun, AnEngineKilledHalfWayIsAFailureNotASuccess) {
    RunHarness h;
    h.sys.commandExitCodes[h.line] = 1;  // killed: no output, exit code 1
    h.StartRestore();
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.Messages().back(),
              "Ghost还原错误！\r\n错误信息：\r\nGhost 程序异常结束，退出代码：1");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    EXPECT_TRUE(h.sys.programsStarted.empty()) << "no boot records over a half-restored target";
    EXPECT_TRUE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsVisible(kConfirmWindow, kConfirmOk));
}

TEST(GhostRun, AnEngineThatCannotStartIsAFailure) {
    RunHarness h;
    h.sys.commandsThatCannotStart.insert(h.line);
    h.StartRestore();
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.Messages().back(),
              "Ghost还原错误！\r\n错误信息：\r\n无法启动 Ghost 程序，请重启本程序后重试！");
    EXPECT_TRUE(h.ConfirmOpen());
}

TEST(GhostRun, OutputDecidesWhenThereIsSomeWhateverTheExitCode) {
    CommandResult result;
    result.started = true;
    result.exitCode = 0;
    EXPECT_EQ(GhostOutputOf(result), "");
    result.output = "^C";
    result.exitCode = 3;
    EXPECT_EQ(GhostOutputOf(result), "^C");
}

TEST(GhostRun, TheReportShowsBeforeTheConfirmationCloses) {
    RunHarness h;
    h.StartRestore();
    bool openDuringReport = false;
    h.ui.onMessageBox = [&](const FakeMessageBox& box) {
        if (box.text.rfind("Ghost应用映像到磁盘完成！", 0) == 0) openDuringReport = h.ConfirmOpen();
    };
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_TRUE(openDuringReport);
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(MainWindowClose, AltF4DuringAJobIsRefusedLikeTheExitItem) {
    RunHarness h;
    h.StartRestore();
    bool closed = true;
    h.sys.onCommand = [&](const std::string&) {
        // While Ghost runs, the user presses Alt+F4 on the main window.
        closed = !h.Run([&] { h.ui.GetWindow(kMainWindow).events->OnClose(kMainWindow); });
    };
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_FALSE(closed);
    EXPECT_FALSE(h.exited);
    EXPECT_EQ(h.Messages().front(), "正在执行任务，无法退出！");
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
}

TEST(MainWindowClose, AltF4WhenIdleCleansUpAndEnds) {
    ShellHarness h;
    EXPECT_FALSE(h.Run([&] { h.ui.GetWindow(kMainWindow).events->OnClose(kMainWindow); }));
    EXPECT_EQ(h.exitCode, 0u);
    EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
}

TEST(CopyMode, CollapseStaysDisabledAfterAConfirmationCloses) {
    ShellHarness h;
    h.ui.Click(kMainWindow, kCopyMode);
    h.ui.ClickRow(kMainWindow, kPartitionList, 1);
    h.ui.ClickRow(kMainWindow, kTargetList, 2);
    h.ui.Click(kMainWindow, kStartButton);
    ASSERT_TRUE(h.ConfirmOpen());
    h.ui.Click(kConfirmWindow, kConfirmCancel);
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kCollapseButton));
    EXPECT_THROW(h.ui.Click(kMainWindow, kCollapseButton), FakeUiMisuse);
}

TEST(ManualGhost, TheOptionIsShownInRestoreAndBackupAndClearOfItsNeighbours) {
    ShellHarness h;
    for (int mode : {kBackupMode, kCopyMode, kRestoreMode}) {
        h.ui.Click(kMainWindow, mode);
        EXPECT_TRUE(h.ui.IsVisible(kMainWindow, kManualGhostOption)) << mode;
    }
    h.ui.Click(kMainWindow, kCollapseButton);
    const Rect option = h.ui.GetRect(kMainWindow, kManualGhostOption);
    for (int other : {kPromptLabel, kImagePathBox, kBrowseButton, kCustomEnginesOption,
                      kStartButton, kExitButton, kExpandButton}) {
        const Rect r = h.ui.GetRect(kMainWindow, other);
        const bool apart = option.left + option.width <= r.left ||
                           r.left + r.width <= option.left || option.top + option.height <= r.top ||
                           r.top + r.height <= option.top;
        EXPECT_TRUE(apart) << "overlaps control " << other;
    }
}

TEST(MainMenu, BooticeStartsOrSaysItIsMissing) {
    ShellHarness h;
    h.ui.ChooseMenu(kMainWindow, kMenuBootice);
    EXPECT_THAT(h.sys.programsStarted, ElementsAre("C:\\Windows\\Bootice.exe"));
    h.sys.DeleteFile("C:\\Windows\\Bootice.exe");
    h.ui.ChooseMenu(kMainWindow, kMenuBootice);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"主程序不存在，请尝试重启程序。"});
    EXPECT_EQ(h.ui.messageBoxes.at(0).flags, unsigned(kMbIconError));
    EXPECT_EQ(h.sys.programsStarted.size(), 1u);
}

TEST(FakeScreen, NoOneCanUseWhatTheyCannotSee) {
    ShellHarness h;
    h.ui.SetEnabled(kMainWindow, kStartButton, false);
    EXPECT_THROW(h.ui.Click(kMainWindow, kStartButton), FakeUiMisuse);
    EXPECT_THROW(h.ui.Click(kMainWindow, kSavePathBox), FakeUiMisuse);  // hidden in restore mode
    h.ui.EnableMenuItem(kMainWindow, kMenuUninstall, false);
    EXPECT_THROW(h.ui.ChooseMenu(kMainWindow, kMenuUninstall), FakeUiMisuse);
    LockMainWindow(h.program);
    EXPECT_THROW(h.ui.ClickRow(kMainWindow, kPartitionList, 1), FakeUiMisuse);
}

}  // namespace
