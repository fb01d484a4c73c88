// Operations on the controls and menu items of Win32Ui's windows. SetText, AppendText
// and GetTextLength are also called from the console reader thread: they look the
// control up under the lock and talk to it only through SendMessage.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/no_win_macros.h"

#include <cstring>

#include "platform/win32/win32_window.h"

void Win32Ui::SetText(int window, int control, const std::string& text) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h, WM_SETTEXT, 0, LPARAM(text.c_str()));
}

std::string Win32Ui::GetText(int window, int control) {
    HWND h = ControlHandle(window, control);
    if (!h) return std::string();
    int len = int(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0));
    std::string text(size_t(len) + 1, '\0');
    len = int(SendMessageA(h, WM_GETTEXT, WPARAM(len + 1), LPARAM(&text[0])));
    text.resize(size_t(len));
    return text;
}

void Win32Ui::SetEnabled(int window, int control, bool enabled) {
    if (HWND h = ControlHandle(window, control)) EnableWindow(h, enabled);
}

bool Win32Ui::IsEnabled(int window, int control) {
    HWND h = ControlHandle(window, control);
    return h && IsWindowEnabled(h);
}

void Win32Ui::SetVisible(int window, int control, bool visible) {
    WindowData* w = Find(window);
    if (w && w->pictureShown.count(control)) {
        w->pictureShown[control] = visible;
        InvalidateRect(w->hwnd, nullptr, TRUE);
        return;
    }
    if (HWND h = ControlHandle(window, control)) ::ShowWindow(h, visible ? SW_SHOW : SW_HIDE);
}

bool Win32Ui::IsVisible(int window, int control) {
    WindowData* w = Find(window);
    if (w && w->pictureShown.count(control)) return w->pictureShown[control];
    HWND h = ControlHandle(window, control);
    return h && (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE);
}

void Win32Ui::SetChecked(int window, int control, bool checked) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Ui::IsChecked(int window, int control) {
    HWND h = ControlHandle(window, control);
    return h && SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Ui::SetRect(int window, int control, const Rect& rect) {
    WindowData* w = Find(window);
    if (!w) return;
    auto picture = w->pictureRects.find(control);
    if (picture != w->pictureRects.end()) {
        picture->second = rect;
        InvalidateRect(w->hwnd, nullptr, TRUE);
        return;
    }
    if (HWND h = ControlHandle(window, control))
        ::MoveWindow(h, rect.left, rect.top, rect.width, rect.height, TRUE);
}

Rect Win32Ui::GetRect(int window, int control) {
    WindowData* w = Find(window);
    if (!w) return Rect();
    auto picture = w->pictureRects.find(control);
    if (picture != w->pictureRects.end()) return picture->second;
    HWND h = ControlHandle(window, control);
    if (!h) return Rect();
    RECT r;
    ::GetWindowRect(h, &r);
    POINT topLeft = {r.left, r.top};
    ScreenToClient(w->hwnd, &topLeft);
    return Rect{topLeft.x, topLeft.y, r.right - r.left, r.bottom - r.top};
}

void Win32Ui::SetPicture(int window, int control, const std::string& picture) {
    WindowData* w = Find(window);
    if (!w) return;
    w->pictures[control] = picture;
    HWND h = ControlHandle(window, control);
    InvalidateRect(h ? h : w->hwnd, nullptr, TRUE);
}

std::string Win32Ui::GetPicture(int window, int control) {
    WindowData* w = Find(window);
    return w ? w->pictures[control] : std::string();
}

void Win32Ui::AppendText(int window, int control, const std::string& text) {
    // Called from the console reader thread too: SendMessage has the window's thread
    // run it, and a control whose window has closed is no longer found.
    if (HWND h = ControlHandle(window, control)) {
        int end = int(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0));
        SendMessageA(h, EM_SETSEL, WPARAM(end), LPARAM(end));
        SendMessageA(h, EM_REPLACESEL, FALSE, LPARAM(text.c_str()));
    }
}

