#include "wim/imagex_restore.h"

#include "base/console.h"
#include "base/completion.h"
#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/format_volume.h"
#include "disk/inventory.h"
#include "disk/selection.h"
#include "disk/volume_label.h"
#include "wim/boot_files.h"
#include "wim/imagex_text.h"

namespace {

const char kApplying[] = "Imagex正在应用映像到磁盘，请稍候....";
const char kCalculating[] = "剩余时间：正在计算";

WindowDesc RestoreWindowDesc() {
    WindowDesc w;
    w.id = kImagexRestoreWindow;
    w.caption = "Allset Imagex";
    w.width = 460;
    w.height = 400;
    using K = ControlKind;
    ControlDesc format =
        WithItems(MakeControl(kRxFormatChoice, K::ComboList, "", {110, 104, 200, 24}),
                  {"手动 Format", "自动 NTFS", "自动 FAT32", "跳过 None"});
    format.selection = 3;
    ControlDesc bootMode =
        WithItems(MakeControl(kRxBootMode, K::ComboList, "", {110, 134, 200, 24}),
                  {"自动模式1", "自动模式2"});
    bootMode.selection = 0;
    bootMode.enabled = false;
    ControlDesc unattendPath = MakeControl(kRxUnattendPath, K::Edit, "", {150, 164, 220, 22});
    unattendPath.enabled = false;
    ControlDesc browse =
        WithPicture(MakeControl(kRxBrowse, K::PictureButton, "...", {376, 164, 40, 22}), "button");
    browse.enabled = false;
    w.controls = {
        MakeControl(kRxTitle, K::Label, "Allset Imagex", {16, 8, 300, 20}),
        MakeControl(kRxConfirmLine, K::Label, "", {16, 36, 420, 20}),
        MakeControl(kRxHint, K::Label, "点击“确定(&C)”立即开始，点击“取消(&X)”返回主界面。",
                    {16, 56, 420, 20}),
        MakeControl(kRxVolumeLabel, K::Label, "分卷名称：", {16, 78, 90, 20}),
        MakeControl(kRxVolumeList, K::ComboList, "", {110, 74, 330, 24}),
        MakeControl(kRxFormatLabel, K::Label, "分区格式化：", {16, 108, 90, 20}),
        format,
        MakeControl(kRxAddBoot, K::CheckBox, "添加引导：", {16, 136, 90, 20}),
        bootMode,
        MakeControl(kRxUnattendOption, K::CheckBox, "使用无人值守文件：", {16, 166, 132, 20}),
        unattendPath,
        browse,
        MakeControl(kRxProgressCaption, K::Label, "还原进度：", {16, 200, 80, 20}),
        MakeControl(kRxProgressBar, K::ProgressBar, "", {100, 200, 280, 18}),
        Hidden(MakeControl(kRxPercent, K::Label, "", {386, 200, 50, 20})),
        Hidden(MakeControl(kRxElapsed, K::Label, "已用时间：00:00:00", {16, 228, 200, 20})),
        Hidden(MakeControl(kRxRemaining, K::Label, "剩余时间：00:00:00", {230, 228, 200, 20})),
        Hidden(MakeControl(kRxStatus, K::Label, "", {16, 320, 3, 20})),
        Hidden(MakeControl(kRxOutput, K::MultiLineEdit, "", {16, 256, 420, 50})),
        WithPicture(MakeControl(kRxStart, K::PictureButton, "确定(&C)", {240, 350, 90, 28}),
                    "button"),
        WithPicture(MakeControl(kRxCancel, K::PictureButton, "取消(&X)", {340, 350, 90, 28}),
                    "button"),
        Hidden(WithPicture(MakeControl(kRxPause, K::PictureButton, "暂停(&P)", {240, 350, 90, 28}),
                           "button")),
    };
    return w;
}

// A label in the console's echo line: the characters the interpreter would read as its
// own are escaped.
std::string EscapeForEcho(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsGbkLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
            out += c;
            out += text[++i];
            continue;
        }
        if (c == '%')
            out += "%%";
        else if (c == '&' || c == '|' || c == '<' || c == '>' || c == '^')
            out += std::string("^") + c;
        else
            out += c;
    }
    return out;
}

}  // namespace

