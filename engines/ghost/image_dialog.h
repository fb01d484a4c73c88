// The system's open or save dialog for one Ghost image (Windows windows only).
#pragma once

#include <windows.h>

#include <string>

namespace ghost {

// flags: OPENFILENAME flags; defaultExtension may be null. Empty when cancelled.
std::wstring AskForImageFile(HWND owner, bool save, DWORD flags, const wchar_t* defaultExtension);

}  // namespace ghost
