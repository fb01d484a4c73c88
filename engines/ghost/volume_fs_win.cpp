// On Windows a volume is reached through the Win32 seam's real calls.
#include "engines/ghost/volume_fs.h"
#include "engines/ntfs_seam/ntfs_api.h"

namespace ghost {

std::unique_ptr<VolumeFs> OpenVolumeFs(const std::string& root) {
    return OpenNtfsVolumeFs(root, ntfs::MakeWin32Api());
}

}  // namespace ghost