size_t Win32Ui::GetTextLength(int window, int control) {
    HWND h = ControlHandle(window, control);
    return h ? size_t(SendMessageA(h, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

namespace {

bool IsComboKind(const ControlKind* kind) {
    return kind && (*kind == ControlKind::ComboBox || *kind == ControlKind::ComboList);
}

}  // namespace

void Win32Ui::AddItem(int window, int control, const std::string& text) {
    HWND h = ControlHandle(window, control);
    if (!h) return;
    SendMessageA(h, IsComboKind(KindOf(Find(window), control)) ? CB_ADDSTRING : LB_ADDSTRING, 0,
                 LPARAM(text.c_str()));
}

void Win32Ui::ClearItems(int window, int control) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h,
                     IsComboKind(KindOf(Find(window), control)) ? CB_RESETCONTENT : LB_RESETCONTENT,
                     0, 0);
}

void Win32Ui::InsertItem(int window, int control, int index, const std::string& text) {
    HWND h = ControlHandle(window, control);
    if (!h) return;
    if (index < 0 || index > ItemCount(window, control)) index = -1;  // -1: at the end
    SendMessageA(h, IsComboKind(KindOf(Find(window), control)) ? CB_INSERTSTRING : LB_INSERTSTRING,
                 WPARAM(index), LPARAM(text.c_str()));
}

void Win32Ui::DeleteItem(int window, int control, int index) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h,
                     IsComboKind(KindOf(Find(window), control)) ? CB_DELETESTRING : LB_DELETESTRING,
                     WPARAM(index), 0);
}

