// Started without arguments, the engine lets a person pick the job: backup,
// restore, copy or check, the partitions and the image.
#include <windows.h>
#include <commdlg.h>

#include "common/console_out.h"
#include "common/win_window.h"
#include "engines/ghost/cli.h"
#include "engines/ghost/image_dialog.h"
#include "engines/ghost/progress_ui.h"
#include "engines/ghost/volumes.h"

namespace ghost {

namespace {

using engine::Utf8FromWide;
using engine::WideFromUtf8;

enum {
    kIdKind = 200,
    kIdSource,
    kIdTarget,
    kIdImage,
    kIdBrowse,
    kIdPassword,
    kIdLevel,
    kIdStart,
    kIdClose
};

struct ChooserState {
    JobRequest* request = nullptr;
    bool chosen = false;
    HFONT font = nullptr;
};

std::string Text(HWND hwnd, int id) {
    HWND c = GetDlgItem(hwnd, id);
    int n = GetWindowTextLengthW(c);
    std::wstring w(size_t(n) + 1, L'\0');
    GetWindowTextW(c, &w[0], n + 1);
    w.resize(size_t(n));
    return Utf8FromWide(w);
}

// "1:2 (D:)" → "1:2"
std::string FirstWord(const std::string& s) {
    return s.substr(0, s.find(' '));
}

// A visible control with UTF-8 text; edit boxes are sunken.
HWND Make(HWND parent, const wchar_t* cls, const std::string& text, DWORD style, int x, int y,
          int w, int h, int id, HFONT font) {
    const DWORD exStyle = cls == std::wstring(L"EDIT") ? WS_EX_CLIENTEDGE : 0;
    return engine::MakeChildWindow(parent, cls, WideFromUtf8(text), WS_VISIBLE | style, exStyle, x,
                                   y, w, h, id, font);
}

void Start(HWND hwnd, ChooserState* st) {
    int kind = int(SendDlgItemMessageW(hwnd, kIdKind, CB_GETCURSEL, 0, 0));
    std::string src = FirstWord(Text(hwnd, kIdSource)), dst = FirstWord(Text(hwnd, kIdTarget));
    std::string image = Text(hwnd, kIdImage), pwd = Text(hwnd, kIdPassword);
    int level = int(SendDlgItemMessageW(hwnd, kIdLevel, CB_GETCURSEL, 0, 0)) + 1;
    std::vector<std::string> args;
    if (kind == 0)
        args = {"-clone,mode=pdump,src=" + src + ",dst=" + image, "-z" + std::to_string(level)};
    if (kind == 1) args = {"-clone,mode=pload,src=" + image + ":1,dst=" + dst};
    if (kind == 2) args = {"-clone,mode=pcopy,src=" + src + ",dst=" + dst};
    if (kind == 3) args = {"-chkimg," + image};
    if (!pwd.empty() && kind != 2) args.push_back("-pwd=" + pwd);
    Status s = ParseJobRequest(args, st->request);
    if (!s.ok()) {
        MessageBoxW(hwnd, WideFromUtf8(s.message).c_str(), WideFromUtf8(u8"提示").c_str(),
                    MB_OK | MB_ICONWARNING);
        return;
    }
    if ((kind == 1 || kind == 2) &&
        MessageBoxW(hwnd,
                    WideFromUtf8(u8"分区 " + dst + u8" 上的所有数据将被删除，是否继续？").c_str(),
                    WideFromUtf8(u8"提示").c_str(), MB_YESNO | MB_ICONWARNING) != IDYES) {
        return;
    }
    st->chosen = true;
    DestroyWindow(hwnd);
}

void Browse(HWND hwnd, bool save) {
    const std::wstring file =
        AskForImageFile(hwnd, save, save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST, L"GHO");
    if (!file.empty()) SetDlgItemTextW(hwnd, kIdImage, file.c_str());
}

LRESULT CALLBACK ChooserProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<ChooserState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_COMMAND:
            if (!st) break;
            if (LOWORD(wp) == kIdStart) Start(hwnd, st);
            if (LOWORD(wp) == kIdClose) DestroyWindow(hwnd);
            if (LOWORD(wp) == kIdBrowse) {
                Browse(hwnd, SendDlgItemMessageW(hwnd, kIdKind, CB_GETCURSEL, 0, 0) == 0);
            }
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void FillPartitions(HWND combo) {
    auto volumes = MakeVolumeMap();
    DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        std::string root = std::string(1, char('A' + i)) + ":\\";
        PartitionId id = volumes->PartitionOf(root);
        if (!id.valid()) continue;
        std::string item = id.Text() + " (" + root.substr(0, 2) + ")";
        SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(WideFromUtf8(item).c_str()));
    }
}

}  // namespace

