// Windows, controls, message boxes, balloons, menus and timers as the program sees them.
//
// Implemented by:
//   platform/win32/win32_ui.cpp  Win32Ui  - real windows (Windows, WinPE, Wine)
//   platform/fake/fake_ui.cpp    FakeUi   - recorded state and scripted answers for tests
//
// A window is described once as data (WindowDesc, next to its handlers in its
// subsystem folder); both backends build from that description. Controls and menu
// items are addressed by (window id, id). Texts are GBK byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Message box flags and results, the values of the Win32 API.
enum MessageBoxFlags : unsigned {
    kMbOk = 0x00,
    kMbOkCancel = 0x01,
    kMbYesNoCancel = 0x03,
    kMbYesNo = 0x04,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
};
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

enum class ControlKind {
    Label,          // transparent static text
    LinkLabel,      // static text that acts as a link (click notifies)
    Button,         // push button
    PictureButton,  // skinned button drawn from pictures
    CheckBox,       // toggles itself on click, then notifies
    RadioBox,       // checks itself (and clears its group) on click, then notifies
    ComboBox,       // editable drop-down
    ComboList,      // drop-down list, selection only
    Edit,           // single-line text box
    MultiLineEdit,  // read-only multi-line text box (console output)
    ListView,       // report-style list with column headers
    ListBox,        // simple list
    PictureBox,     // background picture
    ProgressBar,    // 0 to 100
};

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

struct ControlDesc {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    std::string caption;
    Rect rect;
    std::vector<std::string> items;  // combo box items or list view column headers
    std::vector<int> columnWidths;   // list views
    bool visible = true;
    bool enabled = true;
    bool groupStart = false;  // first radio box of a group
    bool checked = false;     // check boxes and radio boxes
    int selection = -1;       // combo boxes: the item selected at first
    // Skin picture: a picture box's picture, or a picture button's set of looks
    // ("<set>_normal", "_hover", "_pressed", "_disabled").
    std::string picture;
};

// Helpers for writing window descriptions.
inline ControlDesc MakeControl(int id, ControlKind kind, const std::string& caption, Rect rect) {
    ControlDesc c;
    c.id = id;
    c.kind = kind;
    c.caption = caption;
    c.rect = rect;
    return c;
}
inline ControlDesc WithPicture(ControlDesc c, const std::string& picture) {
    c.picture = picture;
    return c;
}
inline ControlDesc Hidden(ControlDesc c) {
    c.visible = false;
    return c;
}
inline ControlDesc WithItems(ControlDesc c, std::vector<std::string> items) {
    c.items = std::move(items);
    return c;
}

// The box moved so that its middle is the area's middle.
inline Rect CentredIn(Rect box, const Rect& area) {
    box.left = area.left + area.width / 2 - box.width / 2;
    box.top = area.top + area.height / 2 - box.height / 2;
    return box;
}

struct MenuItemDesc {
    int id = 0;  // 0 for a separator
    std::string caption;
    std::vector<MenuItemDesc> children;  // a submenu when not empty
};

struct MenuDesc {
    int id = 0;
    std::string name;  // the hidden top entry that names the popup menu
    std::vector<MenuItemDesc> items;
};

struct WindowDesc {
    int id = 0;
    std::string caption;
    int width = 0, height = 0;
    bool frameless = false;
    bool trayIcon = false;
    std::vector<ControlDesc> controls;
    std::vector<MenuDesc> menus;
};

// Owner of a message box: a window of this process, or none (0).
using WindowRef = std::uintptr_t;

// What a window reports back to its subsystem. Every handler runs on the window thread.
class UiEvents {
  public:
    virtual ~UiEvents() = default;
    // During window creation, before the window is shown.
    virtual void OnCreate(int window) {}
    // The window became active for the first time.
    virtual void OnFirstActivate(int window) {}
    // A control was clicked or changed (combo selection, check box toggled, ...).
    virtual void OnControl(int window, int control) {}
    // A row of a list was clicked; rightButton for a right click.
    virtual void OnListClick(int window, int control, int row, bool rightButton) {}
    // A menu item was chosen.
    virtual void OnMenu(int window, int item) {}
    // The tray icon's right button was released.
    virtual void OnTrayRightClick(int window) {}
    virtual void OnTimer(int window, int timer) {}
    // The system frame's close (Alt+F4 and the like).
    virtual void OnClose(int window) {}
    // The window is being destroyed in a way none of the program's exits chose.
    virtual void OnDestroy(int window) {}
};

class Ui {
  public:
    virtual ~Ui() = default;

    // Creates a window from its description; OnCreate runs before this returns.
    virtual bool CreateWindowFrom(const WindowDesc& desc, UiEvents* events) = 0;
    virtual void ShowWindow(int window, bool show) = 0;
    virtual void MinimiseWindow(int window) = 0;
    virtual void DestroyWindow(int window) = 0;
    // Runs the message loop until the process ends or the last window is gone.
    virtual int RunMessageLoop() = 0;
    // Processes the messages waiting now and returns.
    virtual void PumpPendingMessages() = 0;

