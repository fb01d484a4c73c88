#include "platform/win32/win32_ui.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include "platform/win32/no_win_macros.h"

#include <cstdint>
#include <cstring>

#include "resources/skin.h"

namespace {

const char kWindowClass[] = "StarBridgeWindow";
const UINT kTrayMessage = WM_APP + 1;
const UINT kFirstActivateMessage = WM_APP + 2;
const UINT kTrayIconId = 1;
const int kTitleStripHeight = 28;
const COLORREF kPanelColour = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kTitleColour = RGB(0x22, 0x5D, 0xAB);

// Draws a skin picture stretched into dest, composited over a solid colour (the
// pictures carry premultiplied alpha). False when the picture does not exist.
bool DrawSkinPicture(HDC dc, const std::string& name, const RECT& dest, COLORREF under) {
    SkinPicture picture;
    if (!FindSkinPicture(name, &picture)) return false;
    std::vector<std::uint8_t> pixels(size_t(picture.width) * picture.height * 4);
    const unsigned underColour[3] = {GetBValue(under), GetGValue(under), GetRValue(under)};
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned alpha = picture.bgra[i + 3];
        for (int c = 0; c < 3; ++c)
            pixels[i + c] = std::uint8_t(picture.bgra[i + c] + underColour[c] * (255 - alpha) / 255);
        pixels[i + 3] = 255;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = LONG(picture.width);
    info.bmiHeader.biHeight = -LONG(picture.height);  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0,
                  int(picture.width), int(picture.height), pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
    return true;
}

// Picture buttons show a hover look: the button under the mouse, if any.
HWND hoveredButton = nullptr;
std::map<HWND, WNDPROC> buttonProcs;

LRESULT CALLBACK PictureButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE && hoveredButton != hwnd) {
        if (hoveredButton) InvalidateRect(hoveredButton, nullptr, FALSE);
        hoveredButton = hwnd;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if (message == WM_MOUSELEAVE && hoveredButton == hwnd) {
        hoveredButton = nullptr;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    WNDPROC original = buttonProcs[hwnd];
    if (message == WM_NCDESTROY) buttonProcs.erase(hwnd);
    return CallWindowProcA(original, hwnd, message, wParam, lParam);
}

// Copies text into a fixed char array, cut to fit and always terminated.
template <size_t N>
void CopyCut(char (&target)[N], const std::string& text) {
    size_t n = text.size() < N - 1 ? text.size() : N - 1;
    memcpy(target, text.data(), n);
    target[n] = '\0';
}

}  // namespace

struct Win32Ui::WindowData {
    Win32Ui* ui = nullptr;
    WindowDesc desc;
    UiEvents* events = nullptr;
    HWND hwnd = nullptr;
    std::map<int, HWND> controls;
    std::map<int, ControlKind> kinds;
    std::map<int, Rect> pictureRects;  // picture boxes are painted, not child windows
    std::map<int, bool> pictureShown;
    std::map<int, std::string> pictures;  // control -> picture or picture set
    std::map<int, HMENU> menus;        // by menu id
    std::map<int, HMENU> itemParents;  // menu item id -> the popup holding it
    bool activatedOnce = false;
    bool trayAdded = false;
    NOTIFYICONDATAA tray = {};
};

Win32Ui::Win32Ui(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    font_ = nullptr;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font_ = CreateFontIndirectA(&metrics.lfMessageFont);
    if (!font_) font_ = HFONT(GetStockObject(DEFAULT_GUI_FONT));

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
    RegisterClassExA(&wc);
}

Win32Ui::~Win32Ui() { RemoveTrayIcons(); }

void Win32Ui::RemoveTrayIcons() {
    for (auto& entry : windows_) {
        WindowData& w = *entry.second;
        if (w.trayAdded) Shell_NotifyIconA(NIM_DELETE, &w.tray);
        w.trayAdded = false;
    }
}

