// The partition inventory: one row per usable volume in the main window's lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/program.h"

// Roots by kind: 0 all, grouped fixed / CD-ROM / removable / others; 1 fixed only;
// 2 CD-ROM only; 3 removable only. Within a group in letter order.
std::vector<std::string> ListDriveRoots(Sys& sys, int kind);
// Storage device number + 1 (disks counted from 1), or -1.
int DiskNumberOf(Sys& sys, const std::string& root);
// Partition number (counted from 1), or -1.
int PartitionNumberOf(Sys& sys, const std::string& root);
// 1 GPT, 0 MBR, -1 unreadable; disk counted from 1.
int IsGptDisk(Sys& sys, int disk);
// The partition is the active entry of its MBR, by the kept omnifs32 report.
bool IsActivePartition(const ProgramState& state, const std::string& root);
// Size text for a count of KiB: "512.00 MB", "1.50 GB", "2.00 TB".
std::string SizeText(std::int64_t kib);
// Drive-type text for a GetDriveTypeA value.
std::string DriveTypeText(unsigned driveType);

// Fills the six-column list with one row per usable volume.
void LoadPartitionInventory(Program& program, int listControl);
// Warns and disables the start button and the list when the list has no row.
void CheckPartitionListNotEmpty(Program& program);
