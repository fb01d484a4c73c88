#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/startup.h"
#include "base/tool_files.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

size_t IndexOf(const std::vector<std::string>& log, const std::string& entry) {
    auto it = std::find(log.begin(), log.end(), entry);
    return it == log.end() ? std::string::npos : size_t(it - log.begin());
}

TEST(StartUp, ReachesTheIdleWindowWithTitlePathsAndSwitches) {
    Harness h;
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.ui.GetWindowCaption(kMainWindow), "岚舟软件星桥装机台");
    EXPECT_EQ(h.ui.trayTooltips, std::vector<std::string>{"岚舟软件星桥装机台"});
    const ProgramState& s = h.program.state;
    EXPECT_EQ(s.moduleTitle, "岚舟软件一键备份还原");
    EXPECT_EQ(h.ui.GetMenuItemText(kMainWindow, kMenuUninstall), "卸载一键备份还原模块");
    EXPECT_EQ(s.ghostExePath, "C:\\Windows\\qii32.exe");
    EXPECT_EQ(s.imagexExePath, "C:\\Windows\\\\Imagex.exe");
    EXPECT_EQ(s.crcIgnoreSwitch, " -crcignore ");
    EXPECT_EQ(s.noIdeSwitch, " -noide");
    EXPECT_EQ(s.ghostCompressionSwitch, " -z9");
    EXPECT_TRUE(s.searchImagesAtStart);
    EXPECT_FALSE(s.jobRunning);
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSplitSizeBox), "不分卷");
    EXPECT_TRUE(h.ui.IsChecked(kMainWindow, kRestoreMode));
    EXPECT_FALSE(h.ui.IsChecked(kMainWindow, kBackupMode));
    EXPECT_EQ(h.sys.eventsCreated, std::vector<std::string>{"qii"});
    EXPECT_TRUE(h.Messages().empty());
}

TEST(StartUp, BalloonsComeInOrderAndEndWithTheWelcome) {
    Harness h;
    ASSERT_TRUE(h.Start());
    EXPECT_THAT(h.BalloonTexts(),
                ElementsAre("正在加载磁盘信息，请稍候.....", "磁盘信息加载完成。",
                            "正在加载文件，请稍候....", WelcomeText(h.program.state)));
    const FakeBalloon& welcome = h.ui.balloons.back();
    EXPECT_EQ(welcome.title, "欢迎使用");
    EXPECT_EQ(welcome.timeoutMs, 90000u);
    EXPECT_EQ(welcome.iconKind, 1);
    EXPECT_EQ(
        welcome.text.rfind("欢迎使用岚舟软件星桥装机台\r\n本工具支持Gho、WIM、Windows原版ISO镜像、"
                           "Ghost版ISO镜像和系统光盘一键快速装机和Ghost、Imagex一键备份。",
                           0),
        0u);
}

TEST(StartUp, InventoryIsLoadedBeforeTheToolFilesAreWritten) {
    Harness h;
    ASSERT_TRUE(h.Start());
    // omnifs32 is run by the inventory; the Ghost engine is written afterwards.
    size_t omnifs = IndexOf(h.sys.fileLog, "write C:\\Windows\\system32\\omnifs32.exe");
    size_t iso = IndexOf(h.sys.fileLog, "write C:\\Windows\\ISO.exe");
    ASSERT_NE(omnifs, std::string::npos);
    ASSERT_NE(iso, std::string::npos);
    EXPECT_LT(omnifs, iso);
    EXPECT_EQ(h.ui.RowCount(kMainWindow, kPartitionList), 1);
}

TEST(StartUp, SecondCopyIsRefusedBeforeAnythingIsTouched) {
    Harness h;
    h.sys.existingEvents.insert("qii");
    EXPECT_FALSE(h.Start());
    EXPECT_EQ(h.exitCode, 0u);
    ASSERT_EQ(h.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(h.ui.messageBoxes[0].text, "请勿重复运行！！");
    EXPECT_EQ(h.ui.messageBoxes[0].caption, "提示");
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbOk | kMbIconWarning));
    EXPECT_TRUE(h.sys.fileLog.empty());
    EXPECT_TRUE(h.sys.eventsCreated.empty());
    EXPECT_TRUE(h.sys.commandsRun.empty());
    EXPECT_NE(h.ui.GetWindowCaption(kMainWindow), "岚舟软件星桥装机台");
}

TEST(StartUp, UnknownArgumentEndsTheProgramBeforeTheToolFiles) {
    for (const char* argument : {"-config", "config", "/conf", "/help"}) {
        Harness h;
        h.sys.arguments = {argument};
        EXPECT_FALSE(h.Start()) << argument;
        EXPECT_EQ(h.Messages(), std::vector<std::string>{"命令行参数错误。"}) << argument;
        EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
        EXPECT_TRUE(h.sys.fileLog.empty()) << argument;
    }
}

