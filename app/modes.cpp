#include "app/modes.h"

#include "app/console.h"
#include "app/main_window.h"
#include "app/text_util.h"
#include "disk/partition_list.h"

namespace {

void Show(Ui& ui, int control, bool shown) { ui.SetVisible(kMainWindow, control, shown); }
void Enable(Ui& ui, int control, bool enabled) { ui.SetEnabled(kMainWindow, control, enabled); }

void MoveTop(Ui& ui, int control, int top, int height = -1) {
    Rect r = ui.GetRect(kMainWindow, control);
    r.top = top;
    if (height >= 0) r.height = height;
    ui.SetRect(kMainWindow, control, r);
}

void ClearCopySelection(Program& program) {
    ProgramState& s = program.state;
    s.copySourceRoot.clear();
    s.copySourceDiskPartition.clear();
    s.copyTargetRoot.clear();
    s.copyTargetDiskPartition.clear();
    program.ui.SetText(kMainWindow, kTargetLabel, "请选择目标分区： 未选择");
}

// What restore and backup have in common.
void SetImageModeCommon(Program& program, const std::string& prompt) {
    Ui& ui = program.ui;
    MoveTop(ui, kPromptLabel, 40);
    MoveTop(ui, kPartitionList, 96, 100);
    Enable(ui, kCollapseButton, true);
    Show(ui, kTargetList, false);
    Show(ui, kTargetLabel, false);
    for (int control : {kPictureBox3, kImagePathBox, kBrowseButton, kOptionsTitle})
        Show(ui, control, true);
    ClearCopySelection(program);
    ui.SetText(kMainWindow, kPromptLabel, prompt);

    for (int control : {kNoIdeOption, kPasswordOption, kCustomEnginesOption})
        Enable(ui, control, true);
    ui.SetChecked(kMainWindow, kPasswordOption, false);
    program.state.passwordSwitch.clear();
    ui.SetText(kMainWindow, kPasswordBox, "");
    Enable(ui, kPasswordBox, false);
    Enable(ui, kSplitSizeBox, true);
    Enable(ui, kCompressionBox, true);
    Enable(ui, kBrowseButton, true);
}

}  // namespace

void SetRestoreMode(Program& program) {
    Ui& ui = program.ui;
    if (!ui.IsChecked(kMainWindow, kRestoreMode)) return;
    SetImageModeCommon(program, "请选择Gho、ISO、WIM映像文件：");
    ui.SetColumnHeader(kMainWindow, kPartitionList, 0, "还原");
    Show(ui, kImagePathBox, true);
    Enable(ui, kImagePathBox, true);
    Show(ui, kSavePathBox, false);
    ui.SetPicture(kMainWindow, kBrowseButton, "browse_open");
    Show(ui, kBackupFormatLabel, false);
    Show(ui, kBackupFormatBox, false);
    Show(ui, kSplitSizeBox, false);
    Show(ui, kCompressionBox, false);
    Show(ui, kCrcOption, true);
    Enable(ui, kCrcOption, true);
    Enable(ui, kIntegrityOption, true);
}

void SetBackupMode(Program& program) {
    Ui& ui = program.ui;
    if (!ui.IsChecked(kMainWindow, kBackupMode)) return;
    SetImageModeCommon(program, "请保存Gho、WIM映像文件：");
    ui.SetColumnHeader(kMainWindow, kPartitionList, 0, "备份");
    Show(ui, kImagePathBox, false);
    Show(ui, kSavePathBox, true);
    Enable(ui, kSavePathBox, true);
    ui.SetPicture(kMainWindow, kBrowseButton, "browse_save");
    Show(ui, kBackupFormatLabel, true);
    Show(ui, kBackupFormatBox, true);
    Show(ui, kSplitSizeBox, true);
    Show(ui, kCompressionBox, true);
    Show(ui, kCrcOption, false);
    Enable(ui, kIntegrityOption, false);
}

void SetCopyMode(Program& program) {
    Ui& ui = program.ui;
    if (!ui.IsChecked(kMainWindow, kCopyMode)) return;
    ClearCopySelection(program);
    ui.SetText(kMainWindow, kPromptLabel, "请选择源分区： 未选择");
    for (int control : {kImagePathBox, kSavePathBox, kBrowseButton, kBackupFormatLabel,
                        kBackupFormatBox, kOptionsTitle, kPictureBox3})
        Show(ui, control, false);
    Show(ui, kTargetList, true);
    Show(ui, kTargetLabel, true);
    SetExpandedLayout(program);
    Enable(ui, kCollapseButton, false);
    MoveTop(ui, kPartitionList, 64, 116);
    MoveTop(ui, kTargetList, 210, 116);
    MoveTop(ui, kTargetLabel, 188);
    CopyPartitionRows(program);
}