void StartWimApply(Program& program, const std::string& image) {
    Sys& sys = program.sys;
    const SelectedPartition& selected = CurrentSelection(program);
    const std::string& root = selected.root;
    const std::string& display = selected.display;
    if (root.empty() || root.size() < 3 || root[1] != ':')
        return Tell(program, "请选择要还原的分区！", kMbIconWarning);
    if (!DriveExists(sys, root))
        return Tell(program, "选择的分区 " + display + " 不存在！", kMbIconError);
    // Letters compare without regard to case: d:\img.wim lies on D: too, and an image on a
    // mounted ISO lies on the ISO file's drive.
    if (SameDriveLetter(DriveHoldingImage(program.state, image), root[0]))
        return Tell(program, "需还原的分区不可与还原映像文件所在的路径相同！", kMbIconWarning);
    if (IsRunningSystemPartition(sys, root))
        return Tell(program, "当前环境暂不支持还原正在运行的系统分区，请在WindowsPE环境中还原。",
                    kMbIconError);
    if (!ProbeDriveWritable(sys, root))
        return Tell(program, "选择的分区 " + display + " 写入数据失败，请选择正确的分区！",
                    kMbIconError);
    OpenWindow<ImagexRestoreWindow>(program, image)->Open();
}

ImagexRestoreWindow::ImagexRestoreWindow(Program& program, const std::string& image)
    : program_(program),
      image_(image),
      view_(program,
            {kImagexRestoreWindow, kRxOutput, kRxPercent, kRxProgressBar, kRxElapsed, kRxRemaining,
             kRxStatus, kRxCancel, kRxPause, kRxProgressTimer, kRxElapsedTimer, kRxDoneTimer}) {}

void ImagexRestoreWindow::Open() {
    Program& p = program_;
    Ui& ui = p.ui;
    Sys& sys = p.sys;
    ui.CreateWindowFrom(RestoreWindowDesc(), this);
    ui.MoveWindow(kImagexRestoreWindow,
                  CentredIn(ui.GetWindowRect(kImagexRestoreWindow), ui.GetWindowRect(kMainWindow)));
    // The main window waits locked until this one closes.
    LockMainWindow(p);

    view_.ResetPauseClicks();
    if (Is64BitWindows(sys)) {
        ui.ClearItems(kImagexRestoreWindow, kRxFormatChoice);
        for (const char* item : {"手动 Format", "手动 NTFS", "手动 FAT32", "跳过 None"})
            ui.AddItem(kImagexRestoreWindow, kRxFormatChoice, item);
        ui.SetSelection(kImagexRestoreWindow, kRxFormatChoice, 3);
    }
    for (const std::string& root : ListDriveRoots(sys, 0))
        ui.AddItem(kImagexRestoreWindow, kRxBootMode, root);

    const SelectedPartition selected = CurrentSelection(p);
    targetRoot_ = selected.root + "\\";
    targetDisplay_ = selected.display;
    imageOnTarget_ = !image_.empty() && !selected.root.empty() &&
                     SameDriveLetter(DriveHoldingImage(p.state, image_), selected.root[0]);
    targetDiskBootPartition_ = BootPartitionOfDisk(p, DiskNumberOf(sys, selected.root));
    firstWindowsDrive_ = FirstWindowsDrive(p);

    const std::string imageText = image_.size() <= 30 ? image_ : FileNameOf(image_);
    ui.SetText(kImagexRestoreWindow, kRxConfirmLine,
               "确定还原 " + imageText + " 到分区 " + targetDisplay_ + " ？");
    ui.ShowWindow(kImagexRestoreWindow, true);

    LoadWimVolumes();
    if (closed_) return;

    const int count = ui.ItemCount(kImagexRestoreWindow, kRxVolumeList);
    if (count > 0) ui.SetSelection(kImagexRestoreWindow, kRxVolumeList, count - 1);
    p.console.StartConsole(std::string(), std::string());
    p.state.jobRunning = true;
    if (imageOnTarget_) {
        ui.SetSelection(kImagexRestoreWindow, kRxFormatChoice, 3);
        ui.SetEnabled(kImagexRestoreWindow, kRxFormatChoice, false);
    }
    if (count > 0) volume_ = ui.GetSelection(kImagexRestoreWindow, kRxVolumeList) + 1;
}

