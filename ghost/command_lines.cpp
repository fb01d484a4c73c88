#include "ghost/command_lines.h"

#include <cstdlib>

#include "base/ids/main_window.h"
#include "disk/selection.h"

void OnCrcOptionChanged(Program& program) {
    program.state.crcIgnoreSwitch =
        program.ui.IsChecked(kMainWindow, kCrcOption) ? " -crcignore " : "";
}

void OnNoIdeOptionChanged(Program& program) {
    program.state.noIdeSwitch = program.ui.IsChecked(kMainWindow, kNoIdeOption) ? " -noide" : "";
}

void OnCompressionChanged(Program& program) {
    ProgramState& s = program.state;
    switch (program.ui.GetSelection(kMainWindow, kCompressionBox)) {
        case 0:
            s.ghostCompressionSwitch = " -z1";
            s.imagexCompressionText = " /compress none";
            break;
        case 1:
            s.ghostCompressionSwitch = " -z2";
            s.imagexCompressionText = " /compress Fast";
            break;
        case 2:
            // ImageX has no middle level: its text stays as it was.
            s.ghostCompressionSwitch = " -z5";
            break;
        default:
            s.ghostCompressionSwitch = " -z9";
            s.imagexCompressionText = " /compress Maximum";
            break;
    }
}

void OnPasswordOptionChanged(Program& program) {
    Ui& ui = program.ui;
    const bool checked = ui.IsChecked(kMainWindow, kPasswordOption);
    program.state.passwordSwitch = checked ? " -pwd=" : "";
    if (!checked) ui.SetText(kMainWindow, kPasswordBox, "");
    ui.SetEnabled(kMainWindow, kPasswordBox, checked);
}

std::string SplitSwitchFor(const std::string& splitText) {
    if (splitText == "不分卷") return std::string();
    if (splitText == "自动检测") return " -span";
    std::string size = splitText;
    if (size == "650 MB" || size == "1950 MB" || size == "3950 MB")
        size = size.substr(0, size.find(' '));
    return " -span  -split=" + size + " -auto";
}

bool IsAcceptableSplitText(const std::string& splitText) {
    for (const char* item : {"不分卷", "650 MB", "1950 MB", "3950 MB", "自动检测"})
        if (splitText == item) return true;
    if (splitText.empty() || splitText.size() > 7) return false;
    for (char c : splitText)
        if (c < '0' || c > '9') return false;
    const long megabytes = std::strtol(splitText.c_str(), nullptr, 10);
    return megabytes >= kMinSplitMegabytes && megabytes <= kMaxSplitMegabytes;
}

GhostLineInputs LineInputsFrom(Program& program, const std::string& imagePath) {
    const ProgramState& s = program.state;
    GhostLineInputs in;
    in.ghostExePath = s.ghostExePath;
    in.diskPartition = CurrentSelection(program).diskPartition;
    in.imagePath = imagePath;
    in.password = program.ui.GetText(kMainWindow, kPasswordBox);
    in.crcIgnoreSwitch = s.crcIgnoreSwitch;
    in.noIdeSwitch = s.noIdeSwitch;
    in.ghostCompressionSwitch = s.ghostCompressionSwitch;
    in.splitSwitch = s.splitSwitch;
    in.passwordSwitch = s.passwordSwitch;
    return in;
}

std::string GhostBackupLine(const GhostLineInputs& in) {
    return in.ghostExePath + " -clone,mode=pdump,src=" + in.diskPartition + ",dst=\"" +
           in.imagePath + "\"" + in.ghostCompressionSwitch + in.splitSwitch + in.noIdeSwitch +
           in.passwordSwitch + in.password + " -sure -fx";
}

std::string GhostRestoreLine(const GhostLineInputs& in) {
    return in.ghostExePath + " -clone,mode=pload,src=\"" + in.imagePath +
           "\":1,dst=" + in.diskPartition + in.crcIgnoreSwitch + in.noIdeSwitch +
           in.passwordSwitch + in.password + " -sure  -fx";
}

std::string GhostCopyLine(const std::string& ghostExePath, const std::string& source,
                          const std::string& target) {
    return ghostExePath + " -clone,mode=pcopy,src=" + source + ",dst=" + target + "  -sure -fx";
}

std::string GhostCheckLine(const std::string& ghostExePath, const std::string& imagePath) {
    return ghostExePath + "   -CHKIMG," + imagePath + " -sure  -fx -BATCH ";
}

std::string RebootBackupLine(const GhostLineInputs& in, const std::string& dosImagePath) {
    return "Ghost.exe  -clone,mode=pdump,src=" + in.diskPartition + ",dst=\"" + dosImagePath +
           "\"" + in.ghostCompressionSwitch + in.splitSwitch + in.noIdeSwitch + in.passwordSwitch +
           in.password + " -sure -fx \r\nrestart";
}

std::string RebootRestoreLine(const GhostLineInputs& in, const std::string& dosDrive) {
    return "Ghost.exe -clone,mode=pload,src=\"" + dosDrive +
           "\\MorvekOS\\MorvekOS.GHO\":1,dst=" + in.diskPartition + in.crcIgnoreSwitch +
           in.noIdeSwitch + in.passwordSwitch + in.password +
           " -sure  -fx -afile=\"GHOSTERR.TXT\"\r\nrestart";
}

GhostOutcome JudgeGhostOutput(GhostJob job, const std::string& ghostOutput) {
    if (ghostOutput.empty()) return GhostOutcome::Succeeded;
    const bool cancelled =
        job == GhostJob::Backup ? ghostOutput == "^C" : ghostOutput.compare(0, 2, "^C") == 0;
    return cancelled ? GhostOutcome::Cancelled : GhostOutcome::Failed;
}
