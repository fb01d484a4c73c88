#include "tools/small_windows.h"

#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/window_lock.h"
#include "disk/selection.h"

const char kMakerPage[] = "http://www.lanzhou-soft.example/";

// --- volume label ---------------------------------------------------------------------

void VolumeLabelDialog::Open() {
    using K = ControlKind;
    WindowDesc w = SmallWindowDesc(kVolumeLabelWindow, "重命名卷", 300, 150);
    w.controls = {
        MakeControl(kVolumeLabelTitle, K::Label, "重命名卷", {12, 8, 200, 18}),
        MakeControl(kVolumeLabelOld, K::Label, "原卷标：", {20, 40, 260, 18}),
        MakeControl(kVolumeLabelNewCaption, K::Label, "新卷标：", {20, 72, 60, 18}),
        MakeControl(kVolumeLabelNew, K::Edit, "", {84, 70, 190, 20}),
        WithPicture(MakeControl(kVolumeLabelApply, K::PictureButton, "", {110, 108, 80, 28}),
                    "button"),
        WithPicture(MakeControl(kVolumeLabelClose, K::PictureButton, "", {200, 108, 80, 28}),
                    "button"),
    };
    program_.ui.CreateWindowFrom(w, this);
    ShowOldVolumeLabel();
    ShowOverMainWindow(program_, w.id);
}

void VolumeLabelDialog::ShowOldVolumeLabel() {
    const std::string& root = CurrentSelection(program_).root;
    std::string label, fileSystem;
    if (root.empty() ||
        !program_.sys.GetVolumeInformation(root.substr(0, 1) + ":\\", &label, &fileSystem))
        label.clear();
    program_.state.oldVolumeLabel = label;
    program_.ui.SetText(kVolumeLabelWindow, kVolumeLabelOld,
                        label.empty() ? std::string("原卷标： 无") : "原卷标： " + label);
}

void VolumeLabelDialog::ApplyVolumeLabel() {
    const SelectedPartition& selected = CurrentSelection(program_);
    const std::string root = selected.root.substr(0, 1) + ":\\";
    const std::string label = program_.ui.GetText(kVolumeLabelWindow, kVolumeLabelNew);
    if (!selected.root.empty() && program_.sys.SetVolumeLabel(root, label))
        Tell(program_, "更改 " + selected.display + " 的卷标成功！", kMbIconInformation);
    else
        Tell(program_, "更改 " + selected.display + " 的卷标失败！", kMbIconError);
}

void VolumeLabelDialog::OnControl(int, int control) {
    if (control == kVolumeLabelApply) ApplyVolumeLabel();
    if (control == kVolumeLabelClose) Close();
}

void OpenVolumeLabelDialog(Program& program) {
    OpenWindow<VolumeLabelDialog>(program)->Open();
}

// --- About ----------------------------------------------------------------------------

void AboutWindow::Open() {
    using K = ControlKind;
    WindowDesc w = SmallWindowDesc(kAboutWindow, "关于", 420, 260);
    w.controls = {
        MakeControl(kAboutTitle, K::Label, "关于", {12, 8, 200, 18}),
        MakeControl(kAboutProduct, K::Label, "岚舟软件星桥装机台", {20, 40, 380, 18}),
        MakeControl(kAboutWelcome, K::Label, "欢迎使用 岚舟软件星桥装机台", {20, 64, 380, 18}),
        MakeControl(
            kAboutDescription, K::Label,
            "岚舟软件星桥装机台是一款强大的系统装机工具，支持安装WinXP-Win10，智能识别Windows"
            "安装文件并用最佳的装机方案。新手无需任何装机知识即可完成装机。",
            {20, 88, 380, 60}),
        MakeControl(kAboutContact, K::Label, "技术支持：岚舟软件", {20, 156, 380, 18}),
        MakeControl(kAboutNotice, K::Label, "岚舟软件 版权所有", {20, 180, 380, 18}),
        WithPicture(MakeControl(kAboutClose, K::PictureButton, "", {320, 216, 80, 28}), "button"),
    };
    program_.ui.CreateWindowFrom(w, this);
    ShowOverMainWindow(program_, w.id);
}

void AboutWindow::OnControl(int, int control) {
    if (control == kAboutClose) Close();
}

void OpenAboutWindow(Program& program) {
    OpenWindow<AboutWindow>(program)->Open();
}

void OpenMakerPage(Program& program) {
    program.sys.ShellOpen(kMakerPage);
}
