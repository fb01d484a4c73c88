#include "disk/selection.h"

#include "base/ids/main_window.h"
#include "base/text_util.h"

void SelectPartitionRow(Program& program, int row) {
    Ui& ui = program.ui;
    SelectedPartition& s = program.state.selection;
    s.root = ui.Cell(kMainWindow, kPartitionList, row, 0);
    const std::string numbers = ui.Cell(kMainWindow, kPartitionList, row, 1);
    s.diskPartition = RemoveSpaces(numbers);
    s.display = s.root + "(" + numbers + ")";
    s.partitionType = ui.Cell(kMainWindow, kPartitionList, row, 2);
    s.deviceType = ui.Cell(kMainWindow, kPartitionList, row, 3);
    program.state.selectedRow = row;
    ui.SetText(kMainWindow, kSelectedRoot, s.root);
    ui.SetText(kMainWindow, kSelectedDiskPartition, s.diskPartition);
    ui.SetText(kMainWindow, kSelectedDisplay, s.display);
    ui.SetText(kMainWindow, kSelectedPartitionType, s.partitionType);
    ui.SetText(kMainWindow, kSelectedDeviceType, s.deviceType);
}

const SelectedPartition& CurrentSelection(const Program& program) {
    return program.state.selection;
}
