#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/ids/imagex_restore.h"
#include "disk/image_files.h"
#include "tests/native/harness.h"
#include "tests/native/imagex_job_driver.h"
#include "disk/format_volume.h"
#include "wim/boot_files.h"
#include "wim/imagex_restore.h"

using ::testing::ElementsAre;

namespace {

const char kImagex[] = "C:\\Windows\\\\Imagex.exe";
const char kInfoLine[] = "cmd.exe /c C:\\Windows\\\\Imagex.exe /info \"E:\\win7.wim\"";
const char kApplyLine[] = "C:\\Windows\\\\Imagex.exe /apply \"E:\\win7.wim\" 2 D:\\\\";
const char kTwoImages[] =
    u8"<WIM>\r\n  <TOTALBYTES>99</TOTALBYTES>\r\n"
    u8"  <IMAGE INDEX=\"1\">\r\n    <TOTALBYTES>13421772800</TOTALBYTES>\r\n"
    u8"    <NAME>Windows 7 HOMEBASIC</NAME>\r\n    <DISPLAYNAME>Windows 7 "
    u8"家庭普通版</DISPLAYNAME>\r\n  </IMAGE>\r\n"
    u8"  <IMAGE INDEX=\"2\">\r\n    <TOTALBYTES>13421772800</TOTALBYTES>\r\n"
    u8"    <NAME>Windows 7 ULTIMATE</NAME>\r\n    <DISPLAYNAME>Windows 7 旗舰版</DISPLAYNAME>\r\n  "
    u8"</IMAGE>\r\n"
    u8"</WIM>\r\n";
constexpr int W = kImagexRestoreWindow;

// E:\win7.wim restored onto D: (row 1, disk 1 partition 2).
struct ApplyHarness : Harness {
    ApplyHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        sys.AddFile("E:\\win7.wim", std::string(4096, 'w'));
        sys.commandOutputs[kInfoLine] = kTwoImages;
        EXPECT_TRUE(Start());
        EXPECT_EQ(program.state.imagexExePath, kImagex);
        sys.commandsRun.clear();
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    void Choose(const std::string& image, int row = 1) { ChooseImageAndRow(image, row); }
    ImagexJobDriver job{*this, W, kRxDoneTimer, kRxOutput};
    bool Open() { return job.Open(); }
    // Opens the window on E:\win7.wim for D:.
    void OpenWindow() {
        Choose("E:\\win7.wim");
        ui.Click(kMainWindow, kStartButton);
        ASSERT_TRUE(Open());
        ui.messageBoxes.clear();
    }
    bool TickIfRunning(int timer) { return job.TickIfRunning(timer); }
    void Checks(int n) { job.Checks(n); }
    void Prints(const std::string& text) { job.Prints(text); }
    void ImagexStarts(unsigned id) { job.ImagexStarts(id); }
    void ImagexEnds(unsigned id) { job.ImagexEnds(id); }
};

struct CheckCase {
    const char* name;
    std::string image;
    int row;
    std::string message;
    unsigned icon;
};

TEST(WimApply, TargetChecksComeFirstInOrder) {
    const CheckCase cases[] = {
        {"no row", "E:\\win7.wim", -1, "请选择要还原的分区！", kMbIconWarning},
        {"image on the target", "E:\\win7.wim", 2, "需还原的分区不可与还原映像文件所在的路径相同！",
         kMbIconWarning},
        {"image on the target, other case", "e:\\win7.wim", 2,
         "需还原的分区不可与还原映像文件所在的路径相同！", kMbIconWarning},
        {"running Windows", "E:\\win7.wim", 0,
         "当前环境暂不支持还原正在运行的系统分区，请在WindowsPE环境中还原。", kMbIconError},
    };
    for (const CheckCase& c : cases) {
        ApplyHarness h;
        if (c.image == "e:\\win7.wim") h.sys.AddFile("e:\\win7.wim", "x");
        h.Choose(c.image, c.row);
        h.ui.Click(kMainWindow, kStartButton);
        EXPECT_EQ(h.Messages(), std::vector<std::string>{c.message}) << c.name;
        if (!h.ui.messageBoxes.empty()) {
            EXPECT_EQ(h.ui.messageBoxes[0].flags, c.icon) << c.name;
        }
        EXPECT_FALSE(h.Open()) << c.name;
        EXPECT_TRUE(h.sys.commandsRun.empty()) << c.name;
    }
    ApplyHarness gone;
    gone.Choose("E:\\win7.wim");
    gone.sys.drives.erase('D');
    gone.ui.Click(kMainWindow, kStartButton);
    EXPECT_EQ(gone.Messages(), std::vector<std::string>{"选择的分区 D:\\(1:2) 不存在！"});
    ApplyHarness readOnly;
    readOnly.Choose("E:\\win7.wim");
    readOnly.sys.drives['D'].writable = false;
    readOnly.ui.Click(kMainWindow, kStartButton);
    EXPECT_EQ(readOnly.Messages(),
              std::vector<std::string>{"选择的分区 D:\\(1:2) 写入数据失败，请选择正确的分区！"});
}

TEST(WimApply, AnImageOnAMountedIsoLiesOnTheIsoFilesDrive) {
    ApplyHarness h;
    h.sys.AddFile("Z:\\sources\\install.wim", "x");
    h.program.state.isoBehindLetter["Z"] = "D:\\iso\\win7.iso";
    h.Choose("Z:\\sources\\install.wim", 1);
    h.ui.Click(kMainWindow, kStartButton);
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{"需还原的分区不可与还原映像文件所在的路径相同！"});
    EXPECT_FALSE(h.Open());
    EXPECT_TRUE(h.sys.commandsRun.empty());
}

