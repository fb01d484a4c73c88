// Ghost Explorer: shows an image's tree with sizes and times and extracts the
// chosen files or folders to a folder. Started with one image path (unquoted, as
// the program passes it) or none, then it asks for the file.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <map>
#include <memory>

#include "common/console_out.h"
#include "common/win_window.h"
#include "engines/ghost/image_dialog.h"
#include "engines/ghost/operations.h"
#include "engines/ghost/progress_ui.h"

namespace {

using engine::Utf8FromWide;
using engine::WideFromUtf8;

enum { kIdTree = 300, kIdExtract, kIdOpen, kIdInfo, kIdPwdEdit, kIdOk, kIdCancel };

struct App {
    HWND main = nullptr, tree = nullptr, info = nullptr;
    HFONT font = nullptr;
    std::unique_ptr<ghost::ImageReader> reader;
    std::string imagePath;
};
App g_app;

std::wstring W(const std::string& utf8) {
    return WideFromUtf8(utf8);
}

void Box(HWND owner, const std::string& text, UINT icon) {
    MessageBoxW(owner, W(text).c_str(), W(u8"提示").c_str(), MB_OK | icon);
}

// The command line after the program name, blanks and all.
std::wstring RawArgument() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    std::wstring rest = p;
    size_t a = rest.find_first_not_of(L" \t"), b = rest.find_last_not_of(L" \t");
    if (a == std::wstring::npos) return L"";
    rest = rest.substr(a, b - a + 1);
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') {
        rest = rest.substr(1, rest.size() - 2);
    }
    return rest;
}

HWND Make(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, DWORD exStyle,
          int x, int y, int w, int h, int id) {
    return engine::MakeChildWindow(parent, cls, W(text), WS_VISIBLE | style, exStyle, x, y, w, h,
                                   id, g_app.font);
}

// --- password prompt -----------------------------------------------------------

struct PwdState {
    bool done = false, ok = false;
    std::string password;
};

LRESULT CALLBACK PwdProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<PwdState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && st && (LOWORD(wp) == kIdOk || LOWORD(wp) == IDOK)) {
        wchar_t buf[512];
        GetDlgItemTextW(hwnd, kIdPwdEdit, buf, 512);
        st->password = Utf8FromWide(buf);
        st->ok = true;
        DestroyWindow(hwnd);
        return 0;
    }
    if ((msg == WM_COMMAND && (LOWORD(wp) == kIdCancel || LOWORD(wp) == IDCANCEL)) ||
        msg == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY && st) st->done = true;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool AskPassword(HWND owner, const std::string& prompt, std::string* password) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PwdProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"StarBridgeGhostExpPassword";
    RegisterClassW(&wc);
    PwdState st;
    HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME, wc.lpszClassName, W(u8"映像密码").c_str(),
                                WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 360, 160,
                                owner, nullptr, wc.hInstance, nullptr);
    if (!hwnd) return false;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(&st));
    Make(hwnd, L"STATIC", prompt, 0, 0, 12, 12, 320, 20, -1);
    HWND edit = Make(hwnd, L"EDIT", "", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                     12, 36, 320, 24, kIdPwdEdit);
    Make(hwnd, L"BUTTON", u8"确定", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 152, 72, 88, 26, kIdOk);
    Make(hwnd, L"BUTTON", u8"取消", BS_PUSHBUTTON | WS_TABSTOP, 0, 244, 72, 88, 26, kIdCancel);
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetFocus(edit);
    MSG m;
    while (!st.done && GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    if (owner) {
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }
    *password = st.password;
    return st.ok;
}

// --- image and tree ------------------------------------------------------------

std::string SizeText(uint64_t n) {
    char buf[64];
    if (n < 1024)
        snprintf(buf, sizeof buf, "%llu B", (unsigned long long)n);
    else if (n < 1048576)
        snprintf(buf, sizeof buf, "%.1f KB", n / 1024.0);
    else if (n < (1ull << 30))
        snprintf(buf, sizeof buf, "%.1f MB", n / 1048576.0);
    else
        snprintf(buf, sizeof buf, "%.2f GB", n / 1073741824.0);
    return buf;
}

