#include "setup/xp_setup.h"

#include "base/completion.h"
#include "base/console.h"
#include "base/drives.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/format_volume.h"
#include "disk/image_files.h"
#include "disk/selection.h"
#include "setup/xp_lines.h"

namespace {

const char kTitle[] = "安装 WindowsXP";
const char kChoosePartition[] = "请选择要安装Windows的分区！";
const char kNot64BitXp[] = "Windows版本错误，不是原版64位的WindowsXP！";
const char kHostIs32Bit[] = "当前系统为32位系统，不可执行64位WindowsXP的安装程序！";
const char kHardDisk[] = "硬盘驱动器";
const char kPhaseOneFailed[] =
    "WindowsXP安装程序未能完成第一阶段的文件复制，请检查安装文件后重试！";
constexpr int W = kXpSetupWindow;

WindowDesc XpSetupWindowDesc() {
    WindowDesc w;
    w.id = kXpSetupWindow;
    w.caption = kTitle;
    w.width = 420;
    w.height = 290;
    using K = ControlKind;
    ControlDesc format =
        WithItems(MakeControl(kXpFormatChoice, K::ComboList, "", {110, 66, 200, 24}),
                  {"手动 Format", "自动 NTFS", "自动 FAT32", "跳过 None"});
    format.selection = kXpFormatSkip;
    ControlDesc mode = WithItems(MakeControl(kXpModeChoice, K::ComboList, "", {110, 98, 200, 24}),
                                 {"自动安装", "手动安装"});
    mode.selection = kXpAutomatic;
    w.controls = {
        MakeControl(kXpTitle, K::Label, kTitle, {16, 8, 300, 20}),
        MakeControl(kXpQuestion, K::Label, "", {16, 36, 380, 20}),
        MakeControl(kXpFormatLabel, K::Label, "分区格式：", {16, 70, 90, 20}),
        format,
        MakeControl(kXpModeLabel, K::Label, "安装模式：", {16, 102, 90, 20}),
        mode,
        MakeControl(kXpSerialLabel, K::Label, "安装序列号：", {16, 134, 90, 20}),
        MakeControl(kXpSerial, K::Edit, "", {110, 130, 280, 22}),
        MakeControl(kXpHint, K::Label, "点击“确定(&C)”马上安装，点击“取消(&X)”返回程序。",
                    {16, 168, 380, 20}),
        Hidden(MakeControl(kXpStatus, K::Label, "", {16, 236, 380, 20})),
        WithPicture(MakeControl(kXpOk, K::PictureButton, "确定(&C)", {200, 236, 90, 28}), "button"),
        WithPicture(MakeControl(kXpCancel, K::PictureButton, "取消(&X)", {300, 236, 90, 28}),
                    "button"),
    };
    return w;
}

bool IsSetupStub(Sys& sys, const std::string& path) {
    return sys.PathFileExists(path) && IsXpSetupStub(sys, path);
}

bool Is32BitProgram(Sys& sys, const std::string& path) {
    return sys.GetBinaryType(path) == kBinary32;
}

// The name the refusal of a setup folder gives: the ISO file mounted behind the folder's
// letter, else the folder itself.
std::string MediaName(Program& program, const std::string& media) {
    const auto mounted = program.state.isoBehindLetter.find(UpperAscii(media.substr(0, 1)));
    if (mounted != program.state.isoBehindLetter.end() && !mounted->second.empty())
        return FileNameOf(mounted->second);
    return media;
}

// The checks a setup folder and a setup program share, in order; folder adds the test
// that the media path is a directory.
bool TargetChecksPass(Program& program, const std::string& media, bool folder) {
    Sys& sys = program.sys;
    const SelectedPartition& selected = CurrentSelection(program);
    const std::string& root = selected.root;
    const std::string& display = selected.display;
    if (root.empty()) {
        Tell(program, kChoosePartition, kMbIconWarning);
        return false;
    }
    const std::string missing = "选择的分区 " + display + " 不存在！";
    if (!DriveExists(sys, root) || (folder && !sys.IsDirectory(media))) {
        Tell(program, missing, kMbIconError);
        return false;
    }
    if (IsRunningSystemPartition(sys, root)) {
        Tell(program, "桌面环境不支持将原版WindowsXP安装到系统盘，请到WinPE环境操作！",
             kMbIconError);
        return false;
    }
    // e:\i386 lies on E:, and media on a mounted ISO lies on the ISO file's drive:
    // formatting that drive would take the media with it.
    if (SameDriveLetter(media[0], root[0]) ||
        SameDriveLetter(DriveHoldingImage(program.state, media), root[0])) {
        Tell(program, "需安装的分区不可与还原映像文件所在的路径相同！", kMbIconWarning);
        return false;
    }
    if (!ProbeDriveWritable(sys, root)) {
        Tell(program, "选择的分区 " + display + " 写入数据失败，请选择正确的分区！", kMbIconError);
        return false;
    }
    return true;
}

// A target that is no hard disk is asked about.
bool DeviceTypeAccepted(Program& program) {
    const SelectedPartition& selected = CurrentSelection(program);
    if (selected.deviceType.empty()) {
        Tell(program, kChoosePartition, kMbIconWarning);
        return false;
    }
    if (selected.deviceType == kHardDisk) return true;
    return Ask(program, "你选择的 " + selected.display + " 是" + selected.deviceType +
                            "，是否继续？\r\n注意：" + selected.display +
                            " 不是硬盘，如果继续将导致数据丢失！");
}

void OpenXpSetupWindow(Program& program, const std::string& media, int source) {
    program.state.xpSetupSource = source;
    program.state.jobRunning = true;
    OpenWindow<XpSetupWindow>(program, media)->Open();
}

void StartFromFolder(Program& program, const std::string& folder, bool amd64) {
    Sys& sys = program.sys;
    if (!TargetChecksPass(program, folder, true)) return;
    const std::string stub = folder + "\\winnt32.EXE";
    if (!IsSetupStub(sys, stub))
        return Tell(program, MediaName(program, folder) + " 不是原版WindowsXP的ISO镜像！",
                    kMbIconWarning);
    if (amd64) {
        if (Is32BitProgram(sys, stub)) return Tell(program, kNot64BitXp, kMbIconWarning);
        if (!Is64BitWindows(sys)) return Tell(program, kHostIs32Bit, kMbIconWarning);
    }
    if (!DeviceTypeAccepted(program)) return;
    OpenXpSetupWindow(program, folder, amd64 ? kXpFolder64 : kXpFolder32);
}

void StartFromProgram(Program& program, const std::string& setupProgram) {
    Sys& sys = program.sys;
    if (!TargetChecksPass(program, setupProgram, false)) return;
    if (!IsSetupStub(sys, setupProgram))
        return Tell(program, setupProgram + " 不是原版WindowsXP安装程序！", kMbIconWarning);
    int source = kXpProgram32;
    if (!Is32BitProgram(sys, setupProgram)) {
        if (!Is64BitWindows(sys)) return Tell(program, kHostIs32Bit, kMbIconWarning);
        source = kXpProgram64;
    }
    if (!DeviceTypeAccepted(program)) return;
    OpenXpSetupWindow(program, setupProgram, source);
}

}  // namespace

