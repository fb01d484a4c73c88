// The data Win32Ui keeps for each window, and the skin's drawing helpers; shared by
// win32_ui.cpp, win32_skin.cpp and win32_controls.cpp only.
#pragma once

#include <shellapi.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/win32/win32_ui.h"

namespace win32ui {

const int kTitleStripHeight = 28;
const COLORREF kPanelColour = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kBackgroundColour = RGB(0xF3, 0xF6, 0xFA);
const COLORREF kTitleColour = RGB(0x22, 0x5D, 0xAB);

// Copies text into a fixed char array, cut to fit and always terminated.
template <size_t N>
void CopyCut(char (&target)[N], const std::string& text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    memcpy(target, text.data(), n);
    target[n] = '\0';
}

}  // namespace win32ui

struct Win32Ui::WindowData {
    Win32Ui* ui = nullptr;
    WindowDesc desc;
    UiEvents* events = nullptr;
    HWND hwnd = nullptr;
    std::map<int, HWND> controls;  // written under Win32Ui::windowsLock_
    std::map<int, ControlKind> kinds;
    std::map<int, Rect> pictureRects;  // picture boxes are painted, not child windows
    std::map<int, bool> pictureShown;
    std::map<int, std::string> pictures;  // control -> picture or picture set
    std::map<int, HMENU> menus;           // by menu id; destroyed with the window
    std::map<int, HMENU> itemParents;
    std::map<int, bool> hiddenItems;  // hidden item id -> it took its separator along     // menu
                                      // item id -> the popup holding it
    bool activatedOnce = false;
    bool trayAdded = false;
    NOTIFYICONDATAA tray = {};
};
