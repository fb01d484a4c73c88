// The WIM capture: the hand-over from the backup path, the backup window, the capture
// line, the capture progress, the lifecycle on the fake process table, the reports.
#include <gtest/gtest.h>

#include "base/ids/imagex_backup.h"
#include "tests/native/harness.h"
#include "tests/native/imagex_job_driver.h"
#include "wim/imagex_backup.h"
#include "wim/imagex_process.h"
#include "wim/imagex_text.h"

namespace {

constexpr int W = kImagexBackupWindow;
const char kSave[] = "E:\\backups\\d.wim";
// D: (disk 1 partition 2) into E:\backups\d.wim, named by the fake clock (15:15:20 on the
// 12-hour clock), flag Ultimate, maximum compression.
const char kCaptureLine[] =
    "C:\\Windows\\\\Imagex.exe /capture D:\\ \"E:\\backups\\d.wim\" \"D_BAK_20160501031520\"  "
    "\"本映像卷由岚舟软件星桥装机台生成\" /flags \"Ultimate\" /compress Maximum /temp "
    "E:\\ImagexTemp";
const char kMarker[] = "E:\\ImagexTemp\\Imagex备份缓存目录，请勿删除。";

struct CaptureHarness : Harness {
    CaptureHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        sys.AddDirectory("E:\\backups");
        EXPECT_TRUE(Start());
        ui.Click(kMainWindow, kBackupMode);
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    ImagexJobDriver job{*this, W, kBxDoneTimer, kBxOutput};
    bool Open() { return job.Open(); }
    void PressStart(const std::string& savePath, int row = 1) {
        ui.ClearItems(kMainWindow, kSavePathBox);
        ui.AddItem(kMainWindow, kSavePathBox, savePath);
        ui.SetSelection(kMainWindow, kSavePathBox, 0);
        if (row >= 0) ui.ClickRow(kMainWindow, kPartitionList, row);
        ui.Click(kMainWindow, kStartButton);
    }
    void OpenWindow() {
        PressStart(kSave);
        ASSERT_TRUE(Open());
        ui.SelectItem(W, kBxFlag, 3);  // Ultimate
        ui.messageBoxes.clear();
    }
    // Start, answering the exclusion notice with Yes.
    void StartCapture() {
        ui.messageBoxAnswers = {kIdYes};
        ui.Click(W, kBxStart);
        ui.messageBoxes.clear();
    }
    bool TickIfRunning(int timer) { return job.TickIfRunning(timer); }
    void Checks(int n) { job.Checks(n); }
    void Prints(const std::string& text) { job.Prints(text); }
    void ImagexStarts(unsigned id) { job.ImagexStarts(id); }
    void ImagexEnds(unsigned id) { job.ImagexEnds(id); }
};

TEST(CaptureText, ProgressPercentWithoutBlanksAndTheRemainingTime) {
    const struct {
        const char* output;
        const char* percent;
        const char* remaining;
    } cases[] = {
        {"[   7% ] Capturing progress: 1:02 mins remaining\r\n", "7", " 1:02 mins "},
        {"[ 100% ] Capturing progress: 0:00 mins remaining\r\n", "100", " 0:00 mins "},
        // The line still being written is not read; the one before it is.
        {"[  12% ] Capturing progress: 5:00 mins remaining\r\n[  13% ] Capt", "12", " 5:00 mins "},
        {"[  40% ] capturing\r\n", "40", ""},
        {"Scanning files\r\n", "", ""},
        // An apply line is not a capture line.
        {"[  40% ] Applying progress: 2:00 mins remaining\r\n", "", " 2:00 mins "},
    };
    for (const auto& c : cases) {
        const ImagexProgress p = ParseProgressText(c.output, "% ] Capturing", true);
        EXPECT_EQ(p.percent, c.percent) << c.output;
        EXPECT_EQ(p.remaining, c.remaining) << c.output;
    }
    EXPECT_EQ(ParseProgressText("[   7% ] Applying\r\n", "% ] Applying", false).percent, "  7");
}

TEST(CaptureText, TheLineAndWhatCannotGoIntoIt) {
    EXPECT_EQ(ImagexCaptureLine({"C:\\Windows\\\\Imagex.exe", "D:\\", kSave, "D_BAK_20160501031520",
                                 "Ultimate", " /compress Maximum"}),
              kCaptureLine);
    EXPECT_EQ(
        ImagexCaptureLine({"Imagexmv.exe", "C:\\", "F:\\x.wim", " ", "", " /compress none"}),
        "Imagexmv.exe /capture C:\\ \"F:\\x.wim\" \" \"  \"本映像卷由岚舟软件星桥装机台生成\" "
        "/flags \"\" /compress none /temp F:\\ImagexTemp");

    for (const char* name : {"系统备份", " ", "a&b|c<d>e^f", "路径\x95\x5C"})
        EXPECT_EQ(CaptureNameProblem(name), "") << name;  // the last ends in a GBK trail 0x5C
    EXPECT_EQ(CaptureNameProblem("bak\\"), "映像名称不能以“\\”结尾，请重新输入映像名称！");
    for (const char* name : {"a\"b", "100%", "a\tb"})
        EXPECT_EQ(CaptureNameProblem(name),
                  "映像名称不能包含双引号、百分号或控制字符，请重新输入映像名称！")
            << name;

    EXPECT_EQ(CaptureSavePathProblem("F:\\x.wim"), "");
    EXPECT_EQ(CaptureSavePathProblem("f:\\imagextemp2\\x.wim"), "");
    for (const char* path : {"x.wim", "F:x.wim", "\\\\srv\\s\\x.wim", "F:\\\\x.wim", "F:\\50%.wim"})
        EXPECT_EQ(CaptureSavePathProblem(path),
                  std::string("保存路径 ") + path +
                      " 不正确，请输入完整的保存路径（如 D:\\备份\\C.wim）！")
            << path;
    EXPECT_EQ(CaptureSavePathProblem("f:\\ImageXTemp\\x.wim"),
              "不可将映像文件保存到 f:\\ImagexTemp 缓存目录中，备份结束时将删除此目录，请选择其他"
              "保存位置！");
}

TEST(WimCapture, HandOverRefusesTheRunningSystemAndUnusableSavePaths) {
    const struct {
        const char* savePath;
        int row;
        const char* message;
        unsigned icon;
    } cases[] = {
        {"E:\\c.wim", 0, "桌面环境暂不支持备份系统盘为WIM映像文件，请到WinPE环境操作！",
         kMbIconError},
        {"E:\\ImagexTemp\\d.wim", 1,
         "不可将映像文件保存到 E:\\ImagexTemp 缓存目录中，备份结束时将删除此目录，请选择其他保存位"
         "置！",
         kMbIconWarning},
        {"E:d.WIM", 1, "保存路径 E:d.WIM 不正确，请输入完整的保存路径（如 D:\\备份\\C.wim）！",
         kMbIconWarning},
        {"E:\\d.gh", 1, "本工具支持Gho、WIM备份，请输入正确的文件！", kMbIconWarning},
    };
    for (const auto& c : cases) {
        CaptureHarness h;
        h.PressStart(c.savePath, c.row);
        EXPECT_EQ(h.Messages(), std::vector<std::string>{c.message}) << c.savePath;
        if (!h.ui.messageBoxes.empty()) {
            EXPECT_EQ(h.ui.messageBoxes[0].flags, c.icon) << c.savePath;
        }
        EXPECT_FALSE(h.Open()) << c.savePath;
    }
}

TEST(WimCapture, WindowOpensWithTheConfirmationNameAndCompression) {
    CaptureHarness h;
    h.ui.SelectItem(kMainWindow, kCompressionBox, 0);  // the main box: none
    EXPECT_EQ(h.program.state.imagexCompressionText, " /compress none");
    // 24 bytes: shown whole.
    h.sys.AddDirectory("E:\\abcdefghijklmn");
    h.PressStart("E:\\abcdefghijklmn\\12.wim");
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.ui.GetWindow(W).caption, "Allset Imagex");
    EXPECT_EQ(h.ui.GetText(W, kBxConfirmLine),
              "确定备份分区 D:\\(1:2) 到 E:\\abcdefghijklmn\\12.wim ？");
    EXPECT_EQ(h.ui.GetText(W, kBxName), "D_BAK_20160501031520");
    EXPECT_EQ(h.program.state.imagexCompressionText, " /compress Maximum");
    EXPECT_EQ(h.ui.GetSelection(W, kBxCompression), 2);
    EXPECT_TRUE(h.program.console.IsRunning());
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));  // the window stands in front
    EXPECT_FALSE(h.program.state.jobRunning);
    for (int hidden : {kBxPause, kBxElapsed, kBxRemaining, kBxPercent, kBxOutput})
        EXPECT_FALSE(h.ui.IsVisible(W, hidden)) << hidden;

    const char* compressions[] = {" /compress none", " /compress fast", " /compress Maximum"};
    for (int i = 0; i < 3; ++i) {
        h.ui.SelectItem(W, kBxCompression, i);
        EXPECT_EQ(h.program.state.imagexCompressionText, compressions[i]);
    }
    h.ui.SelectItem(W, kBxCompression, 1);
    h.ui.Click(W, kBxCancel);  // idle: closes
    EXPECT_FALSE(h.Open());
    EXPECT_FALSE(h.program.console.IsRunning());
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    // The main box's medium setting is Ghost's alone.
    h.ui.SelectItem(kMainWindow, kCompressionBox, 2);
    EXPECT_EQ(h.program.state.imagexCompressionText, " /compress fast");

    // 25 bytes: the first 8, three dots, the last 14.
    CaptureHarness longer;
    longer.sys.AddDirectory("E:\\abcdefghijklmn");
    longer.PressStart("E:\\abcdefghijklmn\\123.wim");
    EXPECT_EQ(longer.ui.GetText(W, kBxConfirmLine),
              "确定备份分区 D:\\(1:2) 到 E:\\abcde...ijklmn\\123.wim ？");
}