void Win32Ui::SetItemText(int window, int control, int index, const std::string& text) {
    HWND h = ControlHandle(window, control);
    if (!h || index < 0 || index >= ItemCount(window, control)) return;
    const bool combo = IsComboKind(KindOf(Find(window), control));
    const LRESULT selected = SendMessageA(h, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    const LRESULT top = combo ? 0 : SendMessageA(h, LB_GETTOPINDEX, 0, 0);
    const LRESULT caret = combo ? 0 : SendMessageA(h, LB_GETCARETINDEX, 0, 0);
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    SendMessageA(h, combo ? CB_DELETESTRING : LB_DELETESTRING, WPARAM(index), 0);
    SendMessageA(h, combo ? CB_INSERTSTRING : LB_INSERTSTRING, WPARAM(index), LPARAM(text.c_str()));
    SendMessageA(h, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(selected), 0);
    if (!combo) {
        SendMessageA(h, LB_SETTOPINDEX, WPARAM(top), 0);
        SendMessageA(h, LB_SETCARETINDEX, WPARAM(caret), FALSE);
    }
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
}

int Win32Ui::ItemCount(int window, int control) {
    HWND h = ControlHandle(window, control);
    if (!h) return 0;
    return int(SendMessageA(
        h, IsComboKind(KindOf(Find(window), control)) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
}

std::string Win32Ui::ItemText(int window, int control, int index) {
    HWND h = ControlHandle(window, control);
    if (!h) return std::string();
    const bool combo = IsComboKind(KindOf(Find(window), control));
    int len = int(SendMessageA(h, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(index), 0));
    if (len < 0) return std::string();
    std::string text(size_t(len) + 1, '\0');
    SendMessageA(h, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(index), LPARAM(&text[0]));
    text.resize(strlen(text.c_str()));
    return text;
}

void Win32Ui::SetSelection(int window, int control, int index) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h, IsComboKind(KindOf(Find(window), control)) ? CB_SETCURSEL : LB_SETCURSEL,
                     WPARAM(index), 0);
}

int Win32Ui::GetSelection(int window, int control) {
    HWND h = ControlHandle(window, control);
    if (!h) return -1;
    return int(SendMessageA(
        h, IsComboKind(KindOf(Find(window), control)) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

void Win32Ui::SetColumnHeader(int window, int control, int column, const std::string& text) {
    HWND h = ControlHandle(window, control);
    if (!h) return;
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT;
    c.pszText = const_cast<char*>(text.c_str());
    SendMessageA(h, LVM_SETCOLUMNA, WPARAM(column), LPARAM(&c));
}

std::string Win32Ui::GetColumnHeader(int window, int control, int column) {
    HWND h = ControlHandle(window, control);
    if (!h) return std::string();
    char buffer[256] = {};
    LVCOLUMNA c = {};
    c.mask = LVCF_TEXT;
    c.pszText = buffer;
    c.cchTextMax = sizeof buffer;
    SendMessageA(h, LVM_GETCOLUMNA, WPARAM(column), LPARAM(&c));
    return buffer;
}

int Win32Ui::AddRow(int window, int control, const std::vector<std::string>& cells) {
    HWND h = ControlHandle(window, control);
    if (!h || cells.empty()) return -1;
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = int(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<char*>(cells[0].c_str());
    int row = int(SendMessageA(h, LVM_INSERTITEMA, 0, LPARAM(&item)));
    for (size_t i = 1; i < cells.size(); ++i) SetCell(window, control, row, int(i), cells[i]);
    return row;
}

void Win32Ui::SetCell(int window, int control, int row, int column, const std::string& text) {
    HWND h = ControlHandle(window, control);
    if (!h) return;
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(h, LVM_SETITEMTEXTA, WPARAM(row), LPARAM(&item));
}

void Win32Ui::DeleteRow(int window, int control, int row) {
    if (HWND h = ControlHandle(window, control)) SendMessageA(h, LVM_DELETEITEM, WPARAM(row), 0);
}

void Win32Ui::DeleteAllRows(int window, int control) {
    if (HWND h = ControlHandle(window, control)) SendMessageA(h, LVM_DELETEALLITEMS, 0, 0);
}

int Win32Ui::RowCount(int window, int control) {
    HWND h = ControlHandle(window, control);
    return h ? int(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string Win32Ui::Cell(int window, int control, int row, int column) {
    HWND h = ControlHandle(window, control);
    if (!h) return std::string();
    char buffer[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(h, LVM_GETITEMTEXTA, WPARAM(row), LPARAM(&item));
    return buffer;
}

namespace {

// The popup holding a menu item of a window, null when the window has no such item.
HMENU MenuHolding(Win32Ui::WindowData* w, int item) {
    if (!w) return nullptr;
    auto parent = w->itemParents.find(item);
    return parent == w->itemParents.end() ? nullptr : parent->second;
}

}  // namespace

void Win32Ui::SetMenuItemText(int window, int item, const std::string& text) {
    HMENU menu = MenuHolding(Find(window), item);
    if (!menu) return;
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<char*>(text.c_str());
    SetMenuItemInfoA(menu, UINT(item), FALSE, &info);
}

std::string Win32Ui::GetMenuItemText(int window, int item) {
    HMENU menu = MenuHolding(Find(window), item);
    if (!menu) return std::string();
    char buffer[256] = {};
    GetMenuStringA(menu, UINT(item), buffer, sizeof buffer, MF_BYCOMMAND);
    return buffer;
}

void Win32Ui::EnableMenuItem(int window, int item, bool enabled) {
    if (HMENU menu = MenuHolding(Find(window), item))
        ::EnableMenuItem(menu, UINT(item), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool Win32Ui::IsMenuItemEnabled(int window, int item) {
    HMENU menu = MenuHolding(Find(window), item);
    return menu && !(GetMenuState(menu, UINT(item), MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

void Win32Ui::CheckMenuItem(int window, int item, bool checked) {
    if (HMENU menu = MenuHolding(Find(window), item))
        ::CheckMenuItem(menu, UINT(item), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool Win32Ui::IsMenuItemChecked(int window, int item) {
    HMENU menu = MenuHolding(Find(window), item);
    return menu && (GetMenuState(menu, UINT(item), MF_BYCOMMAND) & MF_CHECKED);
}

void Win32Ui::PopupMenu(int window, int menu, int x, int y) {
    WindowData* w = Find(window);
    if (!w || !w->menus.count(menu)) return;
    // The window may be gone once the menu's own message loop returns.
    HWND hwnd = w->hwnd;
    SetForegroundWindow(hwnd);
    TrackPopupMenu(w->menus[menu], TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, hwnd,
                   nullptr);
    PostMessageA(hwnd, WM_NULL, 0, 0);
}

void Win32Ui::GetCursorPos(int* x, int* y) {
    POINT p = {};
    ::GetCursorPos(&p);
    *x = p.x;
    *y = p.y;
}
