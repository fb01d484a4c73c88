// Small window helpers shared by the program and the engines. Windows builds only.
#pragma once

#include <windows.h>

#include <string>

namespace engine {

// CreateWindowExW of a control (WS_CHILD is added to style) inside parent, with id as its
// control ID, then WM_SETFONT with font unless it is null. Returns the control, null when
// it could not be made.
HWND MakeChildWindow(HWND parent, const wchar_t* windowClass, const std::wstring& text, DWORD style,
                     DWORD exStyle, int x, int y, int width, int height, int id, HFONT font);

// Runs the window messages waiting for this thread's windows (while a long call waits).
void PumpWindowMessages();

}  // namespace engine
