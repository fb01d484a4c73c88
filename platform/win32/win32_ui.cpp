#include "platform/win32/win32_ui.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include "platform/win32/no_win_macros.h"

#include <vector>

#include "common/win_window.h"
#include "platform/win32/win32_window.h"

using namespace win32ui;

namespace {

const char kWindowClass[] = "StarBridgeWindow";
const UINT kTrayMessage = WM_APP + 1;
const UINT kFirstActivateMessage = WM_APP + 2;
const UINT kTrayIconId = 1;

// GBK (the ANSI code page) to UTF-16, as CreateWindowExA would convert a caption.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

void AppendMenuItems(HMENU menu, const std::vector<MenuItemDesc>& items,
                     std::map<int, HMENU>& parents) {
    for (const MenuItemDesc& item : items) {
        if (!item.children.empty()) {
            HMENU sub = CreatePopupMenu();
            AppendMenuItems(sub, item.children, parents);
            AppendMenuA(menu, MF_POPUP | MF_STRING, UINT_PTR(sub), item.caption.c_str());
        } else if (item.id == 0) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuA(menu, MF_STRING, UINT_PTR(item.id), item.caption.c_str());
            parents[item.id] = menu;
        }
    }
}

BOOL CALLBACK FindOwnVisibleWindow(HWND hwnd, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

Win32Ui::Win32Ui(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX common = {
        sizeof common, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&common);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = CreateFontIndirectA(&metrics.lfMessageFont);
    ownsFont_ = font_ != nullptr;
    if (!font_) font_ = HFONT(GetStockObject(DEFAULT_GUI_FONT));
    panelBrush_ = CreateSolidBrush(kPanelColour);
    backgroundBrush_ = CreateSolidBrush(kBackgroundColour);
    titleBrush_ = CreateSolidBrush(kTitleColour);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(1));
    if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kWindowClass;
    RegisterClassExA(&wc);  // fails harmlessly when an earlier Win32Ui registered it
}

Win32Ui::~Win32Ui() {
    RemoveTrayIcons();
    // Windows still open go now, quietly: whoever handled their events may be gone.
    std::vector<HWND> open;
    for (auto& entry : windows_) {
        entry.second->events = nullptr;
        open.push_back(entry.second->hwnd);
    }
    for (HWND hwnd : open) ::DestroyWindow(hwnd);
    for (HGDIOBJ object : {HGDIOBJ(panelBrush_), HGDIOBJ(backgroundBrush_), HGDIOBJ(titleBrush_)})
        if (object) DeleteObject(object);
    if (ownsFont_) DeleteObject(font_);
}

void Win32Ui::RemoveTrayIcons() {
    for (auto& entry : windows_) {
        WindowData& w = *entry.second;
        if (w.trayAdded) Shell_NotifyIconA(NIM_DELETE, &w.tray);
        w.trayAdded = false;
    }
}

