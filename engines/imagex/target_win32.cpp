// The Windows target: the NTFS target over the real Win32 calls.
#ifdef _WIN32

#include "engines/imagex/apply_target.h"
#include "engines/ntfs_seam/ntfs_api.h"

namespace imagex {

std::unique_ptr<ApplyTarget> MakeApplyTarget() {
    return MakeNtfsApplyTarget(ntfs::MakeWin32Api());
}

}  // namespace imagex

#endif
