#include "disk/partition_list.h"

#include "base/completion.h"
#include "base/console.h"
#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/inventory.h"
#include "disk/selection.h"

namespace {

std::string CellOf(Program& program, int list, int row, int column) {
    return program.ui.Cell(kMainWindow, list, row, column);
}

}  // namespace

void OnPartitionListClick(Program& program, int row, bool rightButton) {
    Ui& ui = program.ui;
    if (row < 0 || row >= ui.RowCount(kMainWindow, kPartitionList)) return;
    SelectPartitionRow(program, row);
    const SelectedPartition& selected = CurrentSelection(program);

    if (rightButton) {
        if (CellOf(program, kPartitionList, row, 4) == "未知") return;
        ui.SetEnabled(kMainWindow, kStartButton, true);
        int x = 0, y = 0;
        ui.GetCursorPos(&x, &y);
        ui.PopupMenu(kMainWindow, kPartitionMenu, x, y);
        return;
    }
    ui.SetEnabled(kMainWindow, kStartButton, CellOf(program, kPartitionList, row, 5) != "未知");
    if (ui.IsChecked(kMainWindow, kCopyMode)) {
        program.state.copySourceRoot = selected.root;
        program.state.copySourceDiskPartition = selected.diskPartition;
        ui.SetText(kMainWindow, kPromptLabel, "请选择源分区： " + selected.display);
    }
}

void OnTargetListClick(Program& program, int row) {
    Ui& ui = program.ui;
    if (row < 0 || row >= ui.RowCount(kMainWindow, kTargetList)) return;
    if (!ui.IsChecked(kMainWindow, kCopyMode)) return;
    const std::string root = CellOf(program, kTargetList, row, 0);
    const std::string numbers = CellOf(program, kTargetList, row, 1);
    program.state.copyTargetRoot = root;
    program.state.copyTargetDiskPartition = RemoveSpaces(numbers);
    ui.SetText(kMainWindow, kTargetLabel, "请选择目标分区： " + root + "(" + numbers + ")");
}

void CopyPartitionRows(Program& program) {
    Ui& ui = program.ui;
    ui.DeleteAllRows(kMainWindow, kTargetList);
    const int rows = ui.RowCount(kMainWindow, kPartitionList);
    for (int row = 0; row < rows; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < 6; ++column)
            cells.push_back(CellOf(program, kPartitionList, row, column));
        ui.AddRow(kMainWindow, kTargetList, cells);
    }
}

void RefreshPartitions(Program& program) {
    Ui& ui = program.ui;
    LockMainWindow(program);
    ShowBalloon(program, "提示", "正在刷新分区，请稍候.....", 1, 0);
    ui.DeleteAllRows(kMainWindow, kPartitionList);
    program.state.selectedRow = -1;
    LoadPartitionInventory(program, kPartitionList);
    UnlockMainWindow(program);
    if (ui.IsChecked(kMainWindow, kCopyMode)) CopyPartitionRows(program);
    CheckPartitionListNotEmpty(program);
    ShowBalloon(program, "提示", "刷新分区完成！", 1, 0);
}

// The partition menu's guard: true when the selected partition's drive is there;
// otherwise says why not.
static bool SelectedDriveIsThere(Program& program) {
    const SelectedPartition& selected = CurrentSelection(program);
    if (DriveExists(program.sys, selected.root)) return true;
    const int row = program.state.selectedRow;
    const bool noLetter = row >= 0 && CellOf(program, kPartitionList, row, 0) == "无";
    Tell(program,
         noLetter ? "分区 " + selected.diskPartition + " 未分配盘符，无法操作！"
                  : selected.display + " 不存在！",
         kMbIconWarning);
    return false;
}

void OnPartitionOpen(Program& program) {
    if (SelectedDriveIsThere(program))
        RunConsoleCommand(program, "Start " + CurrentSelection(program).root);
}

void OnPartitionFormat(Program& program) {
    if (SelectedDriveIsThere(program))
        program.sys.FormatDriveDialog(UpperAscii(CurrentSelection(program).root.substr(0, 1))[0] -
                                      'A');
}

void OnPartitionRename(Program& program) {
    if (SelectedDriveIsThere(program)) TellNotAvailableYet(program);
}

void OnPartitionInfo(Program& program) {
    if (SelectedDriveIsThere(program)) TellNotAvailableYet(program);
}

void OnPartitionProperties(Program& program) {
    if (SelectedDriveIsThere(program))
        program.sys.ShowDriveProperties(CurrentSelection(program).root);
}

void OnPartitionRestart(Program& program) {
    if (SelectedDriveIsThere(program)) OnRestartSystemMenu(program);
}

void OnPartitionShutdown(Program& program) {
    if (SelectedDriveIsThere(program)) OnShutDownSystemMenu(program);
}