void ImagexRestoreWindow::LoadWimVolumes() {
    Program& p = program_;
    Ui& ui = p.ui;
    ui.ClearItems(kImagexRestoreWindow, kRxVolumeList);
    const std::string integrity = p.ui.IsChecked(kMainWindow, kIntegrityOption) ? " /check" : "";
    const std::string line = ImagexInfoLine(p.state.imagexExePath, integrity, image_);
    const std::string info = p.sys.AnsiFromUtf8(RunConsoleCommand(p, line).output);
    for (const std::string& entry : VolumeEntries(info))
        ui.AddItem(kImagexRestoreWindow, kRxVolumeList, entry);

    if (ui.ItemCount(kImagexRestoreWindow, kRxVolumeList) > 0) {
        ShowBalloon(p, "提示", "加载分卷信息完成！", 1, 0);
        ui.SetSelection(kImagexRestoreWindow, kRxVolumeList, 0);
        return;
    }
    if (!integrity.empty()) {
        ShowBalloon(p, "文件校验未通过", "您选择WIM映像文件可能损坏！", 1, 0);
        Tell(p, "文件校验未通过，您选择的WIM映像文件可能损坏！", kMbIconError);
        // Nothing can be applied from a file that failed its check.
        volume_ = 0;
        ui.SetEnabled(kImagexRestoreWindow, kRxStart, false);
        return;
    }
    ShowBalloon(p, "提示", "加载系统版本出现错误！", 1, 0);
    if (Ask(p,
            "未检测到卷信息，无法正常还原。\r\n选择\"是(Y)\"将还原WIM映像文件中的卷 1 "
            "，选择\"否(N)\"将停止还原。")) {
        volume_ = 1;
        return;
    }
    Close();
}

void ImagexRestoreWindow::OnControl(int, int control) {
    if (closed_) return;
    switch (control) {
        case kRxStart:
            return OnStartApply();
        case kRxCancel:
            return OnCancelApply();
        case kRxPause:
            return OnPauseApply();
        case kRxFormatChoice:
            return OnFormatChoice();
        case kRxUnattendOption:
            return OnUnattendOption();
        case kRxBrowse:
            return ChooseUnattendFile();
        case kRxAddBoot:
            program_.ui.SetEnabled(kImagexRestoreWindow, kRxBootMode,
                                   program_.ui.IsChecked(kImagexRestoreWindow, kRxAddBoot));
            return;
        case kRxVolumeList:
            volume_ = program_.ui.GetSelection(kImagexRestoreWindow, kRxVolumeList) + 1;
            return;
        default:
            return;
    }
}

void ImagexRestoreWindow::OnTimer(int, int timer) {
    if (closed_) return;
    if (timer == kRxProgressTimer) {
        const ImagexProgress progress = view_.ShowProgress("% ] Applying", false);
        lastPercent_ = progress.percent;
        lastRemaining_ = progress.remaining;
    }
    if (timer == kRxElapsedTimer) view_.TickElapsed();
    if (timer == kRxDoneTimer) CheckApplyDone();
}

void ImagexRestoreWindow::OnClose(int) {
    if (!closed_) OnCancelApply();
}

void ImagexRestoreWindow::OnDestroy(int) {
    if (closed_) return;
    closed_ = true;
    program_.console.StopConsole();
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
}

