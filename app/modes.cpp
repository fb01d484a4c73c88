#include "app/modes.h"

#include <vector>

#include "app/main_window.h"
#include "base/console.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "disk/partition_list.h"

namespace {

void Show(Ui& ui, int control, bool shown) {
    ui.SetVisible(kMainWindow, control, shown);
}
void Enable(Ui& ui, int control, bool enabled) {
    ui.SetEnabled(kMainWindow, control, enabled);
}

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
        Tell(program, "请先退出 Ghost32 主程序！", kMbIconWarning);
        return;
    }
    if (!program.sys.PathFileExists(program.state.ghostExePath)) {
        // Cleared again here: a box that cannot be cleared by hand must not stay ticked
        // for an engine that never ran.
        ui.SetChecked(kMainWindow, kManualGhostOption, false);
        Tell(program, "出现错误，支持库写入失败，可能被安全软件拦截，请重启本程序！", kMbIconError);
        return;
    }
    program.state.jobRunning = true;
    RunConsoleCommand(program, program.state.ghostExePath);
    ui.SetChecked(kMainWindow, kManualGhostOption, false);
    program.state.jobRunning = false;
}

namespace {
struct LayoutRow {
    int control;
    Rect compact;
    Rect expanded;
};
}  // namespace

static void ApplyLayout(Program& program, bool expanded) {
    Ui& ui = program.ui;
    Rect window = ui.GetWindowRect(kMainWindow);
    window.width = expanded ? 666 : 422;
    window.height = expanded ? 446 : 312;
    ui.MoveWindow(kMainWindow, window);
    const LayoutRow rows[] = {
        {kPictureBox2, {1, 1, 420, 310}, {1, 1, 664, 444}},
        {kPictureBox1, {8, 30, 406, 202}, {8, 30, 648, 330}},
        {kExitButton, {332, 280, 80, 28}, {326, 410, 80, 28}},
        {kStartButton, {241, 280, 80, 28}, {230, 410, 80, 28}},
        {kCloseButton, {392, 4, 24, 20}, {636, 4, 24, 20}},
        {kMenuButton, {334, 4, 24, 20}, {578, 4, 24, 20}},
        {kMinimiseButton, {362, 4, 24, 20}, {606, 4, 24, 20}},
        {kExpandButton, {280, 4, 48, 20}, {524, 4, 48, 20}},
        {kCollapseButton, {280, 4, 48, 20}, {524, 4, 48, 20}},
    };
    for (const LayoutRow& row : rows)
        ui.SetRect(kMainWindow, row.control, expanded ? row.expanded : row.compact);

    // The option rows sit under the lists; the expanded window makes room for copy
    // mode's two lists by moving them down.
    const struct {
        int shift;
        std::vector<int> controls;
    } optionRows[] = {
        {130, {kRestoreMode, kBackupMode, kCopyMode, kRefreshLabel}},
        {128, {kOptionsTitle, kNoIdeOption, kIntegrityOption}},
        {126, {kCrcOption, kRestartOption, kShutdownOption}},
        {124, {kPasswordOption, kPasswordBox, kSplitSizeBox, kCompressionBox}},
        {126, {kCustomEnginesOption}},
    };
    const WindowDesc desc = MainWindowDesc();
    for (const auto& optionRow : optionRows) {
        for (int control : optionRow.controls) {
            for (const ControlDesc& c : desc.controls) {
                if (c.id != control) continue;
                Rect r = c.rect;
                if (expanded) r.top += optionRow.shift;
                ui.SetRect(kMainWindow, control, r);
            }
        }
    }
    Rect list = ui.GetRect(kMainWindow, kPartitionList);
    list.height = expanded ? 104 : 100;
    ui.SetRect(kMainWindow, kPartitionList, list);
    ui.SetPicture(kMainWindow, kPictureBox2, expanded ? "main_expanded" : "main_compact");
    ui.SetVisible(kMainWindow, kExpandButton, !expanded);
    ui.SetVisible(kMainWindow, kCollapseButton, expanded);
}

void SetCompactLayout(Program& program) {
    ApplyLayout(program, false);
}
void SetExpandedLayout(Program& program) {
    ApplyLayout(program, true);
}