Win32Ui::WindowData* Win32Ui::Find(int window) {
    std::lock_guard<std::mutex> hold(windowsLock_);
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

HWND Win32Ui::ControlHandle(int window, int control) {
    std::lock_guard<std::mutex> hold(windowsLock_);
    auto w = windows_.find(window);
    if (w == windows_.end()) return nullptr;
    auto it = w->second->controls.find(control);
    return it == w->second->controls.end() ? nullptr : it->second;
}

const ControlKind* Win32Ui::KindOf(WindowData* w, int control) {
    if (!w) return nullptr;
    auto kind = w->kinds.find(control);
    return kind == w->kinds.end() ? nullptr : &kind->second;
}

bool Win32Ui::CreateWindowFrom(const WindowDesc& desc, UiEvents* events) {
    // An ID names one window: a window still open under it closes first, so that
    // nothing of the old one (its messages, its data) outlives the name.
    if (WindowData* old = Find(desc.id)) {
        ::DestroyWindow(old->hwnd);
        if (Find(desc.id)) return false;  // it could not be closed from this thread
    }
    auto data = std::make_unique<WindowData>();
    data->ui = this;
    data->desc = desc;
    data->events = events;
    WindowData* w = data.get();
    for (const MenuDesc& menu : desc.menus) {
        HMENU popup = CreatePopupMenu();
        AppendMenuItems(popup, menu.items, w->itemParents);
        w->menus[menu.id] = popup;
    }
    {
        std::lock_guard<std::mutex> hold(windowsLock_);
        windows_[desc.id] = std::move(data);
    }

    DWORD style = desc.frameless ? (WS_POPUP | WS_MINIMIZEBOX | WS_SYSMENU | WS_CLIPCHILDREN)
                                 : (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN);
    HWND hwnd =
        CreateWindowExA(0, kWindowClass, desc.caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                        desc.width, desc.height, nullptr, nullptr, instance_, w);
    // A window that failed after WM_NCCREATE was forgotten at its WM_NCDESTROY.
    if (!hwnd && Find(desc.id) == w) ForgetWindow(w);
    return hwnd != nullptr;
}

void Win32Ui::ForgetWindow(WindowData* w) {
    std::unique_ptr<WindowData> gone;
    {
        std::lock_guard<std::mutex> hold(windowsLock_);
        auto it = windows_.find(w->desc.id);
        if (it == windows_.end() || it->second.get() != w) return;
        gone = std::move(it->second);
        windows_.erase(it);
    }
    if (gone->trayAdded) Shell_NotifyIconA(NIM_DELETE, &gone->tray);
    // Destroying a popup destroys the popups inside it.
    for (auto& menu : gone->menus) DestroyMenu(menu.second);
}

void Win32Ui::CreateControls(WindowData& w) {
    for (const ControlDesc& c : w.desc.controls) {
        w.kinds[c.id] = c.kind;
        w.pictures[c.id] = c.picture;
        if (c.kind == ControlKind::PictureBox) {
            w.pictureRects[c.id] = c.rect;
            w.pictureShown[c.id] = c.visible;
            continue;
        }
        const wchar_t* cls = L"STATIC";
        DWORD style = 0;
        DWORD exStyle = 0;
        int height = c.rect.height;
        switch (c.kind) {
            case ControlKind::Label:
                style |= SS_LEFT;
                break;
            case ControlKind::LinkLabel:
                style |= SS_LEFT | SS_NOTIFY;
                break;
            case ControlKind::Button:
                cls = L"BUTTON";
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
            case ControlKind::PictureButton:
                cls = L"BUTTON";
                style |= BS_OWNERDRAW | WS_TABSTOP;
                break;
            case ControlKind::CheckBox:
                cls = L"BUTTON";
                style |= BS_AUTOCHECKBOX | WS_TABSTOP;
                break;
            case ControlKind::RadioBox:
                cls = L"BUTTON";
                style |= BS_AUTORADIOBUTTON | (c.groupStart ? WS_GROUP | WS_TABSTOP : 0);
                break;
            case ControlKind::ComboBox:
                cls = L"COMBOBOX";
                style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
                height = c.rect.height < 120 ? 200 : c.rect.height;
                break;
            case ControlKind::ComboList:
                cls = L"COMBOBOX";
                style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
                height = c.rect.height < 120 ? 200 : c.rect.height;
                break;
            case ControlKind::Edit:
                cls = L"EDIT";
                style |= ES_AUTOHSCROLL | WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::MultiLineEdit:
                cls = L"EDIT";
                style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::ListView:
                // The chosen row stays highlighted while another control has the focus.
                cls = WC_LISTVIEWW;
                style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::ListBox:
                cls = L"LISTBOX";
                style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::PictureBox:
                break;
            case ControlKind::ProgressBar:
                cls = PROGRESS_CLASSW;
                break;
        }
        if (c.visible) style |= WS_VISIBLE;
        if (!c.enabled) style |= WS_DISABLED;
        const bool captioned = c.kind != ControlKind::ListView && c.kind != ControlKind::ListBox &&
                               c.kind != ControlKind::ProgressBar &&
                               c.kind != ControlKind::ComboBox && c.kind != ControlKind::ComboList;
        HWND control =
            engine::MakeChildWindow(w.hwnd, cls, captioned ? Wide(c.caption) : L"", style, exStyle,
                                    c.rect.left, c.rect.top, c.rect.width, height, c.id, font_);
        {
            std::lock_guard<std::mutex> hold(windowsLock_);
            w.controls[c.id] = control;
        }
        if (c.checked) SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
        if (c.kind == ControlKind::PictureButton) MakePictureButton(control);
        if (c.kind == ControlKind::ListView) {
            SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                         LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
            for (size_t i = 0; i < c.items.size(); ++i) {
                LVCOLUMNA column = {};
                column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
                column.cx = i < c.columnWidths.size() ? c.columnWidths[i] : 70;
                column.pszText = const_cast<char*>(c.items[i].c_str());
                column.iSubItem = int(i);
                SendMessageA(control, LVM_INSERTCOLUMNA, i, LPARAM(&column));
            }
        } else if (!captioned) {
            for (const std::string& item : c.items) AddItem(w.desc.id, c.id, item);
            if (c.selection >= 0) SetSelection(w.desc.id, c.id, c.selection);
        }
    }
}

void Win32Ui::AddTrayIcon(WindowData& w) {
    w.tray.cbSize = sizeof w.tray;
    w.tray.hWnd = w.hwnd;
    w.tray.uID = kTrayIconId;
    w.tray.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    w.tray.uCallbackMessage = kTrayMessage;
    w.tray.hIcon = HICON(GetClassLongPtrA(w.hwnd, GCLP_HICON));
    CopyCut(w.tray.szTip, w.desc.caption);
    w.trayAdded = Shell_NotifyIconA(NIM_ADD, &w.tray) != FALSE;
}

LRESULT CALLBACK Win32Ui::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* w =
            static_cast<WindowData*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(w));
    }
    auto* w = reinterpret_cast<WindowData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!w) return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The last message of the window: from here its ID finds nothing, and a message
        // that still reaches the handle goes straight to DefWindowProc.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        w->ui->ForgetWindow(w);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return w->ui->Handle(*w, message, wParam, lParam);
}