void ImagexRestoreWindow::OnStartApply() {
    Program& p = program_;
    Ui& ui = p.ui;
    if (ui.IsChecked(kImagexRestoreWindow, kRxUnattendOption)) {
        const std::string path = ui.GetText(kImagexRestoreWindow, kRxUnattendPath);
        if (path.empty()) {
            ShowBalloon(p, "提示", "未选择无人值守安装文件。", 1, 0);
            return Tell(p, "未选择无人值守安装文件。", kMbIconWarning);
        }
        if (!p.sys.PathFileExists(path)) {
            ShowBalloon(p, "提示", "无人值守安装文件不存在。", 1, 0);
            return Tell(p, "无人值守安装文件不存在。", kMbIconError);
        }
    }
    if (volume_ < 1) return Tell(p, "未检测到卷信息，无法正常还原。", kMbIconWarning);
    const std::string exeName = EngineFileName(p.state.imagexExePath);
    if (const unsigned other = FindProcessNamed(p.sys, exeName)) {
        if (!Ask(p,
                 "检测到有其他Imagex.exe正在运行，是否终止？\r\n注意：如果不终止其他Imagex."
                 "exe，可能会影响Imagex还原。"))
            return;
        p.sys.TerminateProcessById(other, 1);
    }
    // The boot device is the one chosen now, whatever changes while ImageX runs.
    const int mode = ui.GetSelection(kImagexRestoreWindow, kRxBootMode);
    bootDevice_ =
        BootDeviceFor(mode, targetDiskBootPartition_, firstWindowsDrive_,
                      mode >= 0 ? ui.ItemText(kImagexRestoreWindow, kRxBootMode, mode) : "");
    const int choice = ui.GetSelection(kImagexRestoreWindow, kRxFormatChoice);
    if (Is64BitWindows(p.sys)) {
        Format64(choice);
    } else {
        if (choice != 3 &&
            !AskInformation(p, "本操作将格式化 " + targetDisplay_ + " 的数据，是否继续？"))
            return;
        if (!Format32(choice)) return;
    }
    Apply();
}

bool ImagexRestoreWindow::Format32(int choice) {
    Program& p = program_;
    Lock();
    if (choice == 3) return true;
    const std::string formatting = "正在格式化 " + targetDisplay_ + "，请稍候....";
    ShowBalloon(p, "提示", formatting, 1, 0);
    SetStatus(formatting);
    bool done;
    if (choice == 0)
        done = p.sys.FormatDriveDialog(UpperAscii(targetRoot_.substr(0, 1))[0] - 'A', 1) == 0;
    else
        done = FormatVolumeQuick(p.sys, targetRoot_, choice == 2 ? "FAT32" : "NTFS");
    if (done) return true;
    Unlock(true);
    SetStatus("格式化 " + targetDisplay_ + " 失败！");
    const std::string retry = "格式化 " + targetDisplay_ + " 失败，请重试！";
    ShowBalloon(p, "提示", retry, 1, 0);
    SetStatus(retry);
    Tell(p, retry, kMbIconError);
    return false;
}

void ImagexRestoreWindow::Format64(int choice) {
    Program& p = program_;
    Sys& sys = p.sys;
    // The query appends to the text it is given: it works on a copy, the target root
    // stays as it is for the script, the apply and the boot files.
    std::string queried = targetRoot_;
    const std::string label = QueryVolumeLabel(sys, queried);
    const std::string labelLine = label.empty() ? ""
                                                : "echo 提示：驱动器 " + targetRoot_ +
                                                      " 的卷标名为[" + EscapeForEcho(label) + "]";
    Lock();
    if (choice == 3 || choice < 0) return;
    ShowBalloon(p, "提示", "正在格式化 " + targetDisplay_ + "，请手动完成格式化操作。", 1, 0);
    SetStatus("正在格式化 " + targetDisplay_ + "，请稍候....");
    const std::string script = WindowsDirectory(sys).substr(0, 3) + "\\temp.CMD";
    const std::string switches =
        choice == 2 ? "/FS:fat32  /V:本地磁盘 /Q" : "/FS:NTFS /V:本地磁盘 /Q";
    const std::string text = "@echo off \r\ntitle 岚舟软件格式化磁盘命令行 - [格式化" +
                             targetRoot_ + "]\r\necho 注意：格式化操作将删除[" + targetRoot_ +
                             "]的全部数据，请谨慎操作。\r\n" + labelLine + "\r\nformat " +
                             targetRoot_.substr(0, 2) + switches;
    sys.DeleteFile(script);
    sys.WriteWholeFile(script, text.data(), text.size());
    sys.RunProgramAndWait("cmd.exe /c \"" + script + "\"");
}

