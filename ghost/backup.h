// Backing a partition up into a Ghost image: the save dialog with its default name,
// the password check, the confirmation, the run and the report.
#pragma once

#include <cstdint>
#include <string>

#include "base/program.h"

// a + ((t * 23 + 7) mod (b - a + 1)) in unsigned 32-bit arithmetic, t the low 32 bits
// of the time-stamp counter read now.
std::uint32_t RandomInRange(Sys& sys, std::uint32_t a, std::uint32_t b);
// A digit, an upper-case or a lower-case letter, the class picked at random too.
char RandomNameCharacter(Sys& sys);
// "D_BAK_" + five random characters for a selected row on D:, else "Morvek_BAK_" + five.
std::string DefaultBackupName(Program& program);

// The browse button in backup mode: the save dialog; a chosen path becomes the save
// path box's only entry.
void OnBrowseSavePath(Program& program);
// The start button in backup mode with a ".GHO" save path, after the checks that
// Ghost and WIM backups share.
void StartGhostBackup(Program& program, const std::string& savePath);

// The report after a backup: partition, location, size in MB and the date.
std::string BackupReport(Program& program, const std::string& savePath);