// Every case that hands the message to UiEvents returns at once afterwards: the handler
// may have closed the window, and w with it.
LRESULT Win32Ui::Handle(WindowData& w, UINT message, WPARAM wParam, LPARAM lParam) {
    const int id = w.desc.id;
    HWND hwnd = w.hwnd;
    switch (message) {
        case WM_CREATE:
            CreateControls(w);
            if (w.desc.trayIcon) AddTrayIcon(w);
            if (w.events) w.events->OnCreate(id);
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !w.activatedOnce) {
                w.activatedOnce = true;
                // Handled after activation completes, so a message box can come up.
                PostMessageA(hwnd, kFirstActivateMessage, 0, 0);
            }
            break;
        case kFirstActivateMessage:
            if (w.events) w.events->OnFirstActivate(id);
            return 0;
        case WM_COMMAND: {
            const int control = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (lParam == 0) {  // a menu item
                if (w.events) w.events->OnMenu(id, control);
                return 0;
            }
            const ControlKind* kind = KindOf(&w, control);
            if (!kind || !w.events) return 0;
            switch (*kind) {
                case ControlKind::ComboBox:
                case ControlKind::ComboList:
                    if (code == CBN_SELCHANGE) w.events->OnControl(id, control);
                    break;
                case ControlKind::ListBox:
                    if (code == LBN_SELCHANGE) w.events->OnControl(id, control);
                    break;
                case ControlKind::Edit:
                case ControlKind::MultiLineEdit:
                    break;
                case ControlKind::Label:
                case ControlKind::LinkLabel:
                    if (code == STN_CLICKED) w.events->OnControl(id, control);
                    break;
                default:
                    if (code == BN_CLICKED) w.events->OnControl(id, control);
                    break;
            }
            return 0;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if ((header->code == NM_CLICK || header->code == NM_RCLICK) && w.events) {
                auto* item = reinterpret_cast<NMITEMACTIVATE*>(lParam);
                w.events->OnListClick(id, int(header->idFrom), item->iItem,
                                      header->code == NM_RCLICK);
            }
            return 0;
        }
        case WM_CONTEXTMENU: {
            // A right click on a list box reports its selected row.
            HWND child = HWND(wParam);
            const int control = GetDlgCtrlID(child);
            const ControlKind* kind = child != hwnd ? KindOf(&w, control) : nullptr;
            if (kind && *kind == ControlKind::ListBox && w.events) {
                w.events->OnListClick(id, control, int(SendMessageA(child, LB_GETCURSEL, 0, 0)),
                                      true);
                return 0;
            }
            break;
        }
        case kTrayMessage:
            if (lParam == WM_RBUTTONUP && w.events) w.events->OnTrayRightClick(id);
            return 0;
        case WM_TIMER:
            if (w.events) w.events->OnTimer(id, int(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            return LRESULT(StaticColours(w, HDC(wParam), HWND(lParam)));
        case WM_ERASEBKGND:
            PaintBackground(w, HDC(wParam));
            return 1;
        case WM_DRAWITEM:
            DrawPictureButton(w, *reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_PAINT:
            PaintTitle(w);
            return 0;
        case WM_NCHITTEST: {
            // A window without a system frame is moved by dragging its title strip.
            LRESULT hit = DefWindowProcA(hwnd, message, wParam, lParam);
            if (hit == HTCLIENT && w.desc.frameless) {
                POINT p = {short(LOWORD(lParam)), short(HIWORD(lParam))};
                ScreenToClient(hwnd, &p);
                if (p.y < kTitleStripHeight) return HTCAPTION;
            }
            return hit;
        }
        case WM_SYSCOMMAND:
            // Alt+F4, the system menu's Close and the taskbar's close: the program
            // decides, as for WM_CLOSE; the window is never destroyed here.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                if (w.events) w.events->OnClose(id);
                return 0;
            }
            break;
        case WM_CLOSE:
            if (w.events) w.events->OnClose(id);
            return 0;
        case WM_DESTROY:
            if (w.trayAdded) Shell_NotifyIconA(NIM_DELETE, &w.tray);
            w.trayAdded = false;
            if (w.events) w.events->OnDestroy(id);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Win32Ui::ShowWindow(int window, bool show) {
    if (WindowData* w = Find(window)) {
        ::ShowWindow(w->hwnd, show ? SW_SHOW : SW_HIDE);
        if (show) UpdateWindow(w->hwnd);
    }
}

void Win32Ui::MinimiseWindow(int window) {
    if (WindowData* w = Find(window)) ::ShowWindow(w->hwnd, SW_MINIMIZE);
}

void Win32Ui::DestroyWindow(int window) {
    if (WindowData* w = Find(window)) ::DestroyWindow(w->hwnd);
}

int Win32Ui::RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}

void Win32Ui::PumpPendingMessages() {
    engine::PumpWindowMessages();
}

void Win32Ui::SetWindowCaption(int window, const std::string& caption) {
    if (WindowData* w = Find(window)) {
        SetWindowTextA(w->hwnd, caption.c_str());
        InvalidateRect(w->hwnd, nullptr, TRUE);
    }
}

std::string Win32Ui::GetWindowCaption(int window) {
    WindowData* w = Find(window);
    if (!w) return std::string();
    char caption[512] = {};
    GetWindowTextA(w->hwnd, caption, sizeof caption);
    return caption;
}

Rect Win32Ui::GetWindowRect(int window) {
    WindowData* w = Find(window);
    RECT r = {};
    if (w) ::GetWindowRect(w->hwnd, &r);
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32Ui::MoveWindow(int window, const Rect& rect) {
    if (WindowData* w = Find(window)) {
        w->desc.width = rect.width;
        ::MoveWindow(w->hwnd, rect.left, rect.top, rect.width, rect.height, TRUE);
    }
}

void Win32Ui::GetScreenSize(int* width, int* height) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
}

WindowRef Win32Ui::OwnProcessWindow() {
    HWND found = nullptr;
    EnumWindows(FindOwnVisibleWindow, LPARAM(&found));
    return WindowRef(found);
}

int Win32Ui::MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                        unsigned flags) {
    return MessageBoxA(HWND(owner), text.c_str(), caption.c_str(), flags);
}

namespace {

// The list of menu items that holds the id, with its position, searched through submenus.
const std::vector<MenuItemDesc>* ItemListHolding(const std::vector<MenuItemDesc>& items, int id,
                                                 size_t* index) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].id == id && items[i].children.empty()) {
            *index = i;
            return &items;
        }
        if (const auto* inner = ItemListHolding(items[i].children, id, index)) return inner;
    }
    return nullptr;
}

