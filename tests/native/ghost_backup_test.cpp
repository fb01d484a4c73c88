#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/date_time.h"
#include "ghost/backup.h"
#include "ghost/confirmation.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

const char kBackupLine[] =
    "cmd.exe /c C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"E:\\d.gho\" -z9 -noide "
    "-sure -fx";

// C: (1:1) holds the running Windows; D: (1:2) is backed up; E: (1:3) takes images.
struct BackupHarness : Harness {
    BackupHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        EXPECT_TRUE(Start());
        ui.Click(kMainWindow, kBackupMode);
        sys.commandsRun.clear();
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    void Choose(const std::string& savePath, int row = 1) {
        ui.SetText(kMainWindow, kSavePathBox, savePath);
        if (row >= 0) ui.ClickRow(kMainWindow, kPartitionList, row);
    }
    bool PressStart() {
        return Run([&] { ui.Click(kMainWindow, kStartButton); });
    }
    bool ConfirmOpen() {
        return ui.HasWindow(kConfirmWindow) && !ui.GetWindow(kConfirmWindow).destroyed;
    }
};

struct CheckCase {
    const char* name;
    std::string savePath;
    int row;
    std::string message;
    unsigned icon;
};

TEST(GhostBackup, ChecksComeInOrderWithTheirMessages) {
    const std::string onX =
        "不可将 D:\\(1:2) "
        "备份文件保存到WinPE系统分区！\r\n注意：此保存路径为内存分区，保存到此路径，将备份失败且导"
        "致死机等！";
    const CheckCase cases[] = {
        {"no path", "", 1, "请保存Gho、WIM映像文件！", kMbIconWarning},
        {"no row", "E:\\d.gho", -1, "请选择要备份的分区！", kMbIconWarning},
        {"same drive", "D:\\d.gho", 1, "需备份的分区不可与保存映像文件所在的路径相同！",
         kMbIconWarning},
        {"same drive, other case", "d:\\d.gho", 1, "需备份的分区不可与保存映像文件所在的路径相同！",
         kMbIconWarning},
        {"RAM drive", "X:\\d.gho", 1, onX, kMbIconWarning},
        {"RAM drive, lower case", "x:\\d.gho", 1, onX, kMbIconWarning},
        {"other extension", "E:\\d.zip", 1, "本工具支持Gho、WIM备份，请输入正确的文件！",
         kMbIconWarning},
        {"no extension", "E:\\backup", 1, "本工具支持Gho、WIM备份，请输入正确的文件！",
         kMbIconWarning},
        {"system to WIM", "E:\\c.wim", 0,
         "桌面环境暂不支持备份系统盘为WIM映像文件，请到WinPE环境操作！", kMbIconError},
    };
    for (const CheckCase& c : cases) {
        BackupHarness h;
        h.Choose(c.savePath, c.row);
        EXPECT_TRUE(h.PressStart()) << c.name;
        EXPECT_EQ(h.Messages(), std::vector<std::string>{c.message}) << c.name;
        if (!h.ui.messageBoxes.empty()) {
            EXPECT_EQ(h.ui.messageBoxes[0].flags, c.icon) << c.name;
        }
        EXPECT_FALSE(h.ConfirmOpen()) << c.name;
        EXPECT_TRUE(h.sys.commandsRun.empty()) << c.name;
    }
}

TEST(GhostBackup, SameDriveIsRefusedBeforeTheRamDriveCheck) {
    // The list leaves X: out; a selection standing for it shows the order of the checks.
    BackupHarness h;
    h.AddFixedDrive('X', 0, 4);
    h.Choose("x:\\pe.gho");
    h.program.state.selection.root = "X:\\";
    h.PressStart();
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{"需备份的分区不可与保存映像文件所在的路径相同！"});
}

TEST(GhostBackup, VanishedSourceAndEmptyDeviceType) {
    BackupHarness h;
    h.Choose("E:\\d.gho");
    h.sys.drives.erase('D');
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"选择的分区 D:\\(1:2) 不存在！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));

    // An empty device type ends the checks silently, before the same-drive check.
    BackupHarness e;
    e.Choose("D:\\d.gho");
    e.program.state.selection.deviceType = "";
    e.PressStart();
    EXPECT_TRUE(e.Messages().empty());
    EXPECT_FALSE(e.ConfirmOpen());
}

