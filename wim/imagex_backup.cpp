#include "wim/imagex_backup.h"

#include <cstdio>

#include "base/completion.h"
#include "base/date_time.h"
#include "base/drives.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/selection.h"
#include "wim/imagex_text.h"

namespace {

constexpr int W = kImagexBackupWindow;
const char kCapturing[] = "Imagex正在备份磁盘，请稍候....";
const char kCancelled[] = "用户取消Imagex备份。";

WindowDesc BackupWindowDesc() {
    WindowDesc w;
    w.id = W;
    w.caption = "Allset Imagex";
    w.width = 460;
    w.height = 370;
    using K = ControlKind;
    ControlDesc compression =
        WithItems(MakeControl(kBxCompression, K::ComboList, "", {110, 136, 200, 24}),
                  {"不压缩", "快速压缩", "最高压缩"});
    compression.selection = 2;
    w.controls = {
        MakeControl(kBxTitle, K::Label, "Allset Imagex", {16, 8, 300, 20}),
        MakeControl(kBxConfirmLine, K::Label, "", {16, 36, 420, 20}),
        MakeControl(kBxHint, K::Label, "点击“确定(&C)”立即开始，点击“取消(&X)”返回主界面。",
                    {16, 56, 420, 20}),
        MakeControl(kBxNameLabel, K::Label, "映像名称：", {16, 84, 90, 20}),
        MakeControl(kBxName, K::Edit, "", {110, 80, 300, 22}),
        MakeControl(kBxFlagLabel, K::Label, "系统标志：", {16, 112, 90, 20}),
        WithItems(MakeControl(kBxFlag, K::ComboList, "", {110, 108, 200, 24}),
                  {"HomeBasic", "HomePremium", "Starter", "Ultimate", "Business", "Enterprise",
                   "ServerDatacenter", "ServerEnterprise", "ServerStandard", "Windows PE"}),
        MakeControl(kBxCompressionLabel, K::Label, "压缩率：", {16, 140, 90, 20}),
        compression,
        MakeControl(kBxProgressCaption, K::Label, "备份进度：", {16, 176, 80, 20}),
        MakeControl(kBxProgressBar, K::ProgressBar, "", {100, 176, 280, 18}),
        Hidden(MakeControl(kBxPercent, K::Label, "", {386, 176, 50, 20})),
        Hidden(MakeControl(kBxElapsed, K::Label, "已用时间：00:00:00", {16, 204, 200, 20})),
        Hidden(MakeControl(kBxRemaining, K::Label, "剩余时间：00:00:00", {230, 204, 200, 20})),
        Hidden(MakeControl(kBxStatus, K::Label, "", {16, 292, 3, 20})),
        Hidden(MakeControl(kBxOutput, K::MultiLineEdit, "", {16, 232, 420, 50})),
        WithPicture(MakeControl(kBxStart, K::PictureButton, "确定(&C)", {240, 322, 90, 28}),
                    "button"),
        WithPicture(MakeControl(kBxCancel, K::PictureButton, "取消(&X)", {340, 322, 90, 28}),
                    "button"),
        Hidden(WithPicture(MakeControl(kBxPause, K::PictureButton, "暂停(&P)", {240, 322, 90, 28}),
                           "button")),
    };
    return w;
}

// The save path as the confirmation line shows it: whole when short, else its head,
// three dots and its tail.
std::string ShortSavePath(const std::string& path) {
    if (path.size() < 25) return path;
    return path.substr(0, 8) + "..." + path.substr(path.size() - 14);
}

// "2016-12-31 23:59:59": the report's date, on the 24-hour clock.
std::string ReportDate(const SysTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

}  // namespace

void StartWimCapture(Program& program, const std::string& savePath) {
    if (IsRunningSystemPartition(program.sys, CurrentSelection(program).root))
        return Tell(program, "桌面环境暂不支持备份系统盘为WIM映像文件，请到WinPE环境操作！",
                    kMbIconError);
    const std::string problem = CaptureSavePathProblem(savePath);
    if (!problem.empty()) return Tell(program, problem, kMbIconWarning);
    OpenWindow<ImagexBackupWindow>(program, savePath)->Open();
}

ImagexBackupWindow::ImagexBackupWindow(Program& program, const std::string& savePath)
    : program_(program),
      savePath_(savePath),
      view_(program, {W, kBxOutput, kBxPercent, kBxProgressBar, kBxElapsed, kBxRemaining, kBxStatus,
                      kBxCancel, kBxPause, kBxProgressTimer, kBxElapsedTimer, kBxDoneTimer}) {}

void ImagexBackupWindow::Open() {
    Program& p = program_;
    Ui& ui = p.ui;
    ui.CreateWindowFrom(BackupWindowDesc(), this);
    ui.MoveWindow(W, CentredIn(ui.GetWindowRect(W), ui.GetWindowRect(kMainWindow)));
    // The main window waits locked until this one closes.
    LockMainWindow(p);

    view_.ResetPauseClicks();
    const SelectedPartition selected = CurrentSelection(p);
    sourceRoot_ = selected.root;
    sourceDisplay_ = selected.display;
    ui.SetText(W, kBxConfirmLine,
               "确定备份分区 " + sourceDisplay_ + " 到 " + ShortSavePath(savePath_) + " ？");
    p.console.StartConsole(std::string(), std::string());
    ui.SetText(W, kBxName,
               sourceRoot_.substr(0, 1) + "_BAK_" + FormatDateTime(p.sys.GetLocalTime(), 3, 0));
    p.state.imagexCompressionText = " /compress Maximum";
    ui.ShowWindow(W, true);
}

void ImagexBackupWindow::OnControl(int, int control) {
    if (closed_) return;
    switch (control) {
        case kBxStart:
            return OnStartCapture();
        case kBxCancel:
            return OnCancelCapture();
        case kBxPause:
            return OnPauseCapture();
        case kBxCompression:
            return OnCaptureCompression();
        default:
            return;
    }
}

void ImagexBackupWindow::OnTimer(int, int timer) {
    if (closed_) return;
    if (timer == kBxProgressTimer) {
        const ImagexProgress progress = view_.ShowProgress("% ] Capturing", true);
        lastPercent_ = progress.percent;
        lastRemaining_ = progress.remaining;
    }
    if (timer == kBxElapsedTimer) view_.TickElapsed();
    if (timer == kBxDoneTimer) CheckCaptureDone();
}

void ImagexBackupWindow::OnClose(int) {
    if (!closed_) OnCancelCapture();
}

void ImagexBackupWindow::OnDestroy(int) {
    if (closed_) return;
    closed_ = true;
    program_.console.StopConsole();
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
}

void ImagexBackupWindow::OnCaptureCompression() {
    static const char* const kTexts[] = {" /compress none", " /compress fast",
                                         " /compress Maximum"};
    const int index = program_.ui.GetSelection(W, kBxCompression);
    if (index >= 0 && index < 3) program_.state.imagexCompressionText = kTexts[index];
}

void ImagexBackupWindow::OnStartCapture() {
    Program& p = program_;
    Ui& ui = p.ui;
    Sys& sys = p.sys;
    if (const unsigned other = FindProcessNamed(sys, EngineFileName(p.state.imagexExePath))) {
        if (!Ask(p,
                 "检测到有其他Imagex.exe正在运行，是否终止？\r\n注意：如果不终止其他Imagex."
                 "exe，可能会影响系统备份。"))
            return;
        sys.TerminateProcessById(other, 1);
    }
    std::string name = ui.GetText(W, kBxName);
    if (name.empty()) name = " ";
    const std::string nameProblem = CaptureNameProblem(name);
    if (!nameProblem.empty()) return Tell(p, nameProblem, kMbIconWarning);

    std::string notice = "Imagex将不会备份以下文件及文件夹：\r\n";
    for (const char* entry : {"$windows.~bt", "$windows.~ls", "winpepge.sys", "windows\\csc",
                              "Recycled", "Recycler", "$Recycle.Bin", "System Volume Information",
                              "swapfile.sys", "pagefile.sys", "hiberfil.sys"})
        notice += sourceRoot_ + entry + "\r\n";
    notice += "\r\n是否继续备份 " + sourceDisplay_ + " ？";
    if (!AskInformation(p, notice)) return;
    lastPercent_.clear();
    lastRemaining_.clear();

    // The console may have ended since the window opened.
    p.console.StartConsole(std::string(), std::string());
    const std::string scratch = ScratchFolderOf(savePath_);
    if (!sys.IsDirectory(scratch)) {
        p.console.SendConsoleLine("MD " + scratch);
        sys.CreateDirectories(scratch);
        sys.WriteWholeFile(scratch + "\\Imagex备份缓存目录，请勿删除。", "", 0);
    }
    savePathExisted_ = sys.PathFileExists(savePath_);

    const int flag = ui.GetSelection(W, kBxFlag);
    const std::string line = ImagexCaptureLine(
        {p.state.imagexExePath, sourceRoot_, savePath_, name,
         flag >= 0 ? ui.ItemText(W, kBxFlag, flag) : std::string(), p.state.imagexCompressionText});
    // The box is cleared and pointed at before the line goes in, so nothing is lost.
    p.console.AttachConsoleOutput(W, kBxOutput);
    p.console.SendConsoleLine(line);
    watch_.Begin(EngineFileName(p.state.imagexExePath));

    view_.SetStatus(kCapturing);
    ShowBalloon(p, "提示", kCapturing, 1, 0);
    view_.StartJob();
    ui.SetText(W, kBxElapsed, "已用时间：00:00:00");

    ui.SetEnabled(W, kBxName, false);
    ui.SetEnabled(W, kBxCompression, false);
    for (int shown : {kBxElapsed, kBxRemaining, kBxPercent, kBxPause})
        ui.SetVisible(W, shown, true);
    ui.SetVisible(W, kBxStart, false);
    p.state.jobRunning = true;
    cancelled_ = false;
    view_.SetStatusRunning(true);
    view_.SetCancelStops(true);
}

void ImagexBackupWindow::OnPauseCapture() {
    view_.OnPause(watch_, "用户暂停Imagex备份磁盘。", kCapturing);
}

void ImagexBackupWindow::OnCancelCapture() {
    Program& p = program_;
    if (watch_.Active()) {
        // While a job is active, stop means stop ImageX; the completion check ends the job.
        if (!Ask(p, "Imagex正在备份，是否退出？")) return;
        cancelled_ = true;
        watch_.Stop(p);
        ShowBalloon(p, "提示", kCancelled, 1, 0);
        return;
    }
    p.ui.KillTimer(W, kBxDoneTimer);
    Close();
}

void ImagexBackupWindow::CheckCaptureDone() {
    Program& p = program_;
    Ui& ui = p.ui;
    const std::string output = ui.GetText(W, kBxOutput);
    if (!watch_.Over(p, output.size(), OutputReportsSuccess(output, "Successfully imaged"))) return;

    view_.StopTimers();
    view_.SetStatusRunning(false);
    ui.SetVisible(W, kBxPause, false);
    ui.SetVisible(W, kBxStart, true);
    p.sys.DeleteDirectoryTree(ScratchFolderOf(savePath_));

    // The partly written image of a cancelled capture stays. A stop answered after
    // ImageX had already finished cancelled nothing: the new image has replaced the
    // older one, and the report says so.
    const bool imaged = OutputReportsSuccess(ui.GetText(W, kBxOutput), "Successfully imaged");
    if (cancelled_ && !imaged) return BackToIdle(kCancelled);
    if (!imaged) {
        // Only a file this capture made goes; an older image at the save path stays.
        if (!savePathExisted_ && p.sys.PathFileExists(savePath_)) p.sys.DeleteFile(savePath_);
        // Our ImageX writes under "<image>.<process id>.capturing" and renames at the
        // end; one that was killed or crashed leaves that half-written file behind.
        const std::string folder = savePath_.substr(0, savePath_.find_last_of('\\') + 1);
        for (const DirectoryEntry& e : p.sys.FindFiles(savePath_ + ".*.capturing"))
            if (!e.isDirectory) p.sys.DeleteFile(folder + e.name);
        ShowBalloon(p, "提示", "Imagex备份失败！", 1, 0);
        return BackToIdle("Imagex备份失败。");
    }

    const std::string done = "Imagex备份 " + sourceDisplay_ + " 完成！";
    ShowBalloon(p, "提示", done, 1, 0);
    p.state.jobRunning = false;
    ui.SetEnabled(W, kBxName, true);
    ui.SetEnabled(W, kBxCompression, true);
    ui.SetEnabled(W, kBxStart, true);
    view_.SetCancelStops(false);
    ui.SetText(W, kBxRemaining, "剩余时间：00:00:00");
    view_.SetStatus(done);
    if (!StartCompletionActionIfChosen(p, FinishedJob::Backup)) {
        const std::int64_t bytes = p.sys.GetFileSize(savePath_);
        const long long megabytes = bytes > 0 ? bytes / 1048576 : 0;
        Tell(p,
             "   Imagex备份磁盘完成！\r\n\r\n备份分区：" + sourceDisplay_ + "\r\n\r\n保存位置：" +
                 savePath_ + "\r\n\r\n大      小：" + std::to_string(megabytes) +
                 " MB\r\n\r\n备份日期：" + ReportDate(p.sys.GetLocalTime()),
             kMbIconInformation);
    }
    Close();
}

void ImagexBackupWindow::BackToIdle(const std::string& text) {
    Program& p = program_;
    Ui& ui = p.ui;
    view_.SetStatus(text);
    ui.SetProgress(W, kBxProgressBar, 0);
    p.state.jobRunning = false;
    ui.SetEnabled(W, kBxName, true);
    ui.SetEnabled(W, kBxCompression, true);
    ui.SetEnabled(W, kBxStart, true);
    view_.SetCancelStops(false);
    if (text == kCancelled) ShowBalloon(p, "提示", text, 1, 0);
    Tell(p, text, kMbIconError);
}

void ImagexBackupWindow::Close() {
    if (closed_) return;
    closed_ = true;
    program_.console.StopConsole();
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
    program_.ui.DestroyWindow(W);
}