Win32Ui::WindowData* Win32Ui::Find(int window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

HWND Win32Ui::ControlHandle(int window, int control) {
    WindowData* w = Find(window);
    if (!w) return nullptr;
    auto it = w->controls.find(control);
    return it == w->controls.end() ? nullptr : it->second;
}

static void AppendMenuItems(HMENU menu, const std::vector<MenuItemDesc>& items,
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

bool Win32Ui::CreateWindowFrom(const WindowDesc& desc, UiEvents* events) {
    auto data = std::make_unique<WindowData>();
    data->ui = this;
    data->desc = desc;
    data->events = events;
    WindowData* w = data.get();
    windows_[desc.id] = std::move(data);

    for (const MenuDesc& menu : desc.menus) {
        HMENU popup = CreatePopupMenu();
        AppendMenuItems(popup, menu.items, w->itemParents);
        w->menus[menu.id] = popup;
    }

    DWORD style = desc.frameless ? (WS_POPUP | WS_MINIMIZEBOX | WS_SYSMENU | WS_CLIPCHILDREN)
                                 : (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN);
    HWND hwnd = CreateWindowExA(0, kWindowClass, desc.caption.c_str(), style, CW_USEDEFAULT,
                                CW_USEDEFAULT, desc.width, desc.height, nullptr, nullptr,
                                instance_, w);
    return hwnd != nullptr;
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
        const char* cls = "STATIC";
        DWORD style = WS_CHILD;
        DWORD exStyle = 0;
        int height = c.rect.height;
        switch (c.kind) {
            case ControlKind::Label: style |= SS_LEFT; break;
            case ControlKind::LinkLabel: style |= SS_LEFT | SS_NOTIFY; break;
            case ControlKind::Button:
                cls = "BUTTON";
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
            case ControlKind::PictureButton:
                cls = "BUTTON";
                style |= BS_OWNERDRAW | WS_TABSTOP;
                break;
            case ControlKind::CheckBox:
                cls = "BUTTON";
                style |= BS_AUTOCHECKBOX | WS_TABSTOP;
                break;
            case ControlKind::RadioBox:
                cls = "BUTTON";
                style |= BS_AUTORADIOBUTTON | (c.groupStart ? WS_GROUP | WS_TABSTOP : 0);
                break;
            case ControlKind::ComboBox:
                cls = "COMBOBOX";
                style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
                height = c.rect.height < 120 ? 200 : c.rect.height;
                break;
            case ControlKind::ComboList:
                cls = "COMBOBOX";
                style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
                height = c.rect.height < 120 ? 200 : c.rect.height;
                break;
            case ControlKind::Edit:
                cls = "EDIT";
                style |= ES_AUTOHSCROLL | WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::MultiLineEdit:
                cls = "EDIT";
                style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::ListView:
                cls = WC_LISTVIEWA;
                style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::ListBox:
                cls = "LISTBOX";
                style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::PictureBox: break;
        }
        if (c.visible) style |= WS_VISIBLE;
        if (!c.enabled) style |= WS_DISABLED;
        const bool captioned = c.kind != ControlKind::ListView && c.kind != ControlKind::ListBox &&
                               c.kind != ControlKind::ComboBox && c.kind != ControlKind::ComboList;
        HWND control = CreateWindowExA(exStyle, cls, captioned ? c.caption.c_str() : "", style,
                                       c.rect.left, c.rect.top, c.rect.width, height, w.hwnd,
                                       HMENU(INT_PTR(c.id)), instance_, nullptr);
        SendMessageA(control, WM_SETFONT, WPARAM(font_), TRUE);
        w.controls[c.id] = control;
        if (c.checked) SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
        if (c.kind == ControlKind::PictureButton)
            buttonProcs[control] = WNDPROC(
                SetWindowLongPtrA(control, GWLP_WNDPROC, LONG_PTR(PictureButtonProc)));
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
        auto* w = static_cast<WindowData*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(w));
    }
    auto* w = reinterpret_cast<WindowData*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!w) return DefWindowProcA(hwnd, message, wParam, lParam);
    return w->ui->Handle(*w, message, wParam, lParam);
}