TEST(GhostBackup, AnExistingFileAndAnotherDeviceAreAskedAbout) {
    BackupHarness h;
    h.sys.AddFile("E:\\d.gho", "old image");
    h.Choose("E:\\d.gho");
    h.program.state.selection.deviceType = "可移动驱动器";
    h.ui.messageBoxAnswers = {kIdYes, kIdNo};
    h.PressStart();
    EXPECT_THAT(h.Messages(), ElementsAre("E:\\d.gho 已存在，是否覆盖？",
                                          "你选择的 D:\\(1:2) 是可移动驱动器，是否继续？"));
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconWarning));
    EXPECT_FALSE(h.ConfirmOpen());

    BackupHarness n;
    n.sys.AddFile("E:\\d.gho", "old image");
    n.Choose("E:\\d.gho");
    n.ui.messageBoxAnswers = {kIdNo};
    n.PressStart();
    EXPECT_EQ(n.Messages().size(), 1u);
    EXPECT_FALSE(n.ConfirmOpen());
    EXPECT_EQ(n.sys.FileContents("E:\\d.gho"), "old image");
}

TEST(GhostBackup, PasswordAndSplitSizeAreCheckedBeforeAnyRun) {
    BackupHarness h;
    h.Choose("E:\\d.gho");
    h.ui.Click(kMainWindow, kPasswordOption);
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"请输入Gho密码"});

    BackupHarness s;
    s.Choose("E:\\d.gho");
    s.ui.SetText(kMainWindow, kSplitSizeBox, "7OO");
    s.PressStart();
    EXPECT_EQ(s.Messages(), std::vector<std::string>{"请输入分卷大小！"});
    EXPECT_EQ(s.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));
    EXPECT_FALSE(s.ConfirmOpen());
}

TEST(GhostBackup, SuccessRunsTheLineAndReports) {
    BackupHarness h;
    h.Choose("E:\\d.gho");
    h.PressStart();
    ASSERT_TRUE(h.ConfirmOpen());
    EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmHeadline),
              "是否马上用 Ghost32 进行备份分区 D:\\(1:2) ？");
    EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmHint),
              "点击“确定(&C)”马上备份，点击“取消(&X)”返回程序。");
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));
    const Rect main = h.ui.GetWindowRect(kMainWindow), own = h.ui.GetWindowRect(kConfirmWindow);
    EXPECT_NEAR(own.left + own.width / 2, main.left + main.width / 2, 1);  // over the main window
    EXPECT_NEAR(own.top + own.height / 2, main.top + main.height / 2, 1);
    h.sys.onCommand = [&](const std::string&) {
        EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmStatus),
                  "Ghost正在备份 D:\\(1:2)，请稍候....");
        EXPECT_EQ(h.ui.GetRect(kConfirmWindow, kConfirmStatus).width, 240);
        EXPECT_TRUE(h.program.state.jobRunning);
        h.sys.AddFile("E:\\d.gho", std::string(3 * 1024 * 1024 + 1000, 'g'));  // Ghost's image
    };
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.sys.commandsRun.back(), kBackupLine);
    EXPECT_EQ(h.BalloonTexts()[0], "Ghost正在备份 D:\\(1:2)，请稍候....");
    EXPECT_EQ(h.BalloonTexts().back(), "D:\\(1:2) 备份到 E:\\d.gho 完成！");
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{"Ghost备份完成！\r\n\r\n备份分区：D:\\(1:2)"
                                       "\r\n\r\n保存位置：E:\\d.gho\r\n\r\n大      小：3 MB\r\n\r\n"
                                       "备份日期：2016-05-01 03:15:20"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconInformation));
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
}

TEST(GhostBackup, SplitSizeIsFixedWhenTheConfirmationOpens) {
    BackupHarness h;
    h.Choose("E:\\d.gho");
    h.ui.SetText(kMainWindow, kSplitSizeBox, "700");
    h.PressStart();
    h.ui.SetText(kMainWindow, kSplitSizeBox, "不分卷");
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.sys.commandsRun.back(),
              "cmd.exe /c C:\\Windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"E:\\d.gho\" -z9 "
              "-span  -split=700 -auto -noide -sure -fx");
}