TEST(StartUp, ConfigSwitchIsMatchedOnItsFirstSevenCharactersInAnyCase) {
    for (const char* argument :
         {"/config", "/CONFIG", "/Config", "/configuration", "/configfile"}) {
        Harness h;
        h.sys.arguments = {argument, "extra"};
        // No INI file: the configuration loader ends with its own message.
        EXPECT_FALSE(h.Start()) << argument;
        EXPECT_EQ(h.Messages(), std::vector<std::string>{"配置文件 StarBridge.ini 不存在！"})
            << argument;
    }
}

TEST(StartUp, AnyArgumentTurnsTheStartUpSearchOff) {
    Harness h;
    h.sys.arguments = {"/config"};
    h.sys.AddFile("C:\\PE\\StarBridge.ini");  // present, but names no image
    ASSERT_TRUE(h.Start());
    EXPECT_FALSE(h.program.state.searchImagesAtStart);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"未指定需加载的文件！"});
}

TEST(StartUp, UninstallItemIsDisabledOnlyWhenWindowsLivesOnX) {
    for (const char* dir : {"X:\\Windows", "x:\\windows"}) {
        Harness h;
        h.sys.windowsDirectory = dir;
        h.sys.systemDirectory = std::string(dir) + "\\system32";
        h.AddFixedDrive('X', 0, 9);
        ASSERT_TRUE(h.Start());
        EXPECT_FALSE(h.ui.IsMenuItemEnabled(kMainWindow, kMenuUninstall)) << dir;
    }
    Harness h;
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(h.ui.IsMenuItemEnabled(kMainWindow, kMenuUninstall));
}

TEST(StartUp, VirtualDriveWarningOnlyWhenZYAndWAreAllTaken) {
    const std::string warning =
        "检测到虚拟光驱组件异常，部分功能将无法正常使用！\r\n注意：如第三方虚拟光驱工具加载过多，"
        "则可能导致\r\n出现此错误，建议卸载并关闭第三方虚拟光驱工具。";
    {
        Harness h;
        for (char letter : {'Z', 'Y', 'W'}) h.AddFixedDrive(letter, 1, letter - 'V');
        ASSERT_TRUE(h.Start());
        ASSERT_EQ(h.Messages(), std::vector<std::string>{warning});
        EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
        // The program goes on to its welcome.
        EXPECT_EQ(h.ui.balloons.back().title, "欢迎使用");
    }
    {
        Harness h;
        h.AddFixedDrive('Z', 1, 1);
        h.AddFixedDrive('Y', 1, 2);
        ASSERT_TRUE(h.Start());
        EXPECT_TRUE(h.Messages().empty());
        // The test stops at the first free letter: W: was asked for, nothing after it.
    }
}

TEST(StartUp, CompletionOptionsAreCopiedIntoTheMenu) {
    struct Case {
        bool restart, shutdown, menuRestart, menuShutdown;
    } cases[] = {{true, false, true, false},
                 {false, true, false, true},
                 {true, true, true, false},
                 {false, false, false, false}};
    for (const Case& c : cases) {
        Harness h;
        // The options are read after window creation; set them as the template would.
        WindowDesc desc = MainWindowDesc();
        h.ui.CreateWindowFrom(desc, nullptr);
        h.ui.SetChecked(kMainWindow, kRestartOption, c.restart);
        h.ui.SetChecked(kMainWindow, kShutdownOption, c.shutdown);
        ASSERT_TRUE(h.Run([&] { RunStartUp(h.program); }));
        EXPECT_EQ(h.ui.IsMenuItemChecked(kMainWindow, kMenuAutoRestart), c.menuRestart);
        EXPECT_EQ(h.ui.IsMenuItemChecked(kMainWindow, kMenuAutoShutdown), c.menuShutdown);
    }
}

TEST(StartUp, WindowIsCompactAndCentred) {
    Harness h;
    h.ui.screenWidth = 1280;
    h.ui.screenHeight = 1024;
    ASSERT_TRUE(h.Start());
    Rect r = h.ui.GetWindowRect(kMainWindow);
    EXPECT_EQ(r.width, 422);
    EXPECT_EQ(r.height, 312);
    EXPECT_EQ(r.left, 640 - 211);
    EXPECT_EQ(r.top, 512 - 156);
    EXPECT_TRUE(h.ui.IsVisible(kMainWindow, kExpandButton));
    EXPECT_FALSE(h.ui.IsVisible(kMainWindow, kCollapseButton));
}

