// The partition lists of the main window: clicks and the selection fields, the copy of
// the rows in copy mode, the refresh command, and the partition menu.
#pragma once

#include "base/program.h"

// A click on a row of the partition list or the target list (row -1: no row).
void OnPartitionListClick(Program& program, int row, bool rightButton);
void OnTargetListClick(Program& program, int row);
// The target list gets a copy of every row of the partition list.
void CopyPartitionRows(Program& program);
// The "刷新分区(&H)" command.
void RefreshPartitions(Program& program);
// The commands of the partition menu "磁盘"; each first checks that the selected
// partition's drive is there.
void OnPartitionOpen(Program& program);
void OnPartitionFormat(Program& program);
// True when the selected partition's drive is there; otherwise says why not. The
// partition menu's commands check it first.
bool SelectedDriveIsThere(Program& program);
void OnPartitionInfo(Program& program);
void OnPartitionProperties(Program& program);
void OnPartitionRestart(Program& program);
void OnPartitionShutdown(Program& program);
