#include "disk/format_volume.h"

namespace {
bool formatRunning = false;
}  // namespace

bool FormatVolumeQuick(Sys& sys, const std::string& root, const std::string& fileSystem,
                       unsigned clusterSize) {
    if (formatRunning || root.empty()) return false;
    const std::string system = fileSystem == "FAT32" ? "FAT32" : "NTFS";
    if (clusterSize != 512 && clusterSize != 1024 && clusterSize != 2048 && clusterSize != 4096)
        clusterSize = 0;
    formatRunning = true;
    const bool done =
        sys.FormatVolume(root.substr(0, 1) + ":\\", system, "本地磁盘", true, clusterSize);
    formatRunning = false;
    return done;
}