int MenuPosition(HMENU menu, int id) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (int(GetMenuItemID(menu, i)) == id) return i;
    return -1;
}

}  // namespace

void Win32Ui::SetMenuItemVisible(int window, int item, bool visible) {
    WindowData* w = Find(window);
    if (!w) return;
    auto parentIt = w->itemParents.find(item);
    if (parentIt == w->itemParents.end()) return;
    HMENU parent = parentIt->second;
    const bool hidden = w->hiddenItems.count(item) != 0;
    if (!visible && !hidden) {
        const int position = MenuPosition(parent, item);
        if (position < 0) return;
        MENUITEMINFOA next = {};
        next.cbSize = sizeof next;
        next.fMask = MIIM_FTYPE;
        const bool separator = GetMenuItemInfoA(parent, UINT(position + 1), TRUE, &next) &&
                               (next.fType & MFT_SEPARATOR);
        if (separator) RemoveMenu(parent, UINT(position + 1), MF_BYPOSITION);
        RemoveMenu(parent, UINT(position), MF_BYPOSITION);
        w->hiddenItems[item] = separator;
        return;
    }
    if (!visible || !hidden) return;
    const bool separator = w->hiddenItems[item];
    w->hiddenItems.erase(item);
    // Back before the first later item of the description that is in the menu now.
    int position = GetMenuItemCount(parent);
    for (const MenuDesc& menu : w->desc.menus) {
        size_t index = 0;
        const auto* list = ItemListHolding(menu.items, item, &index);
        if (!list) continue;
        for (size_t i = index + 1; i < list->size(); ++i) {
            const int at = (*list)[i].id ? MenuPosition(parent, (*list)[i].id) : -1;
            if (at >= 0) {
                position = at;
                break;
            }
        }
        // The separator before that item stays where it is.
        if (position > 0 && position < GetMenuItemCount(parent)) {
            MENUITEMINFOA before = {};
            before.cbSize = sizeof before;
            before.fMask = MIIM_FTYPE;
            if (GetMenuItemInfoA(parent, UINT(position - 1), TRUE, &before) &&
                (before.fType & MFT_SEPARATOR) && separator)
                --position;
        }
        if (separator)
            InsertMenuA(parent, UINT(position), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        std::string caption;
        for (const MenuItemDesc& d : *list)
            if (d.id == item) caption = d.caption;
        InsertMenuA(parent, UINT(position), MF_BYPOSITION | MF_STRING, UINT_PTR(item),
                    caption.c_str());
        return;
    }
}

bool Win32Ui::IsMenuItemVisible(int window, int item) {
    WindowData* w = Find(window);
    return w && !w->hiddenItems.count(item);
}

namespace {

// The system's open or save dialog: the filter's parts separated by '|' become the zero
// bytes the dialog wants, ending in two.
std::string FileDialog(HWND owner, bool save, const std::string& title, const std::string& filter,
                       const std::string& defaultName, const std::string& startFolder) {
    std::string filterZ = filter;
    for (char& c : filterZ)
        if (c == '|') c = '\0';
    filterZ.append(2, '\0');
    char path[MAX_PATH] = {};
    CopyCut(path, defaultName);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterZ.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrInitialDir = startFolder.empty() ? nullptr : startFolder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!save) dialog.Flags |= OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
    if (!(save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog))) return std::string();
    return path;
}

}  // namespace

