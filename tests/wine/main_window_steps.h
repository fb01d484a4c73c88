// Steps on the program's main window that the job tests share: a partition's row and
// name as the lists show them, choosing a partition, switching the mode.
#pragma once

#include <windows.h>

#include <string>

#include "base/ids/main_window.h"
#include "tests/wine/automation.h"

namespace automation {

// The row of a list whose first cell is the root ("E:\"), -1 when none.
inline int RowOfRoot(HWND window, int list, const std::string& root) {
    for (int row = 0; row < ListRowCount(window, list); ++row)
        if (ListCell(window, list, row, 0) == root) return row;
    return -1;
}

// "E:\(1:3)": the root with its disk and partition numbers, as the program names it.
inline std::string NamedPartition(HWND window, const std::string& root) {
    return root + "(" +
           ListCell(window, kPartitionList, RowOfRoot(window, kPartitionList, root), 1) + ")";
}

// Clicks the root's row of the partition list; true once the window shows it chosen.
inline bool ChoosePartition(HWND window, const std::string& root) {
    const int row = RowOfRoot(window, kPartitionList, root);
    if (row < 0) return false;
    ClickListRow(window, kPartitionList, row);
    return WaitUntil([&] { return Text(window, kSelectedRoot) == root; }, 10000);
}

// Clicks a mode's radio box; true once a control of that mode shows.
inline bool ChooseMode(HWND window, int radio, int visibleControl) {
    Click(window, radio);
    return WaitUntil([&] { return IsVisible(window, visibleControl); }, 10000);
}

}  // namespace automation
