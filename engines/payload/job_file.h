// The reboot-mode job file (ghost.ba_, renamed ghost.bat before it runs) as the boot
// image reads it, and the checks made on the disks before any of it runs.
#pragma once

#include <string>
#include <vector>

#include "engines/ghost/cli.h"

namespace payload {

struct JobLine {
    enum Kind { kGhost, kRestart, kUnknown };
    Kind kind = kUnknown;
    std::string text;               // the line as written, without its line break
    std::vector<std::string> args;  // kGhost: the engine's arguments
};

// Lines are separated by CR LF or LF; blank lines are skipped. "Ghost.exe" (any case,
// with or without ".exe") followed by the engine's arguments, split like a Windows
// command line; "restart" alone.
std::vector<JobLine> ParseJobFile(const std::string& bytes);

// The job is meant for the partition that holds the module's files (the running
// system's partition when the job was prepared). A backup must read that partition
// and a restore must write it; when the disk and partition numbers name another one
// (the firmware counts disks differently from Windows), the job must not run. Returns
// an empty text when the request may run, otherwise the reason.
std::string CheckJobPartition(const ghost::JobRequest& request,
                              const ghost::PartitionId& modulePartition);

// The partition a request writes to: a backup's image partition (its image path begins
// with "D:P:\" or "D:P\"), a restore's target. Invalid when the request writes none or
// names its image by another kind of path.
ghost::PartitionId WrittenPartition(const ghost::JobRequest& request);

// Given the start-up script's list of volumes that must not be written
// ("1:2=dirty;1:3=hibernated"), the reason a partition must not be written, or "".
std::string UnsafeReason(const std::string& unsafeList, const ghost::PartitionId& id);

// The refusal of a job line that would write an unsafe volume.
std::string UnsafeVolumeText(const ghost::PartitionId& id, const std::string& reason);

// The state of an NTFS volume before it is written.
enum class VolumeState { kClean, kDirty, kNotNtfs, kUnreadable };

// Reads the volume's boot sector and its $Volume record (the dirty flag) from a
// device or image file.
VolumeState NtfsVolumeState(const std::string& device);

// Whether hiberfil.sys in a volume's root folder holds a hibernated (or fast-start)
// system.
bool HibernationFilePresent(const std::string& root);

// The text of GHOSTERR.TXT: a UTF-8 byte order mark (so that Notepad reads it), the
// error and the job line that failed.
std::string ErrorFileText(const std::string& error, const std::string& line);

}  // namespace payload