std::string TimeText(int64_t ns) {
    uint64_t t = uint64_t(ns / 100 + 116444736000000000LL);
    FILETIME ft = {DWORD(t), DWORD(t >> 32)}, local;
    SYSTEMTIME s;
    if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &s)) return "";
    char buf[64];
    snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u", s.wYear, s.wMonth, s.wDay, s.wHour,
             s.wMinute);
    return buf;
}

void FillTree() {
    TreeView_DeleteAllItems(g_app.tree);
    if (!g_app.reader) return;
    const auto& entries = g_app.reader->index().entries;
    std::map<std::string, HTREEITEM> folders;
    uint64_t total = 0;
    for (uint32_t i = 0; i < entries.size(); ++i) {
        const ghost::Entry& e = entries[i];
        size_t slash = e.path.rfind('/');
        std::string name = slash == std::string::npos ? e.path : e.path.substr(slash + 1);
        HTREEITEM parent = TVI_ROOT;
        if (slash != std::string::npos) {
            auto it = folders.find(e.path.substr(0, slash));
            if (it != folders.end()) parent = it->second;
        }
        std::string text = name;
        if (e.type == ghost::EntryType::kDirectory) {
            text += "\\";
        } else {
            text += u8"    " + SizeText(e.dataSize);
            total += e.dataSize;
        }
        text += u8"    " + TimeText(e.writeNs);
        std::wstring wtext = W(text);
        TVINSERTSTRUCTW ins = {};
        ins.hParent = parent;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM;
        ins.item.pszText = &wtext[0];
        ins.item.lParam = LPARAM(i);
        HTREEITEM item = HTREEITEM(SendMessageW(g_app.tree, TVM_INSERTITEMW, 0, LPARAM(&ins)));
        if (e.type == ghost::EntryType::kDirectory) folders[e.path] = item;
    }
    std::string info = g_app.imagePath + u8"    " + std::to_string(entries.size()) + u8" 项，" +
                       SizeText(total) + (g_app.reader->encrypted() ? u8"，已加密" : "");
    SetWindowTextW(g_app.info, W(info).c_str());
}

bool OpenImage(const std::string& path) {
    auto reader = std::make_unique<ghost::ImageReader>();
    ghost::Status s = reader->Open(path, "");
    std::string password;
    while (s.code == ghost::kErrNeedPassword || s.code == ghost::kErrWrongPassword) {
        std::string prompt = s.code == ghost::kErrNeedPassword ? u8"此映像已加密，请输入密码："
                                                               : u8"密码不正确，请重新输入：";
        if (!AskPassword(g_app.main, prompt, &password)) return false;
        reader = std::make_unique<ghost::ImageReader>();
        s = reader->Open(path, password);
    }
    if (!s.ok()) {
        Box(g_app.main, s.message, MB_ICONERROR);
        return false;
    }
    g_app.reader = std::move(reader);
    g_app.imagePath = path;
    FillTree();
    return true;
}

bool ChooseImage(HWND owner) {
    const std::wstring file =
        ghost::AskForImageFile(owner, false, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, nullptr);
    if (file.empty()) return false;
    return OpenImage(Utf8FromWide(file));
}

void CollectChecked(HTREEITEM item, std::vector<uint32_t>* out) {
    for (; item; item = TreeView_GetNextSibling(g_app.tree, item)) {
        TVITEMW tv = {};
        tv.mask = TVIF_PARAM | TVIF_STATE;
        tv.stateMask = TVIS_STATEIMAGEMASK;
        tv.hItem = item;
        SendMessageW(g_app.tree, TVM_GETITEMW, 0, LPARAM(&tv));
        if ((tv.state >> 12) == 2) {
            out->push_back(uint32_t(tv.lParam));  // a checked folder brings its contents
        } else {
            CollectChecked(TreeView_GetChild(g_app.tree, item), out);
        }
    }
}