void StartXpSetup(Program& program, const std::string& media) {
    std::string path = media;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    const std::string afterFirst = path.empty() ? "" : UpperAscii(path.substr(1));
    if (afterFirst == ":\\I386") return StartFromFolder(program, path, false);
    if (UpperAscii(PathExtension(path)) == ".EXE") return StartFromProgram(program, path);
    if (afterFirst == ":\\AMD64") return StartFromFolder(program, path, true);
    Tell(program, "本工具支持Gho、ISO、WIM、系统光盘快速装机，请选择正确的文件！", kMbIconWarning);
}

XpSetupWindow::XpSetupWindow(Program& program, const std::string& media)
    : program_(program), media_(media) {}

void XpSetupWindow::Open() {
    Program& p = program_;
    Ui& ui = p.ui;
    const SelectedPartition& selected = CurrentSelection(p);
    targetRoot_ = selected.root;
    targetDisplay_ = selected.display;
    ui.CreateWindowFrom(XpSetupWindowDesc(), this);
    ui.MoveWindow(W, CentredIn(ui.GetWindowRect(W), ui.GetWindowRect(kMainWindow)));
    // The main window waits locked until this one closes.
    LockMainWindow(p);
    if (Is64BitWindows(p.sys)) {
        ui.SetSelection(W, kXpFormatChoice, kXpFormatSkip);
        ui.SetEnabled(W, kXpFormatChoice, false);
    }
    ui.SetText(W, kXpQuestion, "将 WindowsXP 安装到 " + targetDisplay_ + " ？");
    ui.ShowWindow(W, true);
}

void XpSetupWindow::OnControl(int, int control) {
    if (closed_) return;
    Ui& ui = program_.ui;
    switch (control) {
        case kXpModeChoice:
            return ui.SetEnabled(W, kXpSerial, ui.GetSelection(W, kXpModeChoice) == kXpAutomatic);
        case kXpOk:
            return OnOk();
        case kXpCancel:
            if (installing_) return;
            program_.state.jobRunning = false;
            return Close();
        default:
            return;
    }
}

void XpSetupWindow::OnClose(int) {
    if (closed_ || installing_) return;
    program_.state.jobRunning = false;
    Close();
}

void XpSetupWindow::OnDestroy(int) {
    if (closed_) return;
    closed_ = true;
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
}

