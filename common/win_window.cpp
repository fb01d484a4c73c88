#include "common/win_window.h"

namespace engine {

HWND MakeChildWindow(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                     DWORD exStyle, int x, int y, int width, int height, int id, HFONT font) {
    HWND child =
        CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | style, x, y, width, height,
                        parent, HMENU(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
    if (child && font) SendMessageW(child, WM_SETFONT, WPARAM(font), TRUE);
    return child;
}

void PumpWindowMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace engine