TEST(GhostBackup, CancelAndFailureKeepTheDialogAfterTheFinishedBalloon) {
    BackupHarness h;
    h.Choose("E:\\d.gho");
    h.PressStart();
    h.sys.commandOutputs[kBackupLine] = "^C";
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.BalloonTexts()[1], "D:\\(1:2) 备份到 E:\\d.gho 完成！");
    EXPECT_EQ(h.ui.balloons.back().title, "Ghost备份错误！");
    EXPECT_EQ(h.BalloonTexts().back(), "错误信息：\r\n用户取消备份！");
    EXPECT_EQ(h.Messages().back(), "Ghost备份错误！\r\n错误信息：\r\n用户取消备份！");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    EXPECT_TRUE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsVisible(kConfirmWindow, kConfirmOk));
    EXPECT_FALSE(h.ui.IsVisible(kConfirmWindow, kConfirmStatus));

    // "^C" with more text is an error like any other: the text is shown, no cancel balloon.
    h.ui.balloons.clear();
    h.sys.commandOutputs[kBackupLine] = "^C\r\nDisk full";
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.Messages().back(), "Ghost备份错误！\r\n错误信息：\r\n^C\r\nDisk full");
    EXPECT_EQ(h.BalloonTexts().back(), "D:\\(1:2) 备份到 E:\\d.gho 完成！");
    EXPECT_TRUE(h.ConfirmOpen());
    h.ui.Click(kConfirmWindow, kConfirmCancel);
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
}

TEST(GhostBackup, CountdownReplacesTheReport) {
    BackupHarness h;
    h.Choose("E:\\d.gho");
    h.ui.Click(kMainWindow, kRestartOption);
    h.PressStart();
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_EQ(h.ui.GetText(2, 1), "备份已完成，10 秒后自动重启！");
    EXPECT_EQ(h.program.state.finishedJobKind, FinishedJob::Backup);
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(GhostBackup, TheRunningSystemIsNeverBackedUpDirectly) {
    // The running system's partition goes to reboot mode, whose question is cancelled.
    BackupHarness h;
    h.Choose("E:\\c.gho", 0);
    h.PressStart();
    ASSERT_TRUE(h.ConfirmOpen());
    h.ui.messageBoxAnswers = {kIdCancel};
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_TRUE(h.sys.commandsRun.empty());
    EXPECT_EQ(h.ui.messageBoxes.at(0).flags, unsigned(kMbYesNoCancel | kMbIconInformation));
    EXPECT_EQ(h.Messages().back(), "用户取消操作。");

    BackupHarness g;
    g.sys.physicalSectors[0] = std::string(450, '\0') + '\xEE' + std::string(61, '\0');
    g.Choose("E:\\c.gho", 0);
    g.PressStart();
    g.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(g.Messages().back(), "当前系统盘为GPT分区，请在WindowsPE环境中安装。");
}

TEST(GhostBackup, SaveDialogProposesARandomNameWithTheFormatsExtension) {
    BackupHarness h;
    // Each character reads the counter twice: its class 1 + (t*23+7) % 3, then its value
    // low + (t*23+7) % range. t*23+7 is 7, 30, 53, 76, 99 for t = 0 .. 4.
    h.sys.timeStampCounters = {0, 0, 1, 0, 2, 0, 0, 3, 1, 4};
    h.ui.saveDialogAnswers = {"E:\\chosen.GHO"};
    h.ui.Click(kMainWindow, kBrowseButton);
    ASSERT_EQ(h.ui.saveDialogs.size(), 1u);
    EXPECT_EQ(h.ui.saveDialogs[0].title, "保存Gho、WIM映像文件");
    EXPECT_EQ(h.ui.saveDialogs[0].filter, "Windows 安装映像(*.Gho;*.WIM)|*.Gho;*.WIM");
    // Upper 'A'+7%26, digit '0'+7%10, lower 'a'+7%26, upper 'A'+76%26, digit '0'+99%10.
    // Nothing chosen in the format box yet: ".Gho".
    EXPECT_EQ(h.ui.saveDialogs[0].defaultName, "Morvek_BAK_H7hY9.Gho");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSavePathBox), "E:\\chosen.GHO");
    EXPECT_EQ(h.ui.ItemCount(kMainWindow, kSavePathBox), 1);

    // With a row selected the name starts with its letter; WIM format, cancelled dialog.
    h.ui.ClickRow(kMainWindow, kPartitionList, 1);
    h.ui.SelectItem(kMainWindow, kBackupFormatBox, 1);
    h.ui.Click(kMainWindow, kBrowseButton);
    const std::string name = h.ui.saveDialogs[1].defaultName;
    EXPECT_EQ(name.substr(0, 6), "D_BAK_");
    EXPECT_EQ(name.size(), 6u + 5u + 4u);
    EXPECT_EQ(name.substr(11), ".WIM");
    for (char c : name.substr(6, 5))
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << name;
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSavePathBox),
              "E:\\chosen.WIM");  // the format box rewrote it; cancel keeps it
}