TEST(WimApply, WindowOpensWithTheVolumesAndTheLastOneChosen) {
    ApplyHarness h;
    h.OpenWindow();
    EXPECT_EQ(h.sys.commandsRun, std::vector<std::string>{kInfoLine});
    EXPECT_EQ(h.ui.GetText(W, kRxConfirmLine), "确定还原 E:\\win7.wim 到分区 D:\\(1:2) ？");
    ASSERT_EQ(h.ui.ItemCount(W, kRxVolumeList), 2);
    EXPECT_EQ(h.ui.ItemText(W, kRxVolumeList, 1),
              "2: Windows 7 ULTIMATE( 大小:12.5 GB|Windows 7 旗舰版)");
    EXPECT_EQ(h.ui.GetSelection(W, kRxVolumeList), 1);
    EXPECT_EQ(h.BalloonTexts().back(), "加载分卷信息完成！");
    EXPECT_TRUE(h.program.console.IsRunning());
    EXPECT_TRUE(h.program.state.jobRunning);
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));  // the window stands in front
    EXPECT_THAT(h.ui.GetWindow(W).controls[kRxBootMode].items,
                ElementsAre("自动模式1", "自动模式2", "C:\\", "D:\\", "E:\\"));
    auto* window = static_cast<ImagexRestoreWindow*>(h.program.windows.Find(W));
    EXPECT_EQ(window->SelectedVolume(), 2);
    EXPECT_EQ(window->TargetRoot(), "D:\\\\");
    h.ui.SelectItem(W, kRxVolumeList, 0);
    EXPECT_EQ(window->SelectedVolume(), 1);
}

TEST(WimApply, EmptyVolumeListEitherAsksForVolumeOneOrRefusesADamagedFile) {
    ApplyHarness no;
    no.sys.commandOutputs[kInfoLine] = "Error opening file";
    no.Choose("E:\\win7.wim");
    no.ui.messageBoxAnswers = {kIdNo};
    no.ui.Click(kMainWindow, kStartButton);
    EXPECT_EQ(no.BalloonTexts().back(), "加载系统版本出现错误！");
    EXPECT_EQ(no.Messages().back(),
              "未检测到卷信息，无法正常还原。\r\n选择\"是(Y)\"将还原WIM映像文件中的卷 1 "
              "，选择\"否(N)\"将停止还原。");
    EXPECT_FALSE(no.Open());
    EXPECT_FALSE(no.program.console.IsRunning());  // stopped there: no console started
    EXPECT_FALSE(no.program.state.jobRunning);
    EXPECT_TRUE(no.ui.IsEnabled(kMainWindow, kStartButton));

    ApplyHarness yes;
    yes.sys.commandOutputs[kInfoLine] = "";
    yes.Choose("E:\\win7.wim");
    yes.ui.messageBoxAnswers = {kIdYes};
    yes.ui.Click(kMainWindow, kStartButton);
    ASSERT_TRUE(yes.Open());
    EXPECT_EQ(static_cast<ImagexRestoreWindow*>(yes.program.windows.Find(W))->SelectedVolume(), 1);

    ApplyHarness damaged;
    damaged.ui.Click(kMainWindow, kIntegrityOption);
    damaged.sys
        .commandOutputs["cmd.exe /c C:\\Windows\\\\Imagex.exe /info  /check \"E:\\win7.wim\""] =
        "bad";
    damaged.Choose("E:\\win7.wim");
    damaged.ui.Click(kMainWindow, kStartButton);
    ASSERT_TRUE(damaged.Open());
    EXPECT_EQ(damaged.Messages().back(), "文件校验未通过，您选择的WIM映像文件可能损坏！");
    EXPECT_EQ(damaged.ui.balloons.back().title, "文件校验未通过");
    EXPECT_FALSE(damaged.ui.IsEnabled(W, kRxStart));
}

