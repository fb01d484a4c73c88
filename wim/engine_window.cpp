#include "wim/engine_window.h"

#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/tool_files.h"

struct EngineKind {
    int option, versionLabel;
    std::string ProgramState::*path;
    std::string ProgramState::*bitness;
    std::string (*storedPath)(Sys&);
    std::string (*customPath)(Sys&);  // the engine path after a copy
    std::string (*copyPath)(Sys&);    // where the copy is written
    const char* description;          // the version description, compared in any case
    const char* bit64Text;
    const char* labelHead;
    const char* notChosen;
    const char* dialogTitle;
    const char* dialogFilter;
    const char* notThisEngine;
    const char* bit64OnBit32;
    const char* copyFailed;
    const char* backToStored;
    const char* storedBack;
    // At opening the version label shows the whole version text (else its first 14
    // characters, as after a choice).
    bool wholeVersionOnOpen;
    // The balloon after a successful choice.
    std::string (*chosenBalloon)(const std::string& version14, const std::string& version,
                                 const std::string& bitness);
};

namespace {

constexpr int W = kEngineWindow;

std::string CustomGhostPath(Sys& sys) {
    return SystemDirectory(sys) + "MovrekGhostZDY.exe";
}
std::string GhostCopyPath(Sys& sys) {
    return SystemDirectory(sys) + "\\MovrekGhostZDY.exe";
}
std::string CustomImagexPath(Sys&) {
    return "Imagexmv.exe";
}
std::string ImagexCopyPath(Sys& sys) {
    return SystemDirectory(sys) + "\\Imagexmv.exe";
}

const EngineKind kGhost = {
    kEwGhostOption,
    kEwGhostVersion,
    &ProgramState::ghostExePath,
    &ProgramState::ghostBitnessText,
    StoredGhostPath,
    CustomGhostPath,
    GhostCopyPath,
    "SYMANTEC GHOST",
    " X64/64位 ",
    " Ghost版本：",
    " Ghost版本：未选择",
    "自定义Ghost32",
    "Ghost32主程序(*.exe)|*.exe",
    "您选择的不是 Ghost 程序文件，请重新选择！ ",
    "您选择的 Ghost 主程序是64位程序，不可在32位系统运行，请重新选择！",
    "设置自定义Ghost主程序失败。",
    "是否取消自定义Ghost使用默认Ghost 11.5.1.2266？ ",
    "您恢复了默认Ghost版本:11.5.1.2266",
    true,
    [](const std::string&, const std::string& version, const std::string& bitness) {
        return "您选择的Ghost版本：" + version + bitness;
    },
};

const EngineKind kImagex = {
    kEwImagexOption,
    kEwImagexVersion,
    &ProgramState::imagexExePath,
    &ProgramState::imagexBitnessText,
    StoredImagexPath,
    CustomImagexPath,
    ImagexCopyPath,
    "windows imaging utility",
    " X64/64位",
    "Imagex版本：",
    "Imagex版本：未选择",
    "自定义Imagex",
    "Imagex主程序(*.exe)|*.exe",
    "您选择的不是Imagex程序文件，请重新选择！ ",
    "您选择的Imagex主程序是64位程序，不可在32位系统运行，请重新选择！",
    "设置自定义Imagex主程序失败。",
    "是否取消自定义Imgaex使用默认Imagex 6.2.9200.16384？ ",
    "您恢复了默认Imagex版本:6.2.9200.16384",
    false,
    [](const std::string& version14, const std::string&, const std::string& bitness) {
        return "您选择的Imagex版本：Imagex " + bitness + version14;
    },
};

bool IsCustom(Program& program, const EngineKind& engine) {
    return program.state.*engine.path != engine.storedPath(program.sys);
}

// The file an engine path names: a bare name is the copy in the system directory, where
// the search path finds it.
std::string EngineFile(Sys& sys, const std::string& path) {
    return FindLastBackslash(path) == std::string::npos ? SystemDirectory(sys) + path : path;
}

}  // namespace

bool GhostIsCustom(Program& program) {
    return IsCustom(program, kGhost);
}

bool ImagexIsCustom(Program& program) {
    return IsCustom(program, kImagex);
}