std::string Win32Ui::OpenFileDialog(int owner, const std::string& title, const std::string& filter,
                                    const std::string& startFolder) {
    WindowData* w = Find(owner);
    return FileDialog(w ? w->hwnd : nullptr, false, title, filter, std::string(), startFolder);
}

std::string Win32Ui::SaveFileDialog(int owner, const std::string& title, const std::string& filter,
                                    const std::string& defaultName) {
    WindowData* w = Find(owner);
    return FileDialog(w ? w->hwnd : nullptr, true, title, filter, defaultName, std::string());
}

void Win32Ui::SetProgress(int window, int control, int position) {
    HWND h = ControlHandle(window, control);
    if (h)
        SendMessageA(h, PBM_SETPOS, WPARAM(position < 0 ? 0 : position > 100 ? 100 : position), 0);
}

int Win32Ui::GetProgress(int window, int control) {
    HWND h = ControlHandle(window, control);
    return h ? int(SendMessageA(h, PBM_GETPOS, 0, 0)) : 0;
}

void Win32Ui::SetTrayTooltip(int window, const std::string& tooltip) {
    WindowData* w = Find(window);
    if (!w || !w->trayAdded) return;
    w->tray.uFlags = NIF_TIP;
    CopyCut(w->tray.szTip, tooltip);
    Shell_NotifyIconA(NIM_MODIFY, &w->tray);
}

void Win32Ui::ShowBalloon(int window, const std::string& title, const std::string& text,
                          int iconKind, unsigned timeoutMs) {
    WindowData* w = Find(window);
    if (!w || !w->trayAdded) return;
    w->tray.uFlags = NIF_INFO;
    CopyCut(w->tray.szInfoTitle, title);
    CopyCut(w->tray.szInfo, text);
    w->tray.uTimeout = timeoutMs;
    w->tray.dwInfoFlags = DWORD(iconKind);
    Shell_NotifyIconA(NIM_MODIFY, &w->tray);
}

void Win32Ui::SetTimer(int window, int timer, unsigned intervalMs) {
    if (WindowData* w = Find(window)) ::SetTimer(w->hwnd, UINT_PTR(timer), intervalMs, nullptr);
}

void Win32Ui::KillTimer(int window, int timer) {
    if (WindowData* w = Find(window)) ::KillTimer(w->hwnd, UINT_PTR(timer));
}