TEST(WimCapture, StartChecksInOrder) {
    CaptureHarness h;
    h.OpenWindow();
    // Another ImageX: No ends the click, Yes ends that ImageX.
    h.sys.processes.push_back(ProcessEntry{50, 4, "IMAGEX.EXE"});
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(W, kBxStart);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{
                                "检测到有其他Imagex.exe正在运行，是否终止？\r\n注意：如果不终止"
                                "其他Imagex.exe，可能会影响系统备份。"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconWarning));
    EXPECT_TRUE(h.sys.terminated.empty());

    // A name the console line cannot carry.
    h.ui.messageBoxes.clear();
    h.ui.SetText(W, kBxName, "备份\\");
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kBxStart);
    EXPECT_EQ(h.sys.terminated.back().first, 50u);
    EXPECT_EQ(h.Messages().back(), "映像名称不能以“\\”结尾，请重新输入映像名称！");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconWarning));
    EXPECT_EQ(h.sys.ConsoleInput(), "");

    // The exclusion notice; No ends the click before anything is made.
    h.ui.messageBoxes.clear();
    h.ui.SetText(W, kBxName, "");
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(W, kBxStart);
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{
                  "Imagex将不会备份以下文件及文件夹：\r\nD:\\$windows.~bt\r\nD:\\$windows.~ls\r\n"
                  "D:\\winpepge.sys\r\nD:\\windows\\csc\r\nD:\\Recycled\r\nD:\\Recycler\r\n"
                  "D:\\$Recycle.Bin\r\nD:\\System Volume Information\r\nD:\\swapfile.sys\r\n"
                  "D:\\pagefile.sys\r\nD:\\hiberfil.sys\r\n\r\n是否继续备份 D:\\(1:2) ？"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconInformation));
    EXPECT_EQ(h.sys.ConsoleInput(), "");
    EXPECT_FALSE(h.sys.IsDirectory("E:\\ImagexTemp"));

    // Yes: the scratch folder with its marker, then the line; an empty name is one blank.
    h.ui.SelectItem(W, kBxCompression, 0);
    h.StartCapture();
    EXPECT_EQ(h.sys.ConsoleInput(),
              "MD E:\\ImagexTemp\r\nC:\\Windows\\\\Imagex.exe /capture D:\\ "
              "\"E:\\backups\\d.wim\" \" \"  \"本映像卷由岚舟软件星桥装机台生成\" /flags "
              "\"Ultimate\" /compress none /temp E:\\ImagexTemp\r\n");
    EXPECT_TRUE(h.sys.HasFile(kMarker));
    EXPECT_TRUE(h.program.state.jobRunning);
    EXPECT_EQ(h.ui.GetWindow(W).timers,
              (std::map<int, unsigned>{
                  {kBxProgressTimer, 50}, {kBxElapsedTimer, 1000}, {kBxDoneTimer, 500}}));
    EXPECT_FALSE(h.ui.IsEnabled(W, kBxName));
    EXPECT_FALSE(h.ui.IsEnabled(W, kBxCompression));
    EXPECT_FALSE(h.ui.IsVisible(W, kBxStart));
    EXPECT_TRUE(h.ui.IsVisible(W, kBxPause));
    EXPECT_EQ(h.ui.GetText(W, kBxCancel), "终止(&X)");
    EXPECT_EQ(h.ui.GetText(W, kBxStatus), "Imagex正在备份磁盘，请稍候....");
}

