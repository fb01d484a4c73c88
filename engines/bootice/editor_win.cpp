// The editor windows: thin Win32 views over BcdEditor and MenuEditor, which hold all the
// logic and are tested natively.
#include <windows.h>

#include <string>
#include <vector>

#include "common/console_out.h"
#include "engines/bootice/bcd_editor.h"
#include "engines/bootice/bootice_cli.h"
#include "engines/bootice/menu_editor.h"

namespace bootice {

namespace {

using engine::WideFromUtf8;

enum ControlId {
    kIdList = 100,
    kIdElements,
    kIdDescription,
    kIdDevice,
    kIdPath,
    kIdTimeout,
    kIdValue,
    kIdApply,
    kIdDefault,
    kIdDelete,
    kIdSetTimeout,
    kIdSetValue,
    kIdSave,
    kIdClose,
    kIdText,
};

HFONT UiFont() {
    static HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return font;
}

HWND Make(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y,
          int w, int h, int id) {
    HWND c = CreateWindowExW(
        cls == std::wstring(L"EDIT") || cls == std::wstring(L"LISTBOX") ? WS_EX_CLIENTEDGE : 0, cls,
        WideFromUtf8(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
        reinterpret_cast<HMENU>(INT_PTR(id)), nullptr, nullptr);
    SendMessageW(c, WM_SETFONT, WPARAM(UiFont()), TRUE);
    return c;
}

std::string TextOf(HWND control) {
    int n = GetWindowTextLengthW(control);
    std::wstring w(size_t(n) + 1, L'\0');
    GetWindowTextW(control, &w[0], n + 1);
    w.resize(size_t(n));
    return engine::Utf8FromWide(w);
}

void SetText(HWND control, const std::string& utf8) {
    SetWindowTextW(control, WideFromUtf8(utf8).c_str());
}

int Ask(HWND owner, const std::string& text, UINT flags) {
    return MessageBoxW(owner, WideFromUtf8(text).c_str(), L"Bootice", flags);
}

// Runs a window until it is destroyed.
void Loop(HWND hwnd) {
    MSG msg;
    while (IsWindow(hwnd) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Registers the class and creates an editor's top-level window.
HWND MakeTopWindow(WNDPROC proc, const wchar_t* className, const std::string& title, int width,
                   int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, WideFromUtf8(title).c_str(),
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                           CW_USEDEFAULT, width, height, nullptr, nullptr, wc.hInstance, nullptr);
}

// Asks about unsaved changes; false when the window should stay open.
template <typename Editor>
bool MayClose(HWND hwnd, Editor& editor) {
    if (!editor.changed()) return true;
    int answer = Ask(hwnd, u8"文件已修改，是否保存？", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return false;
    std::string error;
    if (answer == IDYES && !editor.Save(error)) {
        Ask(hwnd, u8"保存失败：" + error, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

// ---- BCD editor ------------------------------------------------------------------

struct BcdWindow {
    BcdEditor editor;
    bool easy = false;
    HWND list = nullptr, elements = nullptr, description = nullptr, device = nullptr,
         path = nullptr, timeout = nullptr, value = nullptr;
    std::vector<BcdEditor::Entry> entries;
    std::vector<BcdEditor::Element> shownElements;
};

int Selected(HWND list) {
    return int(SendMessageW(list, LB_GETCURSEL, 0, 0));
}

void ShowEntry(BcdWindow& w) {
    int i = Selected(w.list);
    bool valid = i >= 0 && size_t(i) < w.entries.size();
    const BcdEditor::Entry empty;
    const BcdEditor::Entry& e = valid ? w.entries[size_t(i)] : empty;
    SetText(w.description, e.description);
    SetText(w.device, e.device);
    SetText(w.path, e.path);
    if (w.easy) return;
    SendMessageW(w.elements, LB_RESETCONTENT, 0, 0);
    w.shownElements = valid ? w.editor.Elements(e.id) : std::vector<BcdEditor::Element>();
    for (const BcdEditor::Element& element : w.shownElements)
        SendMessageW(w.elements, LB_ADDSTRING, 0,
                     LPARAM(WideFromUtf8(element.name + "    " + element.value).c_str()));
    SetText(w.value, "");
}

void Refill(BcdWindow& w, int select) {
    w.entries = w.easy ? w.editor.MenuEntries() : w.editor.AllEntries();
    SendMessageW(w.list, LB_RESETCONTENT, 0, 0);
    for (const BcdEditor::Entry& e : w.entries) {
        std::string line = (e.isDefault ? u8"[默认] " : "") + e.description;
        if (!w.easy || line.empty()) line += "  " + e.id;
        SendMessageW(w.list, LB_ADDSTRING, 0, LPARAM(WideFromUtf8(line).c_str()));
    }
    if (select >= int(w.entries.size())) select = int(w.entries.size()) - 1;
    SendMessageW(w.list, LB_SETCURSEL, WPARAM(select), 0);
    SetText(w.timeout, std::to_string(w.editor.Timeout()));
    ShowEntry(w);
}

void BcdCommand(HWND hwnd, BcdWindow& w, int id) {
    int i = Selected(w.list);
    bool valid = i >= 0 && size_t(i) < w.entries.size();
    std::string error;
    bool ok = true;
    switch (id) {
        case kIdApply: {
            if (!valid) return;
            const BcdEditor::Entry e = w.entries[size_t(i)];
            ok = w.editor.SetDescription(e.id, TextOf(w.description), error);
            std::string device = TextOf(w.device);
            if (ok && device != e.device) ok = w.editor.SetDevice(e.id, device, error);
            std::string path = TextOf(w.path);
            if (ok && path != e.path) ok = w.editor.SetPath(e.id, path, error);
            break;
        }
        case kIdDefault:
            if (valid) ok = w.editor.SetDefault(w.entries[size_t(i)].id, error);
            break;
        case kIdDelete:
            if (!valid || Ask(hwnd, u8"删除所选的启动项？", MB_YESNO | MB_ICONQUESTION) != IDYES)
                return;
            ok = w.editor.DeleteEntry(w.entries[size_t(i)].id, error);
            break;
        case kIdSetTimeout: {
            std::string text = TextOf(w.timeout);
            ok = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
                 text.size() < 6 && w.editor.SetTimeout(std::stoull(text), error);
            if (!ok && error.empty()) error = u8"等待时间应为秒数";
            break;
        }
        case kIdSetValue: {
            int k = int(SendMessageW(w.elements, LB_GETCURSEL, 0, 0));
            if (!valid || k < 0 || size_t(k) >= w.shownElements.size()) return;
            ok = w.editor.SetElementText(w.entries[size_t(i)].id, w.shownElements[size_t(k)].type,
                                         TextOf(w.value), error);
            break;
        }
        case kIdSave:
            ok = w.editor.Save(error);
            if (ok) Ask(hwnd, u8"已保存。", MB_OK | MB_ICONINFORMATION);
            break;
        default:
            return;
    }
    if (!ok) Ask(hwnd, error, MB_OK | MB_ICONERROR);
    Refill(w, i < 0 ? 0 : i);
}

LRESULT CALLBACK BcdProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* w = reinterpret_cast<BcdWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_COMMAND:
            if (!w) break;
            if (LOWORD(wp) == kIdList && HIWORD(wp) == LBN_SELCHANGE) {
                ShowEntry(*w);
            } else if (LOWORD(wp) == kIdElements && HIWORD(wp) == LBN_SELCHANGE) {
                int k = int(SendMessageW(w->elements, LB_GETCURSEL, 0, 0));
                if (k >= 0 && size_t(k) < w->shownElements.size())
                    SetText(w->value, w->shownElements[size_t(k)].value);
            } else if (LOWORD(wp) == kIdClose) {
                SendMessageW(hwnd, WM_CLOSE, 0, 0);
            } else {
                BcdCommand(hwnd, *w, LOWORD(wp));
            }
            return 0;
        case WM_CLOSE:
            if (w && !MayClose(hwnd, w->editor)) return 0;
            DestroyWindow(hwnd);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int RunBcdWindow(BcdWindow& w) {
    std::string title =
        std::string(w.easy ? u8"BCD 编辑（智能模式）- " : u8"BCD 编辑（专业模式）- ") +
        w.editor.path();
    int height = w.easy ? 360 : 520;
    HWND hwnd = MakeTopWindow(BcdProc, L"StarBridgeBooticeBcd", title, 680, height);
    const DWORD edit = ES_AUTOHSCROLL | WS_TABSTOP, button = BS_PUSHBUTTON | WS_TABSTOP;
    w.list =
        Make(hwnd, L"LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP, 10, 10, 320, 270, kIdList);
    Make(hwnd, L"STATIC", u8"描述：", 0, 345, 12, 60, 20, 0);
    w.description = Make(hwnd, L"EDIT", "", edit, 410, 10, 250, 22, kIdDescription);
    Make(hwnd, L"STATIC", u8"设备：", 0, 345, 44, 60, 20, 0);
    w.device = Make(hwnd, L"EDIT", "", edit, 410, 42, 250, 22, kIdDevice);
    Make(hwnd, L"STATIC", u8"（C: 或 boot）", 0, 410, 66, 250, 18, 0);
    Make(hwnd, L"STATIC", u8"路径：", 0, 345, 90, 60, 20, 0);
    w.path = Make(hwnd, L"EDIT", "", edit, 410, 88, 250, 22, kIdPath);
    Make(hwnd, L"BUTTON", u8"应用修改", button, 410, 120, 120, 26, kIdApply);
    Make(hwnd, L"BUTTON", u8"设为默认", button, 540, 120, 120, 26, kIdDefault);
    Make(hwnd, L"BUTTON", u8"删除启动项", button, 410, 152, 120, 26, kIdDelete);
    Make(hwnd, L"STATIC", u8"等待时间（秒）：", 0, 345, 200, 110, 20, 0);
    w.timeout = Make(hwnd, L"EDIT", "", edit | ES_NUMBER, 460, 198, 70, 22, kIdTimeout);
    Make(hwnd, L"BUTTON", u8"设置", button, 540, 196, 120, 26, kIdSetTimeout);
    if (!w.easy) {
        w.elements = Make(hwnd, L"LISTBOX", "", LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP, 10, 290, 650,
                          130, kIdElements);
        Make(hwnd, L"STATIC", u8"元素值：", 0, 10, 412, 60, 20, 0);
        w.value = Make(hwnd, L"EDIT", "", edit, 75, 410, 455, 22, kIdValue);
        Make(hwnd, L"BUTTON", u8"修改元素", button, 540, 408, 120, 26, kIdSetValue);
    }
    int bottom = w.easy ? 280 : 446;
    Make(hwnd, L"BUTTON", u8"保存", button, 410, bottom, 120, 28, kIdSave);
    Make(hwnd, L"BUTTON", u8"关闭", button, 540, bottom, 120, 28, kIdClose);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(&w));
    Refill(w, 0);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    Loop(hwnd);
    return kExitOk;
}

// ---- GRUB4DOS menu editor ---------------------------------------------------------

struct MenuWindow {
    MenuEditor editor;
    HWND text = nullptr;
};

// The menu is in the ANSI code page; the edit control takes it as such.
std::string AnsiText(HWND control) {
    int n = GetWindowTextLengthA(control);
    std::string text(size_t(n) + 1, '\0');
    GetWindowTextA(control, &text[0], n + 1);
    text.resize(size_t(n));
    return text;
}

LRESULT CALLBACK MenuProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* w = reinterpret_cast<MenuWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_COMMAND:
            if (!w) break;
            if (LOWORD(wp) == kIdSave) {
                std::string error;
                w->editor.SetText(AnsiText(w->text));
                if (!w->editor.Save(error))
                    Ask(hwnd, u8"保存失败：" + error, MB_OK | MB_ICONERROR);
                else
                    Ask(hwnd, u8"已保存。", MB_OK | MB_ICONINFORMATION);
            } else if (LOWORD(wp) == kIdClose) {
                SendMessageW(hwnd, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_CLOSE:
            if (w) {
                w->editor.SetText(AnsiText(w->text));
                if (!MayClose(hwnd, w->editor)) return 0;
            }
            DestroyWindow(hwnd);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

int RunMenuWindow(MenuWindow& w) {
    HWND hwnd = MakeTopWindow(MenuProc, L"StarBridgeBooticeMenu",
                              u8"GRUB4DOS 菜单编辑 - " + w.editor.path(), 680, 520);
    w.text = Make(hwnd, L"EDIT", "",
                  ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL |
                      WS_HSCROLL | WS_TABSTOP,
                  10, 10, 650, 420, kIdText);
    SendMessageW(w.text, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextA(w.text, w.editor.Text().c_str());
    Make(hwnd, L"BUTTON", u8"保存", BS_PUSHBUTTON | WS_TABSTOP, 410, 442, 120, 28, kIdSave);
    Make(hwnd, L"BUTTON", u8"关闭", BS_PUSHBUTTON | WS_TABSTOP, 540, 442, 120, 28, kIdClose);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(&w));
    ShowWindow(hwnd, SW_SHOWNORMAL);
    Loop(hwnd);
    return kExitOk;
}

}  // namespace

int RunEditor(EditorKind kind, const std::string& file, void (*print)(const std::string& utf8)) {
    std::string error;
    if (kind == EditorKind::Grub4dosMenu) {
        MenuWindow w;
        if (!w.editor.Load(file, error)) {
            print("Bootice: " + error + "\r\n");
            Ask(nullptr, u8"无法打开菜单文件：" + error, MB_OK | MB_ICONERROR);
            return kExitEditorFile;
        }
        return RunMenuWindow(w);
    }
    BcdWindow w;
    w.easy = kind == EditorKind::BcdEasy;
    if (!w.editor.Load(file, error)) {
        print("Bootice: " + error + "\r\n");
        Ask(nullptr, u8"无法打开 BCD 文件：" + error, MB_OK | MB_ICONERROR);
        return kExitEditorFile;
    }
    return RunBcdWindow(w);
}

}  // namespace bootice