Status AskForJob(JobRequest* request) {
    ChooserState st;
    st.request = request;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ChooserProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"StarBridgeGhostChooser";
    RegisterClassW(&wc);
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, L"Ghost", WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                        CW_USEDEFAULT, 480, 300, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd) return Fail(kErrUsage, u8"缺少 -clone 或 -CHKIMG。");
    NONCLIENTMETRICSW m = {};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    st.font = CreateFontIndirectW(&m.lfMessageFont);
    HFONT f = st.font;
    Make(hwnd, L"STATIC", u8"操作：", 0, 12, 16, 90, 20, -1, f);
    HWND kind =
        Make(hwnd, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP, 110, 12, 340, 200, kIdKind, f);
    for (const char* k : {u8"备份分区到映像", u8"从映像还原分区", u8"复制分区", u8"检查映像"}) {
        SendMessageW(kind, CB_ADDSTRING, 0, LPARAM(WideFromUtf8(k).c_str()));
    }
    SendMessageW(kind, CB_SETCURSEL, 0, 0);
    Make(hwnd, L"STATIC", u8"源分区：", 0, 12, 48, 90, 20, -1, f);
    FillPartitions(
        Make(hwnd, L"COMBOBOX", "", CBS_DROPDOWN | WS_TABSTOP, 110, 44, 340, 200, kIdSource, f));
    Make(hwnd, L"STATIC", u8"目标分区：", 0, 12, 80, 90, 20, -1, f);
    FillPartitions(
        Make(hwnd, L"COMBOBOX", "", CBS_DROPDOWN | WS_TABSTOP, 110, 76, 340, 200, kIdTarget, f));
    Make(hwnd, L"STATIC", u8"映像文件：", 0, 12, 112, 90, 20, -1, f);
    Make(hwnd, L"EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, 110, 108, 260, 24, kIdImage, f);
    Make(hwnd, L"BUTTON", u8"浏览…", BS_PUSHBUTTON | WS_TABSTOP, 378, 108, 72, 24, kIdBrowse, f);
    Make(hwnd, L"STATIC", u8"密码：", 0, 12, 144, 90, 20, -1, f);
    Make(hwnd, L"EDIT", "", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP, 110, 140, 160, 24,
         kIdPassword, f);
    Make(hwnd, L"STATIC", u8"压缩：", 0, 290, 144, 50, 20, -1, f);
    HWND level =
        Make(hwnd, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP, 340, 140, 110, 200, kIdLevel, f);
    for (int i = 1; i <= 9; ++i) {
        SendMessageW(level, CB_ADDSTRING, 0, LPARAM((L"-z" + std::to_wstring(i)).c_str()));
    }
    SendMessageW(level, CB_SETCURSEL, 8, 0);
    Make(hwnd, L"BUTTON", u8"开始", BS_DEFPUSHBUTTON | WS_TABSTOP, 270, 210, 88, 28, kIdStart, f);
    Make(hwnd, L"BUTTON", u8"关闭", BS_PUSHBUTTON | WS_TABSTOP, 362, 210, 88, 28, kIdClose, f);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(&st));
    // The program's manual run starts the engine hidden; the chooser must still show.
    ShowWindow(hwnd, SW_SHOWNORMAL);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DeleteObject(st.font);
    if (!st.chosen) request->kind = JobRequest::kInteractive;
    return Ok();
}

}  // namespace ghost