TEST(WimCapture, ProgressPauseAndSuccessWithTheReport) {
    CaptureHarness h;
    h.OpenWindow();
    h.StartCapture();
    EXPECT_EQ(h.sys.ConsoleInput(), "MD E:\\ImagexTemp\r\n" + std::string(kCaptureLine) + "\r\n");
    // ImageX appears after two seconds; an unrelated one is there all along.
    h.sys.processes.push_back(ProcessEntry{90, 4, "Imagex.exe"});
    h.Checks(4);
    EXPECT_TRUE(h.ui.IsVisible(W, kBxPause));
    h.ImagexStarts(77);
    h.Checks(1);
    h.Prints("[   7% ] Capturing progress: 4:10 mins remaining\r\n[   8% ] Capt");
    h.TickIfRunning(kBxProgressTimer);
    EXPECT_EQ(h.ui.GetText(W, kBxPercent), "7%");
    EXPECT_EQ(h.ui.GetProgress(W, kBxProgressBar), 7);
    EXPECT_EQ(h.ui.GetText(W, kBxRemaining), "剩余时间： 4:10 mins ");
    h.TickIfRunning(kBxElapsedTimer);
    EXPECT_EQ(h.ui.GetText(W, kBxElapsed), "已用时间：00:00:01");

    h.ui.Click(W, kBxPause);
    EXPECT_EQ(h.ui.GetText(W, kBxStatus), "用户暂停Imagex备份磁盘。");
    EXPECT_EQ(h.ui.GetText(W, kBxPause), "继续(&P)");
    EXPECT_FALSE(h.TickIfRunning(kBxElapsedTimer));
    h.Checks(2);  // suspended, still running
    EXPECT_TRUE(h.Open());
    h.ui.Click(W, kBxPause);
    EXPECT_EQ(h.sys.processLog, (std::vector<std::string>{"suspend 77", "resume 77"}));
    EXPECT_EQ(h.ui.GetText(W, kBxStatus), "Imagex正在备份磁盘，请稍候....");

    // ImageX ends with its result still on the way.
    h.sys.AddSizedFile(kSave, 3 * 1048576 + 1000);
    h.ImagexEnds(77);
    h.Checks(1);
    EXPECT_TRUE(h.Open());
    EXPECT_TRUE(h.sys.HasFile(kMarker));
    h.Prints(
        "[ 100% ] Capturing progress: 0:00 mins remaining\r\n\r\nSuccessfully imaged "
        "D:\\\r\n");
    h.Checks(2);
    EXPECT_FALSE(h.Open());
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{
                  "   Imagex备份磁盘完成！\r\n\r\n备份分区：D:\\(1:2)\r\n\r\n保存位置："
                  "E:\\backups\\d.wim\r\n\r\n大      小：3 MB\r\n\r\n备份日期："
                  "2016-05-01 15:15:20"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconInformation));
    EXPECT_EQ(h.BalloonTexts().back(), "Imagex备份 D:\\(1:2) 完成！");
    EXPECT_FALSE(h.sys.IsDirectory("E:\\ImagexTemp"));
    EXPECT_TRUE(h.sys.HasFile(kSave));
    h.job.ExpectMainWindowFreeAgain();
    for (const auto& t : h.sys.terminated) EXPECT_NE(t.first, 90u);
}