TEST(WimApply, StartChecksInOrder) {
    {
        ApplyHarness h;
        h.OpenWindow();
        h.ui.Click(W, kRxUnattendOption);
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.Messages(), std::vector<std::string>{"未选择无人值守安装文件。"});
        EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconWarning));
        h.ui.SetText(W, kRxUnattendPath, "E:\\none.xml");
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.Messages().back(), "无人值守安装文件不存在。");
        EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
        EXPECT_EQ(h.sys.ConsoleInput(), "");
    }
    {
        // Another ImageX: No ends the click; Yes stops it and goes on.
        ApplyHarness h;
        h.OpenWindow();
        h.sys.processes.push_back(ProcessEntry{50, 4, "IMAGEX.EXE"});
        h.ui.messageBoxAnswers = {kIdNo};
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.Messages(),
                  std::vector<std::string>{
                      "检测到有其他Imagex.exe正在运行，是否终止？\r\n注意：如果不终止其他Imagex."
                      "exe，可能会影响Imagex还原。"});
        EXPECT_EQ(h.sys.ConsoleInput(), "");
        h.ui.messageBoxAnswers = {kIdYes};
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.sys.terminated.back().first, 50u);
        EXPECT_EQ(h.sys.ConsoleInput(), std::string(kApplyLine) + "\r\n");
    }
    {
        // 32-bit host: the format question, then the format routine; a failure stays idle.
        ApplyHarness h;
        h.OpenWindow();
        h.ui.SelectItem(W, kRxFormatChoice, 1);
        h.ui.messageBoxAnswers = {kIdNo};
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.Messages(),
                  std::vector<std::string>{"本操作将格式化 D:\\(1:2) 的数据，是否继续？"});
        EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbYesNo | kMbIconInformation));
        EXPECT_TRUE(h.sys.shellLog.empty());
        h.sys.formatFails = true;
        h.ui.messageBoxAnswers = {kIdYes};
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.sys.shellLog, std::vector<std::string>{"formatex D:\\ NTFS 本地磁盘 quick 0"});
        EXPECT_EQ(h.Messages().back(), "格式化 D:\\(1:2) 失败，请重试！");
        EXPECT_EQ(h.ui.GetText(W, kRxStatus), "格式化 D:\\(1:2) 失败，请重试！");
        EXPECT_TRUE(h.ui.IsEnabled(W, kRxStart));
        EXPECT_EQ(h.sys.ConsoleInput(), "");
        h.sys.formatFails = false;
        h.ui.SelectItem(W, kRxFormatChoice, 2);
        h.ui.messageBoxAnswers = {kIdYes};
        h.ui.Click(W, kRxStart);
        EXPECT_EQ(h.sys.shellLog.back(), "formatex D:\\ FAT32 本地磁盘 quick 0");
        EXPECT_EQ(h.sys.ConsoleInput(), std::string(kApplyLine) + "\r\n");
    }
}

