// One run of the engine: the request from the command line, the guards around the
// partitions it names, and the operation itself.
#pragma once

#include "engines/ghost/cli.h"
#include "engines/ghost/operations.h"
#include "engines/ghost/volumes.h"

namespace ghost {

// A backup given -span without -split is cut where a FAT32 file must end.
inline constexpr uint64_t kAutoSpanMiB = 4000;
inline constexpr int kDefaultLevel = 6;

// Title of the job for the progress window, e.g. "备份 1:2 → D:\a.GHO".
std::string JobTitle(const JobRequest& request);

Status RunJob(const JobRequest& request, VolumeMap& volumes, const ProgressFn& progress);

}  // namespace ghost
