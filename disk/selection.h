// The partition chosen in the partition list, as one value the jobs read.
#pragma once

#include "base/program.h"

// Takes the row of the partition list as the selection (root, disk:partition without
// blanks, display text "C:\(1:2)", partition type, device type).
void SelectPartitionRow(Program& program, int row);
// The selection the jobs act on: the row last clicked, kept across a refresh.
const SelectedPartition& CurrentSelection(const Program& program);