static void SetLocked(Program& program, bool locked) {
    Ui& ui = program.ui;
    const int pairs[][2] = {
        {kExitButton, kStartButton},          {kBrowseButton, kCollapseButton},
        {kImageSearchButton, kBackupFormatBox}, {kExpandButton, kManualGhostOption},
        {kNoIdeOption, kPasswordOption},      {kCustomEnginesOption, kRestartOption},
        {kCrcOption, kShutdownOption},        {kImagePathBox, kSavePathBox},
        {kSplitSizeBox, kCompressionBox},     {kUnnamedCombo4, kRestoreMode},
        {kBackupMode, kCopyMode},             {kSearchDepthBox, kCloseButton},
        {kMenuButton, kMinimiseButton},       {kPartitionList, kImageList},
    };
    for (const auto& pair : pairs) {
        Enable(ui, pair[0], !locked);
        Enable(ui, pair[1], !locked);
    }
    Enable(ui, kRefreshLabel, !locked);
    program.state.trayIconEnabled = !locked;
    Enable(ui, kTargetList, !locked);
}

void LockMainWindow(Program& program) { SetLocked(program, true); }
void UnlockMainWindow(Program& program) { SetLocked(program, false); }

void OnRestartOptionClicked(Program& program) {
    Ui& ui = program.ui;
    if (ui.IsChecked(kMainWindow, kRestartOption)) {
        ui.SetChecked(kMainWindow, kShutdownOption, false);
        ui.CheckMenuItem(kMainWindow, kMenuAutoRestart, true);
        ui.CheckMenuItem(kMainWindow, kMenuAutoShutdown, false);
    } else {
        ui.CheckMenuItem(kMainWindow, kMenuAutoRestart, false);
    }
}

void OnShutdownOptionClicked(Program& program) {
    Ui& ui = program.ui;
    if (ui.IsChecked(kMainWindow, kShutdownOption)) {
        ui.SetChecked(kMainWindow, kRestartOption, false);
        ui.CheckMenuItem(kMainWindow, kMenuAutoShutdown, true);
        ui.CheckMenuItem(kMainWindow, kMenuAutoRestart, false);
    } else {
        ui.CheckMenuItem(kMainWindow, kMenuAutoShutdown, false);
    }
}

static void ToggleFromMenu(Program& program, int item, int option, int otherItem, int otherOption) {
    Ui& ui = program.ui;
    if (ui.IsMenuItemChecked(kMainWindow, item)) {
        ui.CheckMenuItem(kMainWindow, item, false);
        ui.SetChecked(kMainWindow, option, false);
        return;
    }
    ui.CheckMenuItem(kMainWindow, item, true);
    ui.SetChecked(kMainWindow, option, true);
    ui.CheckMenuItem(kMainWindow, otherItem, false);
    ui.SetChecked(kMainWindow, otherOption, false);
}

void OnAutoRestartMenu(Program& program) {
    ToggleFromMenu(program, kMenuAutoRestart, kRestartOption, kMenuAutoShutdown, kShutdownOption);
}

void OnAutoShutdownMenu(Program& program) {
    ToggleFromMenu(program, kMenuAutoShutdown, kShutdownOption, kMenuAutoRestart, kRestartOption);
}

void OnBackupFormatChanged(Program& program) {
    Ui& ui = program.ui;
    const std::string path = ui.GetText(kMainWindow, kSavePathBox);
    if (path.empty()) return;
    const std::string extension = PathExtension(path);
    const std::string stem = path.substr(0, path.size() - extension.size());
    const int format = ui.GetSelection(kMainWindow, kBackupFormatBox);
    if (format != 0 && format != 1) return;
    ui.SetText(kMainWindow, kSavePathBox, stem + (format == 0 ? ".GHO" : ".WIM"));
}

void OnManualGhostOptionClicked(Program& program) {
    Ui& ui = program.ui;
    if (!ui.IsChecked(kMainWindow, kManualGhostOption)) {
        ui.SetChecked(kMainWindow, kManualGhostOption, true);
        ui.MessageBox(ui.OwnProcessWindow(), "请先退出 Ghost32 主程序！", "提示", kMbIconWarning);
        return;
    }
    if (!program.sys.PathFileExists(program.state.ghostExePath)) {
        // Cleared again here: a box that cannot be cleared by hand must not stay ticked
        // for an engine that never ran.
        ui.SetChecked(kMainWindow, kManualGhostOption, false);
        ui.MessageBox(ui.OwnProcessWindow(),
                      "出现错误，支持库写入失败，可能被安全软件拦截，请重启本程序！", "提示",
                      kMbIconError);
        return;
    }
    program.state.jobRunning = true;
    RunConsoleCommand(program, program.state.ghostExePath);
    ui.SetChecked(kMainWindow, kManualGhostOption, false);
    program.state.jobRunning = false;
}
