#include "engines/ghost/image_dialog.h"

#include <commdlg.h>

#include "common/console_out.h"

namespace ghost {

std::wstring AskForImageFile(HWND owner, bool save, DWORD flags, const wchar_t* defaultExtension) {
    wchar_t file[MAX_PATH] = L"";
    std::wstring filter = engine::WideFromUtf8(u8"Ghost映像文件(*.Gho)");
    filter += L'\0';
    filter += L"*.GHO";
    filter += L'\0';
    filter += L'\0';
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = flags;
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return std::wstring();
    return file;
}

}  // namespace ghost