TEST(StartUp, EmptyInventoryWarnsOnFirstActivation) {
    Harness h;
    h.sys.drives['C'].hasDeviceNumber = false;  // the only drive is not listed
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(h.Messages().empty());
    h.ui.Activate(kMainWindow);
    ASSERT_EQ(h.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(h.ui.messageBoxes[0].text.rfind("未检测到可用的硬盘分区！\r\n", 0), 0u);
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kPartitionList));
}

TEST(Exit, MenuExitIsRefusedWhileAJobRuns) {
    Harness h;
    ASSERT_TRUE(h.Start());
    h.program.state.jobRunning = true;
    EXPECT_TRUE(h.Run([&] { h.ui.ChooseMenu(kMainWindow, kMenuExit); }));
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"正在执行任务，无法退出！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));
    EXPECT_TRUE(h.sys.HasFile(h.program.state.ghostExePath));

    h.program.state.jobRunning = false;
    EXPECT_FALSE(h.Run([&] { h.ui.ChooseMenu(kMainWindow, kMenuExit); }));
    EXPECT_FALSE(h.sys.HasFile(h.program.state.ghostExePath));
}

TEST(Exit, CloseAndExitButtonsCleanUpEvenDuringAJob) {
    for (int button : {kCloseButton, kExitButton}) {
        Harness h;
        ASSERT_TRUE(h.Start());
        h.program.state.jobRunning = true;
        EXPECT_FALSE(h.Run([&] { h.ui.Click(kMainWindow, button); }));
        EXPECT_EQ(h.exitCode, 0u);
        EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\ISO.exe"));
        EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\Bootice.exe"));
        EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\GHOSTEXP.exe"));
        EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
        EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\Imagex.exe"));
        EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\system32\\bcdboot.exe"));
        EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\system32\\omnifs32.exe"));
        // The ISO tool was never used, so nothing is unmounted.
        EXPECT_EQ(std::count(h.sys.commandsRun.begin(), h.sys.commandsRun.end(),
                             "cmd.exe /c C:\\Windows\\iso.exe /q"),
                  0);
    }
}

TEST(Exit, CleanUpUnmountsFirstWhenTheIsoToolWasUsed) {
    Harness h;
    ASSERT_TRUE(h.Start());
    h.program.state.isoToolUsed = true;
    EXPECT_FALSE(h.Run([&] { h.ui.Click(kMainWindow, kExitButton); }));
    ASSERT_FALSE(h.sys.commandsRun.empty());
    EXPECT_EQ(h.sys.commandsRun.back(), "cmd.exe /c C:\\Windows\\iso.exe /q");
    EXPECT_EQ(h.sys.fileLog.back(), "delete C:\\Windows\\\\Imagex.exe");
}

TEST(Exit, DestroyedWindowUnmountsAndLeavesTheToolFiles) {
    Harness h;
    ASSERT_TRUE(h.Start());
    EXPECT_FALSE(h.Run([&] { h.window.OnDestroy(kMainWindow); }));
    EXPECT_EQ(h.sys.commandsRun.back(), "cmd.exe /c C:\\Windows\\iso.exe /q");
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\ISO.exe"));
}

TEST(Balloon, IconKindsOutsideTheRangeBecomeInformation) {
    Harness h;
    ASSERT_TRUE(h.Start());
    h.ui.balloons.clear();
    for (int kind : {-1, 0, 3, 4, 99}) ShowBalloon(h.program, "t", "x", kind, 5);
    ASSERT_EQ(h.ui.balloons.size(), 5u);
    EXPECT_EQ(h.ui.balloons[0].iconKind, 1);
    EXPECT_EQ(h.ui.balloons[1].iconKind, 0);
    EXPECT_EQ(h.ui.balloons[2].iconKind, 3);
    EXPECT_EQ(h.ui.balloons[3].iconKind, 1);
    EXPECT_EQ(h.ui.balloons[4].iconKind, 1);
}

TEST(Is64BitWindows, FollowsTheWow64DirectoryInA32BitProcess) {
    FakeSys sys;
    sys.wow64DirectoryLength = 0;
    EXPECT_FALSE(Is64BitWindows(sys));
    sys.wow64DirectoryLength = -1;
    EXPECT_FALSE(Is64BitWindows(sys));
    sys.wow64DirectoryLength = 19;
    EXPECT_TRUE(Is64BitWindows(sys));
}

TEST(Is64BitWindows, IsAlwaysTrueInA64BitProcess) {
    // A 64-bit WinPE without WOW64 reports no WOW64 directory.
    FakeSys sys;
    sys.process64Bit = true;
    sys.wow64DirectoryLength = 0;
    EXPECT_TRUE(Is64BitWindows(sys));
}

}  // namespace