TEST(WimCapture, AFailureDeletesOnlyTheFileItMade) {
    // A new file, left half written: it goes.
    CaptureHarness fresh;
    fresh.OpenWindow();
    fresh.StartCapture();
    fresh.ImagexStarts(77);
    fresh.Checks(1);
    fresh.sys.AddFile(kSave, "half");
    // The echoed command names the success text, ImageX's own line does not.
    fresh.Prints("C:\\>imagex /capture D:\\ \"Successfully imaged\"\r\nError imaging drive\r\n");
    fresh.ImagexEnds(77);
    fresh.Checks(3);
    ASSERT_TRUE(fresh.Open());
    EXPECT_EQ(fresh.Messages(), std::vector<std::string>{"Imagex备份失败。"});
    EXPECT_EQ(fresh.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    EXPECT_EQ(fresh.BalloonTexts().back(), "Imagex备份失败！");
    EXPECT_EQ(fresh.ui.GetText(W, kBxStatus), "Imagex备份失败。");
    EXPECT_FALSE(fresh.sys.HasFile(kSave));
    EXPECT_FALSE(fresh.sys.IsDirectory("E:\\ImagexTemp"));
    EXPECT_FALSE(fresh.program.state.jobRunning);
    EXPECT_TRUE(fresh.ui.IsVisible(W, kBxStart));
    EXPECT_TRUE(fresh.ui.IsEnabled(W, kBxName));
    EXPECT_FALSE(fresh.ui.IsVisible(W, kBxPause));
    EXPECT_EQ(fresh.ui.GetText(W, kBxCancel), "取消(&X)");
    EXPECT_EQ(fresh.ui.GetProgress(W, kBxProgressBar), 0);

    // An older image the user agreed to replace: the engine keeps it, and so do we.
    CaptureHarness older;
    older.sys.AddFile(kSave, "older image");
    older.ui.messageBoxAnswers = {kIdYes};  // overwrite?
    older.PressStart(kSave);
    ASSERT_TRUE(older.Open());
    older.StartCapture();
    older.ImagexStarts(77);
    older.Checks(1);
    older.Prints("Error imaging drive\r\n");
    older.ImagexEnds(77);
    older.Checks(3);
    EXPECT_EQ(older.Messages().back(), "Imagex备份失败。");
    EXPECT_EQ(older.sys.FileContents(kSave), "older image");

    // An engine killed half-way leaves its working file beside the image: it goes too,
    // and nothing else of the folder does.
    CaptureHarness killed;
    killed.sys.AddFile(kSave, "older image");
    const std::string working = std::string(kSave) + ".4242.capturing";
    const std::string other = std::string(kSave) + ".notes";
    killed.sys.AddFile(working, "half");
    killed.sys.AddFile(other, "mine");
    killed.ui.messageBoxAnswers = {kIdYes};
    killed.PressStart(kSave);
    ASSERT_TRUE(killed.Open());
    killed.StartCapture();
    killed.ImagexStarts(77);
    killed.Checks(1);
    killed.ImagexEnds(77);
    killed.Checks(3);
    EXPECT_EQ(killed.Messages().back(), "Imagex备份失败。");
    EXPECT_EQ(killed.sys.FileContents(kSave), "older image");
    EXPECT_FALSE(killed.sys.HasFile(working));
    EXPECT_EQ(killed.sys.FileContents(other), "mine");
}

TEST(WimCapture, AStopAnsweredAfterImagexFinishedReportsTheFinishedBackup) {
    CaptureHarness h;
    h.OpenWindow();
    h.StartCapture();
    h.ImagexStarts(77);
    h.Checks(1);
    h.sys.AddSizedFile(kSave, 2 * 1048576);
    h.Prints("Successfully imaged D:\\\r\n");
    h.ImagexEnds(77);
    // The question was open while ImageX ended: Yes can no longer stop anything.
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kBxCancel);
    h.Checks(3);
    EXPECT_FALSE(h.Open());
    ASSERT_EQ(h.Messages().size(), 2u);
    EXPECT_EQ(h.Messages()[0], "Imagex正在备份，是否退出？");
    EXPECT_EQ(h.Messages()[1].rfind("   Imagex备份磁盘完成！", 0), 0u) << h.Messages()[1];
    EXPECT_TRUE(h.sys.HasFile(kSave));
}

