#include "disk/partition_list.h"

#include "app/console.h"
#include "app/main_window.h"
#include "app/modes.h"
#include "app/startup.h"
#include "app/text_util.h"
#include "app/tool_files.h"
#include "disk/inventory.h"
#include "ghost/countdown.h"

namespace {

std::string WithoutSpaces(std::string text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

std::string CellOf(Program& program, int list, int row, int column) {
    return program.ui.Cell(kMainWindow, list, row, column);
}

}  // namespace

void OnPartitionListClick(Program& program, int row, bool rightButton) {
    Ui& ui = program.ui;
    if (row < 0 || row >= ui.RowCount(kMainWindow, kPartitionList)) return;
    const std::string root = CellOf(program, kPartitionList, row, 0);
    const std::string numbers = CellOf(program, kPartitionList, row, 1);
    ui.SetText(kMainWindow, kSelectedRoot, root);
    ui.SetText(kMainWindow, kSelectedDiskPartition, WithoutSpaces(numbers));
    ui.SetText(kMainWindow, kSelectedDisplay, root + "(" + numbers + ")");
    ui.SetText(kMainWindow, kSelectedPartitionType, CellOf(program, kPartitionList, row, 2));
    ui.SetText(kMainWindow, kSelectedDeviceType, CellOf(program, kPartitionList, row, 3));
    program.state.selectedRow = row;

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
        program.state.copySourceRoot = root;
        program.state.copySourceDiskPartition = WithoutSpaces(numbers);
        ui.SetText(kMainWindow, kPromptLabel, "请选择源分区： " + root + "(" + numbers + ")");
    }
}

void OnTargetListClick(Program& program, int row) {
    Ui& ui = program.ui;
    if (row < 0 || row >= ui.RowCount(kMainWindow, kTargetList)) return;
    if (!ui.IsChecked(kMainWindow, kCopyMode)) return;
    const std::string root = CellOf(program, kTargetList, row, 0);
    const std::string numbers = CellOf(program, kTargetList, row, 1);
    program.state.copyTargetRoot = root;
    program.state.copyTargetDiskPartition = WithoutSpaces(numbers);
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
    if (ui.IsChecked(kMainWindow, kCopyMode)) {
        ui.SetEnabled(kMainWindow, kCollapseButton, false);
        CopyPartitionRows(program);
    }
    CheckPartitionListNotEmpty(program);
    ShowBalloon(program, "提示", "刷新分区完成！", 1, 0);
}

void OnPartitionMenu(Program& program, int item) {
    Ui& ui = program.ui;
    const std::string root = ui.GetText(kMainWindow, kSelectedRoot);
    if (!DriveExists(program.sys, root)) {
        const int row = program.state.selectedRow;
        const bool noLetter = row >= 0 && CellOf(program, kPartitionList, row, 0) == "无";
        const std::string text =
            noLetter ? "分区 " + ui.GetText(kMainWindow, kSelectedDiskPartition) + " 未分配盘符，无法操作！"
                     : ui.GetText(kMainWindow, kSelectedDisplay) + " 不存在！";
        ui.MessageBox(ui.OwnProcessWindow(), text, "提示", kMbIconWarning);
        return;
    }
    if (item == kMenuPartOpen) RunConsoleCommand(program, "Start " + root);
    if (item == kMenuPartFormat) program.sys.FormatDriveDialog(UpperAscii(root.substr(0, 1))[0] - 'A');
    if (item == kMenuPartProperties) program.sys.ShowDriveProperties(root);
    if (item == kMenuPartShutdown) OnShutDownSystemMenu(program);
    if (item == kMenuPartRestart) OnRestartSystemMenu(program);
    // Rename and details open their own windows once those exist.
}