TEST(WimApply, SixtyFourBitHostsFormatThroughAScriptWithTheLabelEscaped) {
    ApplyHarness h;
    h.sys.wow64DirectoryLength = 20;
    h.sys.drives['D'].label = "A&B%";
    h.OpenWindow();
    EXPECT_EQ(h.ui.GetWindow(W).controls[kRxFormatChoice].items,
              (std::vector<std::string>{"手动 Format", "手动 NTFS", "手动 FAT32", "跳过 None"}));
    h.ui.SelectItem(W, kRxFormatChoice, 2);
    h.ui.Click(W, kRxStart);
    EXPECT_TRUE(h.Messages().empty());  // no question on a 64-bit host
    EXPECT_EQ(h.sys.FileContents("C:\\\\temp.CMD"),
              "@echo off \r\ntitle 岚舟软件格式化磁盘命令行 - [格式化D:\\\\]\r\necho "
              "注意：格式化操作将删除[D:\\\\]的全部"
              "数据，请谨慎操作。\r\necho 提示：驱动器 D:\\\\ 的卷标名为[A^&B%%]\r\nformat "
              "D:/FS:fat32  /V:本地磁盘 /Q");
    EXPECT_EQ(h.sys.programsRunAndWaited,
              std::vector<std::string>{"cmd.exe /c \"C:\\\\temp.CMD\""});
    // The label query worked on a copy: the apply still names D:\\.
    EXPECT_EQ(h.sys.ConsoleInput(), std::string(kApplyLine) + "\r\n");
}

TEST(WimApply, ProgressPauseAndSuccessWithTheReport) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxStart);
    EXPECT_EQ(h.sys.ConsoleInput(), std::string(kApplyLine) + "\r\n");
    EXPECT_FALSE(h.ui.IsVisible(W, kRxStart));
    EXPECT_TRUE(h.ui.IsVisible(W, kRxPause));
    EXPECT_EQ(h.ui.GetText(W, kRxPercent), "  0%");
    EXPECT_EQ(h.ui.GetText(W, kRxRemaining), "剩余时间：正在计算");
    EXPECT_EQ(h.ui.GetText(W, kRxCancel), "终止(&X)");
    EXPECT_EQ(h.ui.GetWindow(W).timers,
              (std::map<int, unsigned>{
                  {kRxProgressTimer, 50}, {kRxElapsedTimer, 1000}, {kRxDoneTimer, 500}}));

    // ImageX shows up after two seconds; the job is not judged meanwhile.
    h.Checks(4);
    EXPECT_TRUE(h.Open());
    EXPECT_TRUE(h.ui.IsVisible(W, kRxPause));
    h.ImagexStarts(77);
    h.sys.processes.push_back(ProcessEntry{90, 4, "Imagex.exe"});  // someone else's
    h.Checks(1);
    h.Prints("[  45% ] Applying progress: 3:21 mins remaining\r\n[  46% ] Appl");
    h.TickIfRunning(kRxProgressTimer);
    EXPECT_EQ(h.ui.GetText(W, kRxPercent), " 45%");
    EXPECT_EQ(h.ui.GetProgress(W, kRxProgressBar), 45);
    EXPECT_EQ(h.ui.GetText(W, kRxRemaining), "剩余时间： 3:21 mins ");
    h.TickIfRunning(kRxElapsedTimer);
    h.TickIfRunning(kRxElapsedTimer);
    EXPECT_EQ(h.ui.GetText(W, kRxElapsed), "已用时间：00:00:02");

    // Pause twice: ours is suspended and resumed, never the other one.
    h.ui.Click(W, kRxPause);
    EXPECT_EQ(h.ui.GetText(W, kRxStatus), "用户暂停Imagex应用映像到磁盘。");
    EXPECT_FALSE(h.TickIfRunning(kRxElapsedTimer));  // the clock stands while paused
    EXPECT_FALSE(h.TickIfRunning(kRxProgressTimer));
    h.Checks(2);  // a suspended ImageX still runs
    EXPECT_TRUE(h.Open());
    h.ui.Click(W, kRxPause);
    EXPECT_EQ(h.sys.processLog, (std::vector<std::string>{"suspend 77", "resume 77"}));
    EXPECT_EQ(h.ui.GetText(W, kRxStatus), "Imagex正在应用映像到磁盘，请稍候....");
    EXPECT_TRUE(h.TickIfRunning(kRxElapsedTimer));
    EXPECT_EQ(h.ui.GetText(W, kRxElapsed), "已用时间：00:00:03");

    // ImageX ends with its last line still on the way: the job waits for it.
    h.ImagexEnds(77);
    h.Checks(1);
    EXPECT_TRUE(h.Open());
    h.Prints(
        "[ 100% ] Applying progress: 0:00 mins remaining\r\n\r\nSuccessfully applied image.\r\n");
    h.Checks(1);
    EXPECT_TRUE(h.Open());
    h.Checks(1);
    EXPECT_FALSE(h.Open());
    EXPECT_EQ(h.Messages().back(),
              "Imagex应用映像到磁盘完成！\r\n映像名称：win7."
              "wim\r\n分卷编号：2\r\n分卷名称：Windows 7 ULTIMATE( "
              "大小:12.5 GB|Windows 7 旗舰版)\r\n安装分区：D:\\(1:2)");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconInformation));
    h.job.ExpectMainWindowFreeAgain();
    for (const auto& t : h.sys.terminated) EXPECT_NE(t.first, 90u);
}