LRESULT Win32Ui::Handle(WindowData& w, UINT message, WPARAM wParam, LPARAM lParam) {
    const int id = w.desc.id;
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
                PostMessageA(w.hwnd, kFirstActivateMessage, 0, 0);
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
            auto kind = w.kinds.find(control);
            if (kind == w.kinds.end() || !w.events) return 0;
            switch (kind->second) {
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
        case kTrayMessage:
            if (lParam == WM_RBUTTONUP && w.events) w.events->OnTrayRightClick(id);
            return 0;
        case WM_TIMER:
            if (w.events) w.events->OnTimer(id, int(wParam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = HDC(wParam);
            SetBkMode(dc, TRANSPARENT);
            int control = GetDlgCtrlID(HWND(lParam));
            auto kind = w.kinds.find(control);
            if (kind != w.kinds.end() && kind->second == ControlKind::LinkLabel)
                SetTextColor(dc, RGB(0x1F, 0x5F, 0xBF));
            else
                SetTextColor(dc, RGB(0x22, 0x2A, 0x35));
            static HBRUSH panel = CreateSolidBrush(kPanelColour);
            return LRESULT(panel);
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(w.hwnd, &r);
            static HBRUSH background = CreateSolidBrush(RGB(0xF3, 0xF6, 0xFA));
            static HBRUSH title = CreateSolidBrush(kTitleColour);
            FillRect(HDC(wParam), &r, background);
            if (w.desc.frameless) {
                RECT strip = r;
                strip.bottom = kTitleStripHeight;
                FillRect(HDC(wParam), &strip, title);
            }
            for (const ControlDesc& c : w.desc.controls) {
                if (c.kind != ControlKind::PictureBox || !w.pictureShown[c.id]) continue;
                const Rect& box = w.pictureRects[c.id];
                RECT dest = {box.left, box.top, box.left + box.width, box.top + box.height};
                DrawSkinPicture(HDC(wParam), w.pictures[c.id], dest, kPanelColour);
            }
            return 1;
        }
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            const int control = int(item->CtlID);
            const std::string set = w.pictures[control];
            const char* look = (item->itemState & ODS_DISABLED)   ? "_disabled"
                               : (item->itemState & ODS_SELECTED) ? "_pressed"
                               : (item->hwndItem == hoveredButton) ? "_hover"
                                                                   : "_normal";
            RECT r = item->rcItem;
            RECT onParent = r;
            MapWindowPoints(item->hwndItem, w.hwnd, reinterpret_cast<POINT*>(&onParent), 2);
            const COLORREF under = onParent.top < kTitleStripHeight ? kTitleColour : kPanelColour;
            HBRUSH fill = CreateSolidBrush(under);
            FillRect(item->hDC, &r, fill);
            DeleteObject(fill);
            DrawSkinPicture(item->hDC, set + look, r, under);
            char caption[128] = {};
            GetWindowTextA(item->hwndItem, caption, sizeof caption);
            const bool light = set.compare(0, 6, "browse") == 0;
            SetBkMode(item->hDC, TRANSPARENT);
            SetTextColor(item->hDC, (item->itemState & ODS_DISABLED) ? RGB(0x80, 0x88, 0x94)
                                    : light ? RGB(0x22, 0x2A, 0x35)
                                            : RGB(0xFF, 0xFF, 0xFF));
            HGDIOBJ old = SelectObject(item->hDC, font_);
            DrawTextA(item->hDC, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(item->hDC, old);
            return TRUE;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w.hwnd, &ps);
            if (w.desc.frameless) {
                char caption[256] = {};
                GetWindowTextA(w.hwnd, caption, sizeof caption);
                HGDIOBJ old = SelectObject(dc, font_);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
                RECT text = {10, 0, w.desc.width - 100, kTitleStripHeight};
                DrawTextA(dc, caption, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
                SelectObject(dc, old);
            }
            EndPaint(w.hwnd, &ps);
            return 0;
        }
        case WM_NCHITTEST: {
            // A window without a system frame is moved by dragging its title strip.
            LRESULT hit = DefWindowProcA(w.hwnd, message, wParam, lParam);
            if (hit == HTCLIENT && w.desc.frameless) {
                POINT p = {short(LOWORD(lParam)), short(HIWORD(lParam))};
                ScreenToClient(w.hwnd, &p);
                if (p.y < kTitleStripHeight) return HTCAPTION;
            }
            return hit;
        }
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
    return DefWindowProcA(w.hwnd, message, wParam, lParam);
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
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
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

static BOOL CALLBACK FindOwnVisibleWindow(HWND hwnd, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

WindowRef Win32Ui::OwnProcessWindow() {
    HWND found = nullptr;
    EnumWindows(FindOwnVisibleWindow, LPARAM(&found));
    return WindowRef(found);
}

void Win32Ui::SetText(int window, int control, const std::string& text) {
    if (HWND h = ControlHandle(window, control)) SendMessageA(h, WM_SETTEXT, 0, LPARAM(text.c_str()));
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
    // SendMessage is safe from the console reader thread: the window thread runs it.
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

static bool IsCombo(Win32Ui::WindowData* w, int control) {
    if (!w) return false;
    auto kind = w->kinds.find(control);
    return kind != w->kinds.end() &&
           (kind->second == ControlKind::ComboBox || kind->second == ControlKind::ComboList);
}

void Win32Ui::AddItem(int window, int control, const std::string& text) {
    HWND h = ControlHandle(window, control);
    if (!h) return;
    SendMessageA(h, IsCombo(Find(window), control) ? CB_ADDSTRING : LB_ADDSTRING, 0,
                 LPARAM(text.c_str()));
}

void Win32Ui::ClearItems(int window, int control) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h, IsCombo(Find(window), control) ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
}

int Win32Ui::ItemCount(int window, int control) {
    HWND h = ControlHandle(window, control);
    if (!h) return 0;
    return int(SendMessageA(h, IsCombo(Find(window), control) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
}

std::string Win32Ui::ItemText(int window, int control, int index) {
    HWND h = ControlHandle(window, control);
    if (!h) return std::string();
    const bool combo = IsCombo(Find(window), control);
    int len = int(SendMessageA(h, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(index), 0));
    if (len < 0) return std::string();
    std::string text(size_t(len) + 1, '\0');
    SendMessageA(h, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(index), LPARAM(&text[0]));
    text.resize(strlen(text.c_str()));
    return text;
}

void Win32Ui::SetSelection(int window, int control, int index) {
    if (HWND h = ControlHandle(window, control))
        SendMessageA(h, IsCombo(Find(window), control) ? CB_SETCURSEL : LB_SETCURSEL,
                     WPARAM(index), 0);
}

int Win32Ui::GetSelection(int window, int control) {
    HWND h = ControlHandle(window, control);
    if (!h) return -1;
    return int(SendMessageA(h, IsCombo(Find(window), control) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
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

void Win32Ui::SetMenuItemText(int window, int item, const std::string& text) {
    WindowData* w = Find(window);
    if (!w || !w->itemParents.count(item)) return;
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<char*>(text.c_str());
    SetMenuItemInfoA(w->itemParents[item], UINT(item), FALSE, &info);
}

std::string Win32Ui::GetMenuItemText(int window, int item) {
    WindowData* w = Find(window);
    if (!w || !w->itemParents.count(item)) return std::string();
    char buffer[256] = {};
    GetMenuStringA(w->itemParents[item], UINT(item), buffer, sizeof buffer, MF_BYCOMMAND);
    return buffer;
}

void Win32Ui::EnableMenuItem(int window, int item, bool enabled) {
    WindowData* w = Find(window);
    if (!w || !w->itemParents.count(item)) return;
    ::EnableMenuItem(w->itemParents[item], UINT(item), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool Win32Ui::IsMenuItemEnabled(int window, int item) {
    WindowData* w = Find(window);
    if (!w || !w->itemParents.count(item)) return false;
    UINT state = GetMenuState(w->itemParents[item], UINT(item), MF_BYCOMMAND);
    return !(state & (MF_GRAYED | MF_DISABLED));
}

void Win32Ui::CheckMenuItem(int window, int item, bool checked) {
    WindowData* w = Find(window);
    if (!w || !w->itemParents.count(item)) return;
    ::CheckMenuItem(w->itemParents[item], UINT(item), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool Win32Ui::IsMenuItemChecked(int window, int item) {
    WindowData* w = Find(window);
    if (!w || !w->itemParents.count(item)) return false;
    return GetMenuState(w->itemParents[item], UINT(item), MF_BYCOMMAND) & MF_CHECKED;
}

void Win32Ui::PopupMenu(int window, int menu, int x, int y) {
    WindowData* w = Find(window);
    if (!w || !w->menus.count(menu)) return;
    SetForegroundWindow(w->hwnd);
    TrackPopupMenu(w->menus[menu], TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0,
                   w->hwnd, nullptr);
    PostMessageA(w->hwnd, WM_NULL, 0, 0);
}

void Win32Ui::GetCursorPos(int* x, int* y) {
    POINT p = {};
    ::GetCursorPos(&p);
    *x = p.x;
    *y = p.y;
}

int Win32Ui::MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                        unsigned flags) {
    return MessageBoxA(HWND(owner), text.c_str(), caption.c_str(), flags);
}

std::string Win32Ui::SaveFileDialog(int owner, const std::string& title,
                                    const std::string& filter, const std::string& defaultName) {
    // The dialog wants the filter's parts separated by zero bytes, ending in two.
    std::string filterZ = filter;
    for (char& c : filterZ)
        if (c == '|') c = '\0';
    filterZ.append(2, '\0');
    char path[MAX_PATH] = {};
    CopyCut(path, defaultName);
    WindowData* w = Find(owner);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = w ? w->hwnd : nullptr;
    dialog.lpstrFilter = filterZ.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&dialog)) return std::string();
    return path;
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
