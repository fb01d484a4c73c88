// Partitions by the numbers the program shows (disk counted from 1, partition
// number) and the folders through which the engine reaches them.
//
// Windows: every drive letter and every mounted volume without one is asked for its
// storage device number (IOCTL_STORAGE_GET_DEVICE_NUMBER); D = device + 1.
// Native build: a volume is a folder, named by the environment variable
// SB_GHOST_VOLUMES="1:1=/srv/a;1:2=/srv/b". SB_GHOST_SYSTEM="D:P" names the volume
// that stands for the running Windows (default: a volume mapped to "/").
#pragma once

#include <memory>
#include <string>

#include "engines/ghost/cli.h"

namespace ghost {

class VolumeMap {
  public:
    virtual ~VolumeMap() = default;
    // Root folder of the partition ("D:\", "\\?\Volume{...}\", or a folder), or "".
    virtual std::string RootOf(const PartitionId& id) = 0;
    // The partition holding a path (which may not exist yet); invalid when none.
    virtual PartitionId PartitionOf(const std::string& path) = 0;
    // The partition of the running system; invalid when none.
    virtual PartitionId SystemPartition() = 0;
    // Absolute form of a path, for containment checks.
    virtual std::string Absolute(const std::string& path) = 0;
};

std::unique_ptr<VolumeMap> MakeVolumeMap();

// Whether path lies at or below folder (both absolute; case-insensitive on Windows).
bool PathInside(const std::string& path, const std::string& folder);

}  // namespace ghost