void XpSetupWindow::OnOk() {
    // A 64-bit Windows never formats here, whatever the box shows.
    const int choice =
        Is64BitWindows(program_.sys) ? kXpFormatSkip : program_.ui.GetSelection(W, kXpFormatChoice);
    if (choice != kXpFormatSkip && choice >= 0 && !Format(choice)) return;
    Install();
}

bool XpSetupWindow::Format(int choice) {
    Program& p = program_;
    p.state.jobRunning = true;
    ShowBalloon(p, "提示", "正在格式化 " + targetDisplay_ + " ，请稍候....", 1, 0);
    EnableControls(false);
    bool done;
    if (choice == kXpFormatManual)
        done = p.sys.FormatDriveDialog(UpperAscii(targetRoot_.substr(0, 1))[0] - 'A', 1) == 0;
    else
        done = FormatVolumeQuick(p.sys, targetRoot_, choice == kXpFormatFat32 ? "FAT32" : "NTFS");
    if (done) return true;
    const std::string failed = "格式化 " + targetDisplay_ + " 失败！";
    ShowBalloon(p, "提示", failed, 1, 0);
    Tell(p, failed, kMbIconError);
    EnableControls(true);
    return false;
}

void XpSetupWindow::Install() {
    Program& p = program_;
    Ui& ui = p.ui;
    installing_ = true;
    p.state.jobRunning = true;
    EnableControls(false);
    ui.SetVisible(W, kXpOk, false);
    ui.SetVisible(W, kXpCancel, false);
    ui.SetVisible(W, kXpStatus, true);
    ui.SetText(W, kXpStatus, "正在安装 WindowsXP 到 " + targetDisplay_ + " ，请稍后....");

    const bool automatic = ui.GetSelection(W, kXpModeChoice) == kXpAutomatic;
    if (automatic && !WriteAnswerFile()) {
        BackToIdle();
        Tell(p, "写入无人值守安装文件 " + targetRoot_ + kXpAnswerFileName + " 失败！",
             kMbIconError);
        return;
    }
    // Folders an earlier attempt left would pass for this run's work.
    p.sys.DeleteDirectoryTree(targetRoot_ + kXpBootFolder);
    p.sys.DeleteDirectoryTree(targetRoot_ + kXpLocalSourceFolder);
    const std::string line = XpSetupLine(p.state.xpSetupSource, automatic, media_, targetRoot_);
    RunConsoleCommand(p, XpLineForInterpreter(line));

    BackToIdle();
    if (!FirstPhaseDone()) {
        ShowBalloon(p, "提示", kPhaseOneFailed, 1, 0);
        Tell(p, kPhaseOneFailed, kMbIconError);
        return;
    }
    if (StartCompletionActionIfChosen(p, FinishedJob::Setup)) return Close();
    if (AskInformation(p, "WindowsXP安装第一阶段完成，是否重启计算机进行第二阶段的安装？"))
        RestartNow(p);
}

bool XpSetupWindow::WriteAnswerFile() {
    Program& p = program_;
    const std::string path = targetRoot_ + kXpAnswerFileName;
    const std::string text = kXpAnswerFileTemplate;
    if (!p.sys.WriteWholeFile(path, text.data(), text.size())) return false;
    std::string serial = p.ui.GetText(W, kXpSerial);
    if (serial.empty()) serial = kXpTemplateProductId;
    return p.sys.WritePrivateProfileString("UserData", "ProductID", serial, path);
}

bool XpSetupWindow::FirstPhaseDone() {
    Sys& sys = program_.sys;
    return sys.IsDirectory(targetRoot_ + kXpBootFolder) &&
           sys.IsDirectory(targetRoot_ + kXpLocalSourceFolder);
}

void XpSetupWindow::EnableControls(bool enabled) {
    Ui& ui = program_.ui;
    ui.SetEnabled(W, kXpFormatChoice, enabled && !Is64BitWindows(program_.sys));
    ui.SetEnabled(W, kXpModeChoice, enabled);
    ui.SetEnabled(W, kXpSerial, enabled && ui.GetSelection(W, kXpModeChoice) == kXpAutomatic);
    ui.SetEnabled(W, kXpOk, enabled);
    ui.SetEnabled(W, kXpCancel, enabled);
}

void XpSetupWindow::BackToIdle() {
    Program& p = program_;
    Ui& ui = p.ui;
    installing_ = false;
    p.state.jobRunning = false;
    ui.SetVisible(W, kXpOk, true);
    ui.SetVisible(W, kXpCancel, true);
    ui.SetVisible(W, kXpStatus, false);
    EnableControls(true);
    ui.SetText(W, kXpTitle, kTitle);
}

void XpSetupWindow::Close() {
    if (closed_) return;
    closed_ = true;
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
    program_.ui.DestroyWindow(W);
}