TEST(WimApply, FailureAndTheCountdown) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxStart);
    h.ImagexStarts(77);
    h.Checks(1);
    // The echoed command holds the word, but ImageX's own line does not.
    h.Prints(
        "C:\\Windows\\system32>imagex /apply \"E:\\Successfully.wim\"\r\nError applying image\r\n");
    h.ImagexEnds(77);
    h.Checks(3);
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.Messages().back(), "Imagex应用映像到磁盘失败！");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    EXPECT_TRUE(h.ui.IsVisible(W, kRxStart));
    EXPECT_FALSE(h.ui.IsVisible(W, kRxPause));
    EXPECT_EQ(h.ui.GetText(W, kRxCancel), "取消(&X)");
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_TRUE(h.ui.GetWindow(W).timers.empty());
}

TEST(WimApply, ShutdownOptionOpensTheCountdownInsteadOfTheReport) {
    ApplyHarness h;
    h.ui.Click(kMainWindow, kShutdownOption);
    h.OpenWindow();
    h.ui.Click(W, kRxStart);
    h.ImagexStarts(78);
    h.Checks(1);
    h.Prints("Successfully applied image.\r\n");
    h.ImagexEnds(78);
    h.Checks(2);
    EXPECT_FALSE(h.Open());
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_TRUE(h.ui.HasWindow(kCountdownWindow));
    EXPECT_EQ(h.program.state.shutdownAfterJob, 1);
    EXPECT_EQ(h.program.state.finishedJobKind, FinishedJob::Restore);
}

TEST(WimApply, StopBeforeImagexWasSeenWaitsForItAndEndsIt) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxStart);
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kRxCancel);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"Imagex正在还原，是否终止？"});
    EXPECT_TRUE(h.Open());  // the window stays while ImageX may still start
    h.Checks(3);
    h.ImagexStarts(77);
    h.Checks(1);
    EXPECT_EQ(h.sys.terminated.back().first, 77u);
    h.Checks(2);
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.Messages().back(), "用户取消Imagex应用映像到磁盘。");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_EQ(h.ui.GetText(W, kRxPercent), "  0%");
}

TEST(WimApply, ImagexThatNeverAppearsIsJudgedByTheOutputAfterTheGrace) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxStart);
    h.Checks(ImagexWatch::kGraceChecks - 2);
    EXPECT_TRUE(h.ui.IsVisible(W, kRxPause));
    h.Checks(3);
    EXPECT_EQ(h.Messages().back(), "Imagex应用映像到磁盘失败！");

    // One that came and went between two checks, leaving its result line.
    h.ui.messageBoxes.clear();
    h.ui.Click(W, kRxStart);
    h.Prints("Successfully applied image.\r\n");
    h.Checks(2);
    EXPECT_FALSE(h.Open());
    EXPECT_EQ(h.Messages().back().substr(0, 26), "Imagex应用映像到磁盘完成！");
}

TEST(WimApply, StopWhilePausedThenStartAgain) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxStart);
    h.ImagexStarts(77);
    h.Checks(1);
    h.ui.Click(W, kRxPause);
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kRxCancel);
    EXPECT_EQ(h.sys.terminated.back().first, 77u);
    h.Checks(2);
    EXPECT_EQ(h.Messages().back(), "用户取消Imagex应用映像到磁盘。");
    h.ui.Click(W, kRxStart);
    h.ImagexStarts(78);
    h.Checks(1);
    h.ui.Click(W, kRxPause);  // the first click of the new job pauses
    EXPECT_EQ(h.sys.processLog.back(), "suspend 78");
    EXPECT_EQ(h.ui.GetText(W, kRxPause), "继续(&P)");
}

TEST(WimApply, CloseWhileIdleEndsTheConsole) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxCancel);
    EXPECT_FALSE(h.Open());
    h.job.ExpectMainWindowFreeAgain();
}