TEST(WimCapture, StopBeforeImagexWasSeenWaitsForItAndKeepsThePartialImage) {
    CaptureHarness h;
    h.OpenWindow();
    h.StartCapture();
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kBxCancel);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"Imagex正在备份，是否退出？"});
    EXPECT_EQ(h.BalloonTexts().back(), "用户取消Imagex备份。");
    h.Checks(3);
    EXPECT_TRUE(h.Open());
    EXPECT_TRUE(h.sys.IsDirectory("E:\\ImagexTemp"));  // ImageX may still start and use it
    EXPECT_TRUE(h.program.state.jobRunning);
    h.ImagexStarts(77);
    h.sys.AddFile(kSave, "partial");
    h.Checks(1);
    EXPECT_EQ(h.sys.terminated.back().first, 77u);
    h.Checks(2);
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(h.Messages().back(), "用户取消Imagex备份。");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_EQ(h.sys.FileContents(kSave), "partial");
    EXPECT_FALSE(h.sys.IsDirectory("E:\\ImagexTemp"));

    // Stopped while paused, then started again: the new job's first pause click pauses.
    h.ui.messageBoxes.clear();
    h.StartCapture();
    h.ImagexStarts(78);
    h.Checks(1);
    h.ui.Click(W, kBxPause);
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(W, kBxCancel);  // No: nothing happens
    EXPECT_TRUE(h.program.state.jobRunning);
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kBxCancel);
    EXPECT_EQ(h.sys.terminated.back().first, 78u);
    h.Checks(2);
    EXPECT_EQ(h.Messages().back(), "用户取消Imagex备份。");
    h.StartCapture();
    h.ImagexStarts(79);
    h.Checks(1);
    h.ui.Click(W, kBxPause);
    EXPECT_EQ(h.sys.processLog.back(), "suspend 79");
}

TEST(WimCapture, RestartOptionOpensTheCountdownForABackup) {
    CaptureHarness h;
    h.ui.Click(kMainWindow, kRestartOption);
    h.OpenWindow();
    h.StartCapture();
    h.ImagexStarts(77);
    h.Checks(1);
    h.Prints("Successfully imaged D:\\\r\n");
    h.ImagexEnds(77);
    h.Checks(2);
    EXPECT_FALSE(h.Open());
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_TRUE(h.ui.HasWindow(kCountdownWindow));
    EXPECT_EQ(h.program.state.shutdownAfterJob, 0);
    EXPECT_EQ(h.program.state.finishedJobKind, FinishedJob::Backup);
}

}  // namespace
