// Boot records through Bootice, for the jobs that leave a Windows on a partition: the
// Bootice lines and the records written after a Ghost restore. Devices are a drive
// ("C:\") or a disk:partition pair counted from 1, as the partition list shows them.
#pragma once

#include <string>

#include "base/program.h"

// WindowsDirectory + "BOOTICE.EXE /DEVICE=" + device + switches.
std::string BooticeLine(Sys& sys, const std::string& device, const std::string& switches);

extern const char kBooticeNt60Mbr[];     // " /mbr /install  /type=nt60  /quiet"
extern const char kBooticeActivate[];    // " /partitions /activate /quiet"
extern const char kBooticeNt52Mbr[];     // " /mbr /install  /type=nt52  /quiet"
extern const char kBooticeNtldrPbr[];    // " /pbr /install  /type=ntldr /quiet"
extern const char kBooticeBootmgrPbr[];  // " /pbr /install  /type=bootmgr /quiet"

// Writes the master and partition boot records that match the Windows version found
// at root (CMD.exe's file version: 5 for XP, 6 or 10 for Vista and later) on the
// partition diskPartition, one record after the other, each to its end. Nothing is
// written for any other version or when there is no CMD.exe.
void WriteBootRecordsAfterGhost(Program& program, const std::string& root,
                                const std::string& diskPartition);