void OpenEngineWindow(Program& program) {
    OpenWindow<EngineWindow>(program)->Open();
}

void EngineWindow::Open() {
    using K = ControlKind;
    WindowDesc w = SmallWindowDesc(W, "自定义Ghost/Imagex", 340, 170);
    w.controls = {
        MakeControl(kEwGhostOption, K::CheckBox, "自定义Ghost32", {20, 20, 140, 20}),
        MakeControl(kEwGhostVersion, K::Label, " Ghost版本：未选择", {20, 44, 300, 20}),
        MakeControl(kEwImagexOption, K::CheckBox, "自定义Imagex", {20, 76, 140, 20}),
        MakeControl(kEwImagexVersion, K::Label, "Imagex版本：未选择", {20, 100, 300, 20}),
        WithPicture(MakeControl(kEwClose, K::PictureButton, "关闭", {240, 130, 80, 28}), "button"),
    };
    program_.ui.CreateWindowFrom(w, this);
    ShowEngine(kGhost);
    ShowEngine(kImagex);
    ShowOverMainWindow(program_, W);
}

void EngineWindow::ShowEngine(const EngineKind& engine) {
    Program& p = program_;
    const bool custom = IsCustom(p, engine);
    p.ui.SetChecked(W, engine.option, custom);
    if (!custom) return;
    const std::string version = p.sys.GetFileVersion(EngineFile(p.sys, p.state.*engine.path));
    p.ui.SetText(W, engine.versionLabel,
                 engine.labelHead + (engine.wholeVersionOnOpen ? version : version.substr(0, 14)) +
                     p.state.*engine.bitness);
}

void EngineWindow::OnControl(int, int control) {
    if (control == kEwGhostOption) OnCustomEngine(kGhost);
    if (control == kEwImagexOption) OnCustomEngine(kImagex);
    if (control == kEwClose) OnEngineWindowClose();
}

void EngineWindow::OnCustomEngine(const EngineKind& engine) {
    Program& p = program_;
    Ui& ui = p.ui;
    Sys& sys = p.sys;
    std::string& enginePath = p.state.*engine.path;
    if (!ui.IsChecked(W, engine.option)) {
        if (!Ask(p, engine.backToStored)) return ui.SetChecked(W, engine.option, true);
        enginePath = engine.storedPath(sys);
        ui.SetText(W, engine.versionLabel, engine.notChosen);
        ShowBalloon(p, "提示", engine.storedBack, 1, 0);
        return;
    }
    const std::string file = ui.OpenFileDialog(W, engine.dialogTitle, engine.dialogFilter, "");
    // Cancelled: the tick shows whether the custom copy is still in use.
    if (file.empty()) return ui.SetChecked(W, engine.option, enginePath == engine.customPath(sys));
    if (!EqualsNoCase(sys.GetFileDescription(file), engine.description)) {
        ui.SetChecked(W, engine.option, false);
        return Tell(p, engine.notThisEngine, kMbIconWarning);
    }
    const bool bit64 = sys.GetBinaryType(file) == kBinary64;
    if (bit64 && !Is64BitWindows(sys)) {
        // Nothing changed: the tick shows the engine in use, as after a cancel.
        ui.SetChecked(W, engine.option, enginePath == engine.customPath(sys));
        return Tell(p, engine.bit64OnBit32, kMbIconError);
    }
    ui.SetChecked(W, engine.option, true);
    if (!sys.CopyFile(file, engine.copyPath(sys))) return Tell(p, engine.copyFailed, kMbIconError);
    // The engine and what is shown of it change only once the copy is there.
    const std::string bitness = bit64 ? engine.bit64Text : " X86/32位";
    p.state.*engine.bitness = bitness;
    enginePath = engine.customPath(sys);
    const std::string version = sys.GetFileVersion(file);
    const std::string version14 = version.substr(0, 14);
    ui.SetText(W, engine.versionLabel, engine.labelHead + version14 + bitness);
    ShowBalloon(p, "提示", engine.chosenBalloon(version14, version, bitness), 1, 0);
}

void EngineWindow::OnEngineWindowClose() {
    program_.ui.SetChecked(kMainWindow, kCustomEnginesOption,
                           GhostIsCustom(program_) || ImagexIsCustom(program_));
    Close();
}
