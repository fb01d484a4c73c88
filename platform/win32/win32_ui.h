// Ui over real windows (Windows, WinPE, Wine).
//
//   win32_ui.cpp        windows: creation, the window procedure and its dispatch to
//                       UiEvents, window-level calls, tray, dialogs, timers
//   win32_skin.cpp      skin painting: backgrounds, the title strip, picture buttons
//   win32_controls.cpp  operations on controls and menu items
//   win32_window.h      the data kept for each window (shared by the three)
#pragma once

#include <windows.h>

#include "platform/win32/no_win_macros.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui.h"

class Win32Ui : public Ui {
  public:
    explicit Win32Ui(HINSTANCE instance);
    ~Win32Ui() override;
    // Removes every tray icon (called just before the process ends).
    void RemoveTrayIcons();

    bool CreateWindowFrom(const WindowDesc& desc, UiEvents* events) override;
    void ShowWindow(int window, bool show) override;
    void MinimiseWindow(int window) override;
    void DestroyWindow(int window) override;
    int RunMessageLoop() override;
    void PumpPendingMessages() override;

    void SetWindowCaption(int window, const std::string& caption) override;
    std::string GetWindowCaption(int window) override;
    Rect GetWindowRect(int window) override;
    void MoveWindow(int window, const Rect& rect) override;
    void GetScreenSize(int* width, int* height) override;
    WindowRef OwnProcessWindow() override;

    void SetText(int window, int control, const std::string& text) override;
    std::string GetText(int window, int control) override;
    void SetEnabled(int window, int control, bool enabled) override;
    bool IsEnabled(int window, int control) override;
    void SetVisible(int window, int control, bool visible) override;
    bool IsVisible(int window, int control) override;
    void SetChecked(int window, int control, bool checked) override;
    bool IsChecked(int window, int control) override;
    void SetRect(int window, int control, const Rect& rect) override;
    Rect GetRect(int window, int control) override;
    void SetPicture(int window, int control, const std::string& picture) override;
    std::string GetPicture(int window, int control) override;
    void AppendText(int window, int control, const std::string& text) override;
    size_t GetTextLength(int window, int control) override;

    void SetProgress(int window, int control, int position) override;
    int GetProgress(int window, int control) override;
    void AddItem(int window, int control, const std::string& text) override;
    void ClearItems(int window, int control) override;
    void InsertItem(int window, int control, int index, const std::string& text) override;
    void DeleteItem(int window, int control, int index) override;
    void SetItemText(int window, int control, int index, const std::string& text) override;
    int ItemCount(int window, int control) override;
    std::string ItemText(int window, int control, int index) override;
    void SetSelection(int window, int control, int index) override;
    int GetSelection(int window, int control) override;

    void SetColumnHeader(int window, int control, int column, const std::string& text) override;
    std::string GetColumnHeader(int window, int control, int column) override;
    int AddRow(int window, int control, const std::vector<std::string>& cells) override;
    void SetCell(int window, int control, int row, int column, const std::string& text) override;
    void DeleteRow(int window, int control, int row) override;
    void DeleteAllRows(int window, int control) override;
    int RowCount(int window, int control) override;
    std::string Cell(int window, int control, int row, int column) override;

    void SetMenuItemText(int window, int item, const std::string& text) override;
    std::string GetMenuItemText(int window, int item) override;
    void EnableMenuItem(int window, int item, bool enabled) override;
    bool IsMenuItemEnabled(int window, int item) override;
    void CheckMenuItem(int window, int item, bool checked) override;
    bool IsMenuItemChecked(int window, int item) override;
    void PopupMenu(int window, int menu, int x, int y) override;
    void GetCursorPos(int* x, int* y) override;

    int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                   unsigned flags) override;
    void SetMenuItemVisible(int window, int item, bool visible) override;
    bool IsMenuItemVisible(int window, int item) override;
    std::string OpenFileDialog(int owner, const std::string& title, const std::string& filter,
                               const std::string& startFolder) override;
    std::string SaveFileDialog(int owner, const std::string& title, const std::string& filter,
                               const std::string& defaultName) override;
    void SetTrayTooltip(int window, const std::string& tooltip) override;
    void ShowBalloon(int window, const std::string& title, const std::string& text, int iconKind,
                     unsigned timeoutMs) override;
    void SetTimer(int window, int timer, unsigned intervalMs) override;
    void KillTimer(int window, int timer) override;

    struct WindowData;

    Win32Ui(const Win32Ui&) = delete;
    Win32Ui& operator=(const Win32Ui&) = delete;

  private:
    // Windows and their controls are looked up under windowsLock_: the console reader
    // thread writes into text boxes while the window thread opens and closes windows.
    // The data itself is changed on the window thread only.
    WindowData* Find(int window);
    HWND ControlHandle(int window, int control);
    // The kind of a control of a window, null when it has no such control.
    static const ControlKind* KindOf(WindowData* w, int control);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(WindowData& w, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(WindowData& w);
    void AddTrayIcon(WindowData& w);
    // At WM_NCDESTROY: frees the window's menus and data; its ID names no window after.
    void ForgetWindow(WindowData* w);

    // win32_skin.cpp
    static LRESULT CALLBACK PictureButtonProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam);
    void MakePictureButton(HWND button);
    void PaintBackground(WindowData& w, HDC dc);
    void PaintTitle(WindowData& w);
    void DrawPictureButton(WindowData& w, const DRAWITEMSTRUCT& item);
    HBRUSH StaticColours(WindowData& w, HDC dc, HWND control);

    HINSTANCE instance_;
    HFONT font_ = nullptr;
    bool ownsFont_ = false;
    HBRUSH panelBrush_ = nullptr, backgroundBrush_ = nullptr, titleBrush_ = nullptr;
    WNDPROC buttonClassProc_ = nullptr;  // the BUTTON class's procedure, under our own
    HWND hoveredButton_ = nullptr;       // the picture button under the mouse, if any
    std::mutex windowsLock_;
    std::map<int, std::unique_ptr<WindowData>> windows_;
};