    virtual void SetWindowCaption(int window, const std::string& caption) = 0;
    virtual std::string GetWindowCaption(int window) = 0;
    virtual Rect GetWindowRect(int window) = 0;
    virtual void MoveWindow(int window, const Rect& rect) = 0;
    // Primary screen size from the system metrics.
    virtual void GetScreenSize(int* width, int* height) = 0;
    // The first visible top-level window of this process, 0 when none.
    virtual WindowRef OwnProcessWindow() = 0;

    // --- controls -------------------------------------------------------------------
    virtual void SetText(int window, int control, const std::string& text) = 0;
    virtual std::string GetText(int window, int control) = 0;
    virtual void SetEnabled(int window, int control, bool enabled) = 0;
    virtual bool IsEnabled(int window, int control) = 0;
    virtual void SetVisible(int window, int control, bool visible) = 0;
    virtual bool IsVisible(int window, int control) = 0;
    virtual void SetChecked(int window, int control, bool checked) = 0;
    virtual bool IsChecked(int window, int control) = 0;
    virtual void SetRect(int window, int control, const Rect& rect) = 0;
    virtual Rect GetRect(int window, int control) = 0;
    // The skin picture (or picture set) of a picture box or picture button.
    virtual void SetPicture(int window, int control, const std::string& picture) = 0;
    virtual std::string GetPicture(int window, int control) = 0;
    // Appends to a text box (safe from the console reader thread).
    virtual void AppendText(int window, int control, const std::string& text) = 0;
    virtual size_t GetTextLength(int window, int control) = 0;

    // Progress bars: the position, 0 to 100.
    virtual void SetProgress(int window, int control, int position) = 0;
    virtual int GetProgress(int window, int control) = 0;

    // Combo boxes and list boxes.
    virtual void AddItem(int window, int control, const std::string& text) = 0;
    virtual void ClearItems(int window, int control) = 0;
    // Inserts before the index (at the end when it is past the last entry).
    virtual void InsertItem(int window, int control, int index, const std::string& text) = 0;
    virtual void DeleteItem(int window, int control, int index) = 0;
    // Replaces one entry in place; the selection and the first visible line stay.
    virtual void SetItemText(int window, int control, int index, const std::string& text) = 0;
    virtual int ItemCount(int window, int control) = 0;
    virtual std::string ItemText(int window, int control, int index) = 0;
    virtual void SetSelection(int window, int control, int index) = 0;
    virtual int GetSelection(int window, int control) = 0;

    // List views.
    virtual void SetColumnHeader(int window, int control, int column, const std::string& text) = 0;
    virtual std::string GetColumnHeader(int window, int control, int column) = 0;
    virtual int AddRow(int window, int control, const std::vector<std::string>& cells) = 0;
    virtual void SetCell(int window, int control, int row, int column, const std::string& text) = 0;
    virtual void DeleteRow(int window, int control, int row) = 0;
    virtual void DeleteAllRows(int window, int control) = 0;
    virtual int RowCount(int window, int control) = 0;
    virtual std::string Cell(int window, int control, int row, int column) = 0;

    // --- menus ----------------------------------------------------------------------
    virtual void SetMenuItemText(int window, int item, const std::string& text) = 0;
    virtual std::string GetMenuItemText(int window, int item) = 0;
    virtual void EnableMenuItem(int window, int item, bool enabled) = 0;
    virtual bool IsMenuItemEnabled(int window, int item) = 0;
    virtual void CheckMenuItem(int window, int item, bool checked) = 0;
    // Shows or hides a menu item together with the separator right after it.
    virtual void SetMenuItemVisible(int window, int item, bool visible) = 0;
    virtual bool IsMenuItemVisible(int window, int item) = 0;
    virtual bool IsMenuItemChecked(int window, int item) = 0;
    // Opens a popup menu at screen coordinates; the choice arrives as OnMenu.
    virtual void PopupMenu(int window, int menu, int x, int y) = 0;
    virtual void GetCursorPos(int* x, int* y) = 0;

    // --- messages, tray, timers -----------------------------------------------------
    virtual int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                           unsigned flags) = 0;
    // The system's save dialog (GetSaveFileNameA) owned by the window. The filter's
    // description and patterns are separated by '|'. Returns the chosen path, or an
    // empty text when the user cancelled.
    virtual std::string SaveFileDialog(int owner, const std::string& title,
                                       const std::string& filter,
                                       const std::string& defaultName) = 0;
    // The system's open dialog (GetOpenFileNameA) owned by the window, starting in the
    // folder; the chosen path, or an empty text when the user cancelled.
    virtual std::string OpenFileDialog(int owner, const std::string& title,
                                       const std::string& filter,
                                       const std::string& startFolder) = 0;
    virtual void SetTrayTooltip(int window, const std::string& tooltip) = 0;
    // Balloon tip at the window's tray icon; icon kind 0-3 (1 information).
    virtual void ShowBalloon(int window, const std::string& title, const std::string& text,
                             int iconKind, unsigned timeoutMs) = 0;
    virtual void SetTimer(int window, int timer, unsigned intervalMs) = 0;
    virtual void KillTimer(int window, int timer) = 0;
};
