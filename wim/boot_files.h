// The steps after a WIM volume was applied: boot files through Bootice and bcdboot, and
// the answer file for an unattended setup.
#pragma once

#include <functional>
#include <string>

#include "base/program.h"

// What the boot-file step works on, fixed when the apply was confirmed.
struct BootFilesJob {
    std::string targetRoot;  // the restored root with one more backslash, "C:\\"
    std::string device;      // the boot device chosen by the boot mode (may be empty)
    // Shows a text in the job window's status line.
    std::function<void(const std::string&)> status;
};

// The boot device for a boot mode: 0 the target disk's first partition, 1 the first
// drive holding a Windows, otherwise the chosen drive root (bootModeText).
std::string BootDeviceFor(int bootMode, const std::string& targetDiskBootPartition,
                          const std::string& firstWindowsDrive, const std::string& bootModeText);

// The drive of the first partition of disk n in the partition list: the row whose
// disk:partition cell is exactly "n:1"; empty when there is none.
std::string BootPartitionOfDisk(Program& program, int disk);
// The first drive (in listing order, WinPE's X: left out) whose Windows has a cmd.exe,
// as "C:\"; empty when there is none.
std::string FirstWindowsDrive(Program& program);

// The boot-file step.
void AddBootFiles(Program& program, const BootFilesJob& job);
// The unattended-setup step: copies the answer file into the target's Windows\Panther.
void AddUnattendFile(Program& program, const std::string& targetRoot,
                     const std::string& unattendPath,
                     const std::function<void(const std::string&)>& status);