void ImagexRestoreWindow::Apply() {
    Program& p = program_;
    Ui& ui = p.ui;
    lastPercent_.clear();
    lastRemaining_.clear();
    ui.SetText(kImagexRestoreWindow, kRxElapsed, "已用时间：00:00:00");
    rememberedImage_ = image_;
    const std::string line = ImagexApplyLine(p.state.imagexExePath, image_, volume_, targetRoot_);
    // The box is cleared and pointed at before the line goes in, so nothing is lost.
    p.console.StartConsole(std::string(), std::string());
    p.console.AttachConsoleOutput(kImagexRestoreWindow, kRxOutput);
    p.console.SendConsoleLine(line);
    watch_.Begin(EngineFileName(p.state.imagexExePath));

    ShowBalloon(p, "提示", kApplying, 1, 0);
    SetStatus(kApplying);
    view_.SetStatusRunning(true);
    view_.SetCancelStops(true);
    ui.SetEnabled(kImagexRestoreWindow, kRxCancel, true);
    ui.SetText(kImagexRestoreWindow, kRxRemaining, kCalculating);
    ui.SetText(kImagexRestoreWindow, kRxPercent, "  0%");
    view_.StartJob();
    for (int shown : {kRxElapsed, kRxRemaining, kRxPercent, kRxPause})
        ui.SetVisible(kImagexRestoreWindow, shown, true);
    ui.SetVisible(kImagexRestoreWindow, kRxStart, false);
    for (int locked : {kRxVolumeList, kRxFormatChoice, kRxBootMode, kRxAddBoot})
        ui.SetEnabled(kImagexRestoreWindow, locked, false);
    p.state.jobRunning = true;
    cancelled_ = false;
}

void ImagexRestoreWindow::OnPauseApply() {
    view_.OnPause(watch_, "用户暂停Imagex应用映像到磁盘。", kApplying);
}

void ImagexRestoreWindow::OnCancelApply() {
    Program& p = program_;
    if (watch_.Active()) {
        // While a job is active, stop means stop ImageX; the completion check ends the job.
        if (!Ask(p, "Imagex正在还原，是否终止？")) return;
        cancelled_ = true;
        watch_.Stop(p);
        ShowBalloon(p, "提示", "用户取消Imagex还原。", 1, 0);
        return;
    }
    p.state.jobRunning = false;
    p.ui.KillTimer(kImagexRestoreWindow, kRxDoneTimer);
    Close();
}

void ImagexRestoreWindow::OnFormatChoice() {
    Ui& ui = program_.ui;
    if (imageOnTarget_ && ui.GetSelection(kImagexRestoreWindow, kRxFormatChoice) != 3) {
        Tell(program_, "需还原的WIM映像所在路径与将还原的分区相同，不可格式化！", kMbIconWarning);
        ui.SetSelection(kImagexRestoreWindow, kRxFormatChoice, 3);
    }
}

void ImagexRestoreWindow::OnUnattendOption() {
    Ui& ui = program_.ui;
    const bool ticked = ui.IsChecked(kImagexRestoreWindow, kRxUnattendOption);
    ui.SetEnabled(kImagexRestoreWindow, kRxUnattendPath, ticked);
    ui.SetEnabled(kImagexRestoreWindow, kRxBrowse, ticked);
}

void ImagexRestoreWindow::ChooseUnattendFile() {
    Program& p = program_;
    const std::string path = p.ui.OpenFileDialog(kImagexRestoreWindow, "选择无人值守文件",
                                                 "Windows无人值守安装文件(*.XML)|*.XML", "");
    if (path.empty()) return;
    if (Ask(p,
            "请确认当前选择的无人值守安装文件是否适合当前需安装的系统？\r\n注意：非原版Windows安装"
            "映像使用无人值守安装文件可能导致安装失败。"))
        p.ui.SetText(kImagexRestoreWindow, kRxUnattendPath, path);
}