TEST(GhostBackup, RandomValuesStayInTheirRange) {
    FakeSys sys;
    sys.timeStampCounters = {0xFFFFFFFFu, 0x80000000u, 12345u};
    EXPECT_EQ(RandomInRange(sys, 0, 9), (0xFFFFFFFFu * 23u + 7u) % 10u);  // wraps in 32 bits
    EXPECT_EQ(RandomInRange(sys, 'a', 'z'), 'a' + (0x80000000u * 23u + 7u) % 26u);
    EXPECT_EQ(RandomInRange(sys, 5, 5), 5u);
}

TEST(DateTime, StylesAndParts) {
    const SysTime t{2016, 5, 1, 15, 7, 9};
    EXPECT_EQ(FormatDateTime(t, 1, 0), "2016-05-01 03:07:09");
    EXPECT_EQ(FormatDateTime(t, 0, 0), "2016年05月01日 03时07分09秒");
    EXPECT_EQ(FormatDateTime(t, 2, 0), "2016/05/01 03/07/09");
    EXPECT_EQ(FormatDateTime(t, 3, 0), "20160501030709");
    EXPECT_EQ(FormatDateTime(t, 7, 0), FormatDateTime(t, 0, 0));
    EXPECT_EQ(FormatDateTime(t, -1, 0), FormatDateTime(t, 0, 0));
    EXPECT_EQ(FormatDateTime(t, 1, 1), "2016-05-01 ");
    EXPECT_EQ(FormatDateTime(t, 1, 2), "05-01");
    EXPECT_EQ(FormatDateTime(t, 0, 2), "05月01日");
    EXPECT_EQ(FormatDateTime(t, 1, 3), "03:07:09");
    EXPECT_EQ(FormatDateTime(t, 0, 4), "03时07分");
    EXPECT_EQ(FormatDateTime(t, 3, 4), "0307");
    EXPECT_EQ(FormatDateTime(t, 2, 5), "03/07/09");
    EXPECT_EQ(FormatDateTime(t, 1, 9), "2016-05-01 03:07:09");
}

TEST(DateTime, TwelveHourClockWithoutMarker) {
    EXPECT_EQ(FormatDateTime(SysTime{2020, 12, 31, 0, 0, 0}, 1, 3), "12:00:00");
    EXPECT_EQ(FormatDateTime(SysTime{2020, 12, 31, 12, 30, 0}, 1, 3), "12:30:00");
    EXPECT_EQ(FormatDateTime(SysTime{2020, 12, 31, 23, 59, 59}, 1, 3), "11:59:59");
    EXPECT_EQ(FormatDateTime(SysTime{2020, 12, 31, 9, 5, 1}, 1, 3), "09:05:01");
}

TEST(DateTime, GbkPairsInPicturesAreNeverCodes) {
    // "诿" in GBK is 0xDA 0x73: its trail byte is 's'.
    const SysTime t{2001, 2, 3, 4, 5, 6};
    EXPECT_EQ(ExpandTimePicture("\xDA\x73s", t), "\xDA\x73s");
    EXPECT_EQ(ExpandTimePicture("\xDA\x73ss", t),
              "\xDA\x73"
              "06");
}

}  // namespace
