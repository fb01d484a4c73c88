#ifdef _WIN32

#include "engines/imagex/win_util.h"

#include <windows.h>

#include "engines/ntfs_seam/ntfs_api.h"

namespace imagex {

std::string LastErrorText() {
    return ntfs::ErrorText(GetLastError());
}

}  // namespace imagex

#endif