TEST(WimApply, BootFilesAndAnswerFileAfterASuccess) {
    ApplyHarness h;
    h.OpenWindow();
    h.ui.Click(W, kRxAddBoot);
    h.ui.SelectItem(W, kRxBootMode, 3);  // D:\ chosen by hand
    h.ui.Click(W, kRxUnattendOption);
    h.sys.AddFile("E:\\a.xml", "<unattend/>");
    h.ui.openDialogAnswers = {"E:\\a.xml"};
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kRxBrowse);
    EXPECT_EQ(h.ui.GetText(W, kRxUnattendPath), "E:\\a.xml");
    EXPECT_EQ(h.ui.openDialogs.back().title, "选择无人值守文件");
    EXPECT_EQ(h.ui.openDialogs.back().filter, "Windows无人值守安装文件(*.XML)|*.XML");
    h.ui.Click(W, kRxStart);
    h.ImagexStarts(77);
    h.Checks(1);
    h.Prints("Successfully applied image.\r\n");
    h.ImagexEnds(77);
    h.sys.AddFile("D:\\\\windows\\system32\\cmd.exe", "");
    h.sys.commandOutputs["cmd.exe /c BCDBOOT.EXE D:\\\\\\Windows /s D:\\"] =
        "Boot files successfully created.";
    h.ui.messageBoxes.clear();
    h.Checks(2);
    EXPECT_FALSE(h.Open());
    EXPECT_THAT(
        std::vector<std::string>(h.sys.commandsRun.begin() + 1, h.sys.commandsRun.end()),
        ElementsAre(
            "cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=D:\\ /mbr /install  /type=nt60  /quiet",
            "cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=D:\\ /partitions /activate /quiet",
            "cmd.exe /c BCDBOOT.EXE D:\\\\\\Windows /s D:\\",
            "cmd.exe /c BCDBOOT.EXE D:\\\\\\Windows /l zh-cn /s D:\\",
            "cmd.exe /c MD D:\\\\Windows\\Panther"));
    EXPECT_EQ(h.sys.FileContents("D:\\Windows\\Panther\\Unattend.xml"), "<unattend/>");
    EXPECT_EQ(h.Messages().size(), 1u);  // the report only
}

TEST(BootFiles, DeviceByModeAndTheFailureRetry) {
    ApplyHarness h;
    // Disk 1's first partition is C: (row "1:1"); "1:10" or "11:1" would not match.
    EXPECT_EQ(BootPartitionOfDisk(h.program, 1), "C:\\")
        << h.ui.Cell(kMainWindow, kPartitionList, 0, 1);
    EXPECT_EQ(BootPartitionOfDisk(h.program, 2), "");
    h.AddFixedDrive('X', 0, 4);
    h.sys.AddFile("X:\\Windows\\system32\\cmd.exe", "");
    EXPECT_EQ(FirstWindowsDrive(h.program), "");  // WinPE's X: is never the boot drive
    h.sys.AddFile("E:\\Windows\\system32\\cmd.exe", "");
    EXPECT_EQ(FirstWindowsDrive(h.program), "E:\\");
    EXPECT_EQ(BootDeviceFor(0, "C:\\", "E:\\", "自动模式1"), "C:\\");
    EXPECT_EQ(BootDeviceFor(1, "C:\\", "E:\\", "自动模式2"), "E:\\");
    EXPECT_EQ(BootDeviceFor(3, "C:\\", "E:\\", "D:\\"), "D:\\");

    std::vector<std::string> statuses;
    auto status = [&](const std::string& s) { statuses.push_back(s); };
    AddBootFiles(h.program, BootFilesJob{"D:\\\\", "", status});
    EXPECT_EQ(h.Messages().back(), "获取主引导盘失败，无法添加引导文件！");
    EXPECT_TRUE(h.sys.commandsRun.empty());

    h.sys.commandOutputs["cmd.exe /c BCDBOOT.EXE D:\\\\\\Windows /s C:\\"] = "BFSVC Error";
    h.ui.messageBoxAnswers = {kIdYes};
    AddBootFiles(h.program, BootFilesJob{"D:\\\\", "C:\\", status});
    EXPECT_EQ(h.Messages().back(),
              "创建引导文件失败，是否使用批处理模式重试？\r\n错误信息：\r\nBFSVC Error");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbYesNo | kMbIconError));
    EXPECT_EQ(
        h.sys.FileContents("C:\\Windows\\yd.cmd"),
        "BCDBOOT.EXE D:\\\\\\Windows /S C:\\\r\nBCDBOOT.EXE D:\\\\\\Windows /l zh-cn /s C:\\");
    EXPECT_EQ(statuses.back(), "创建引导文件失败！");

    h.sys.commandsRun.clear();
    h.sys.commandOutputs["cmd.exe /c BCDBOOT.EXE D:\\\\\\Windows /s C:\\"] = "引导文件已成功创建。";
    AddBootFiles(h.program, BootFilesJob{"D:\\\\", "C:\\", status});
    EXPECT_EQ(h.sys.commandsRun.back(), "cmd.exe /c BCDBOOT.EXE D:\\\\\\Windows /l zh-cn /s C:\\");
}