void Extract() {
    if (!g_app.reader) return;
    std::vector<uint32_t> selected;
    CollectChecked(TreeView_GetRoot(g_app.tree), &selected);
    if (selected.empty()) {
        HTREEITEM sel = TreeView_GetSelection(g_app.tree);
        TVITEMW tv = {};
        tv.mask = TVIF_PARAM;
        tv.hItem = sel;
        if (sel && SendMessageW(g_app.tree, TVM_GETITEMW, 0, LPARAM(&tv))) {
            selected.push_back(uint32_t(tv.lParam));
        }
    }
    if (selected.empty()) {
        Box(g_app.main, u8"请先勾选或选中要提取的文件或文件夹。", MB_ICONWARNING);
        return;
    }
    std::wstring title = W(u8"选择提取到的文件夹");
    BROWSEINFOW bi = {};
    bi.hwndOwner = g_app.main;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST pidl = SHBrowseForFolderW(&bi);
    if (!pidl) return;
    wchar_t dir[MAX_PATH];
    bool ok = SHGetPathFromIDListW(pidl, dir) != 0;
    CoTaskMemFree(pidl);
    if (!ok) return;
    std::string dest = Utf8FromWide(dir);
    EnableWindow(g_app.main, FALSE);
    ghost::Status s = ghost::RunWithProgress(u8"提取到 " + dest, [&](const ghost::ProgressFn& p) {
        auto fs = ghost::OpenVolumeFs(dest);
        return ghost::ExtractEntries(*g_app.reader, selected, *fs, false, p);
    });
    EnableWindow(g_app.main, TRUE);
    SetForegroundWindow(g_app.main);
    if (s.ok())
        Box(g_app.main, u8"提取完成。", MB_ICONINFORMATION);
    else if (s.code == ghost::kErrCancelled)
        Box(g_app.main, u8"已取消提取。", MB_ICONWARNING);
    else
        Box(g_app.main, s.message, MB_ICONERROR);
}

void Layout(int w, int h) {
    MoveWindow(g_app.info, 8, 8, w - 16, 20, TRUE);
    MoveWindow(g_app.tree, 8, 32, w - 16, h - 80, TRUE);
    MoveWindow(GetDlgItem(g_app.main, kIdOpen), w - 260, h - 40, 120, 30, TRUE);
    MoveWindow(GetDlgItem(g_app.main, kIdExtract), w - 132, h - 40, 124, 30, TRUE);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (g_app.tree) Layout(LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_COMMAND:
            if (LOWORD(wp) == kIdExtract) Extract();
            if (LOWORD(wp) == kIdOpen) ChooseImage(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    CoInitialize(nullptr);
    NONCLIENTMETRICSW m = {};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    g_app.font = CreateFontIndirectW(&m.lfMessageFont);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.lpszClassName = L"StarBridgeGhostExplorer";
    RegisterClassW(&wc);
    g_app.main = CreateWindowExW(0, wc.lpszClassName, W(u8"Ghost 映像浏览器").c_str(),
                                 WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720, 520,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    if (!g_app.main) return 1;
    g_app.info = Make(g_app.main, L"STATIC", u8"未打开映像", SS_LEFT | SS_PATHELLIPSIS, 0, 0, 0, 0,
                      0, kIdInfo);
    g_app.tree = Make(g_app.main, WC_TREEVIEWW, "",
                      TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS |
                          TVS_CHECKBOXES | WS_TABSTOP | WS_VSCROLL,
                      WS_EX_CLIENTEDGE, 0, 0, 0, 0, kIdTree);
    Make(g_app.main, L"BUTTON", u8"打开映像…", BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 0, 0, 0, kIdOpen);
    Make(g_app.main, L"BUTTON", u8"提取…", BS_PUSHBUTTON | WS_TABSTOP, 0, 0, 0, 0, 0, kIdExtract);
    RECT rc;
    GetClientRect(g_app.main, &rc);
    Layout(rc.right, rc.bottom);
    ShowWindow(g_app.main, SW_SHOWNORMAL);

    std::wstring arg = RawArgument();
    if (!arg.empty())
        OpenImage(Utf8FromWide(arg));
    else
        ChooseImage(g_app.main);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(g_app.main, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DeleteObject(g_app.font);
    return 0;
}