void ImagexRestoreWindow::CheckApplyDone() {
    Program& p = program_;
    Ui& ui = p.ui;
    const std::string output = ui.GetText(kImagexRestoreWindow, kRxOutput);
    if (!watch_.Over(p, output.size(), OutputReportsSuccess(output, "Successfully"))) return;

    view_.StopTimers();
    ui.SetVisible(kImagexRestoreWindow, kRxPause, false);
    OnUnattendOption();
    ui.SetEnabled(kImagexRestoreWindow, kRxUnattendOption, true);
    if (Is64BitWindows(p.sys)) {
        ui.SetSelection(kImagexRestoreWindow, kRxFormatChoice, 3);
        ui.SetEnabled(kImagexRestoreWindow, kRxFormatChoice, false);
    }
    ui.SetText(kImagexRestoreWindow, kRxRemaining, "剩余时间：00:00:00");

    if (cancelled_) return BackToIdle("用户取消Imagex应用映像到磁盘。");
    if (!OutputReportsSuccess(ui.GetText(kImagexRestoreWindow, kRxOutput), "Successfully"))
        return BackToIdle("Imagex应用映像到磁盘失败！");

    auto status = [this](const std::string& text) { SetStatus(text); };
    if (ui.IsChecked(kImagexRestoreWindow, kRxAddBoot)) {
        ShowBalloon(p, "提示", "正在添加引导文件，请稍后......", 1, 0);
        ui.SetEnabled(kImagexRestoreWindow, kRxCancel, false);
        AddBootFiles(p, BootFilesJob{targetRoot_, bootDevice_, status});
    }
    if (ui.IsChecked(kImagexRestoreWindow, kRxUnattendOption))
        AddUnattendFile(p, targetRoot_, ui.GetText(kImagexRestoreWindow, kRxUnattendPath), status);
    OnUnattendOption();

    Unlock(false);
    ui.SetVisible(kImagexRestoreWindow, kRxStart, true);
    view_.SetCancelStops(false);
    view_.SetStatusRunning(false);
    p.state.jobRunning = false;
    const std::string done = "Imagex应用映像到磁盘完成！";
    SetStatus(done);
    ShowBalloon(p, "提示", done, 1, 0);
    if (!StartCompletionActionIfChosen(p, FinishedJob::Restore)) {
        const int index = ui.GetSelection(kImagexRestoreWindow, kRxVolumeList);
        const std::string entry =
            index >= 0 ? ui.ItemText(kImagexRestoreWindow, kRxVolumeList, index) : "";
        Tell(p,
             done + "\r\n映像名称：" + FileNameOf(rememberedImage_) + "\r\n分卷编号：" +
                 std::to_string(volume_) + "\r\n分卷名称：" +
                 (entry.size() > 3 ? entry.substr(3) : "") + "\r\n安装分区：" + targetDisplay_,
             kMbIconInformation);
    }
    Close();
}

void ImagexRestoreWindow::BackToIdle(const std::string& text) {
    Program& p = program_;
    Ui& ui = p.ui;
    ShowBalloon(p, "提示", text, 1, 0);
    SetStatus(text);
    ui.SetText(kImagexRestoreWindow, kRxPercent, "  0%");
    ui.SetText(kImagexRestoreWindow, kRxElapsed, "已用时间：00:00:00");
    ui.SetProgress(kImagexRestoreWindow, kRxProgressBar, 0);
    Unlock(false);
    ui.SetVisible(kImagexRestoreWindow, kRxStart, true);
    view_.SetCancelStops(false);
    p.state.jobRunning = false;
    view_.SetStatusRunning(false);
    Tell(p, text, kMbIconError);
}

void ImagexRestoreWindow::Lock() {
    Ui& ui = program_.ui;
    for (int control : {kRxVolumeList, kRxFormatChoice, kRxBootMode, kRxAddBoot, kRxCancel,
                        kRxStart, kRxUnattendPath, kRxBrowse, kRxUnattendOption})
        ui.SetEnabled(kImagexRestoreWindow, control, false);
}

void ImagexRestoreWindow::Unlock(bool formatChoiceToo) {
    Ui& ui = program_.ui;
    for (int control : {kRxVolumeList, kRxAddBoot, kRxCancel, kRxStart, kRxUnattendOption})
        ui.SetEnabled(kImagexRestoreWindow, control, true);
    // The format choice stays fixed on "跳过 None" when the image lies on the target.
    if (formatChoiceToo) ui.SetEnabled(kImagexRestoreWindow, kRxFormatChoice, !imageOnTarget_);
    ui.SetEnabled(kImagexRestoreWindow, kRxBootMode,
                  ui.IsChecked(kImagexRestoreWindow, kRxAddBoot));
    OnUnattendOption();
}

void ImagexRestoreWindow::Close() {
    if (closed_) return;
    closed_ = true;
    program_.console.StopConsole();
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
    program_.ui.DestroyWindow(kImagexRestoreWindow);
}