TEST(BootFiles, AnswerFileIsNotOverwrittenWithoutYes) {
    ApplyHarness h;
    h.sys.AddFile("E:\\a.xml", "new");
    h.sys.AddFile("D:\\\\Windows\\Panther\\Unattend.xml", "old");
    h.sys.AddFile("D:\\windows\\system32\\cmd.exe", "");
    h.ui.messageBoxAnswers = {kIdNo};
    AddUnattendFile(h.program, "D:\\\\", "E:\\a.xml", nullptr);
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{"D:\\\\Windows "
                                       "下已存在无人值守应答文件，是否覆盖？\r\n注意：如果覆盖，将"
                                       "导致系统安装失败，请谨慎选择。"});
    EXPECT_EQ(h.sys.FileContents("D:\\Windows\\Panther\\Unattend.xml"), "old");
    h.sys.AddFile("D:\\Windows\\Panther\\Unattend.xml", "old");
    h.ui.messageBoxes.clear();
    AddUnattendFile(h.program, "F:\\\\", "E:\\a.xml", nullptr);  // no Windows there
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"添加无人值守安装文件失败！"});
}

TEST(ImagePanel, PrefersAGhostImageAndShowsItsLines) {
    ApplyHarness h;
    h.ui.ClearItems(kMainWindow, kImagePathBox);  // what the start-up search found
    h.sys.AddFile("E:\\a.wim", std::string(1048576 * 3 / 2, 'w'));
    h.sys.AddFile("E:\\images\\backups\\2016\\win7.gho", std::string(1048576 / 4, 'g'));
    h.sys.creationTimes["E:\\A.WIM"] = SysTime{2016, 12, 31, 23, 59, 58};
    h.ui.AddItem(kMainWindow, kImagePathBox, "E:\\a.wim");
    h.ui.AddItem(kMainWindow, kImagePathBox, "E:\\images\\backups\\2016\\win7.gho");
    PreselectImageAndShowPanel(h.program);
    EXPECT_EQ(h.ui.GetSelection(kMainWindow, kImagePathBox), 1);
    // 31 bytes: the first 10, three dots and the last 18.
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSearchDepthNote),
              "位置： E:\\images\\...kups\\2016\\win7.gho");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageNoteLabel), "类型： Ghost 映像文件");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageSizeLabel), "大小： 0.25 MB");
    ShowImagePanel(h.program, "E:\\a.wim");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSearchDepthNote), "位置： E:\\a.wim");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageNoteLabel), "类型： WIM 映像文件");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageSizeLabel), "大小： 1.5 MB");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageTimeLabel), "时间： 2016-12-31 23:59:58");
}

TEST(FormatRoutine, FileSystemAndClusterSizeRules) {
    FakeSys sys;
    EXPECT_TRUE(FormatVolumeQuick(sys, "D:\\\\", "NTFS"));
    EXPECT_TRUE(FormatVolumeQuick(sys, "D:", "FAT32", 4096));
    EXPECT_TRUE(FormatVolumeQuick(sys, "D:\\", "exFAT", 3000));
    sys.formatFails = true;
    EXPECT_FALSE(FormatVolumeQuick(sys, "E:\\", "FAT32", 1024));
    EXPECT_EQ(sys.shellLog, (std::vector<std::string>{"formatex D:\\ NTFS 本地磁盘 quick 0",
                                                      "formatex D:\\ FAT32 本地磁盘 quick 4096",
                                                      "formatex D:\\ NTFS 本地磁盘 quick 0",
                                                      "formatex E:\\ FAT32 本地磁盘 quick 1024"}));
}

}  // namespace
