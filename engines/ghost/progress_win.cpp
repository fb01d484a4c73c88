// The Windows face of the engine: a small progress window with Cancel while a job
// runs, and a job chooser when it is started without arguments. The job itself
// runs on a worker thread; results still leave through the inherited stdout.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "common/console_out.h"
#include "common/win_window.h"
#include "engines/ghost/cli.h"
#include "engines/ghost/progress_ui.h"

namespace ghost {

namespace {

using engine::Utf8FromWide;
using engine::WideFromUtf8;

constexpr UINT kJobDone = WM_APP + 1;
constexpr int kIdCancel = 100, kIdText = 101, kIdBar = 102, kIdStatus = 103;

struct ProgressState {
    std::atomic<uint64_t> done{0}, total{0};
    std::atomic<bool> cancel{false};
    // Set while the Cancel question is open: the job holds at its next progress
    // report until the answer, so that it cannot finish behind a Yes.
    std::atomic<bool> asking{false};
    DWORD started = 0;
    HWND status = nullptr, bar = nullptr;
};

std::wstring Clock(uint64_t seconds) {
    wchar_t buf[32];
    swprintf(buf, 32, L"%02u:%02u:%02u", unsigned(seconds / 3600), unsigned(seconds / 60 % 60),
             unsigned(seconds % 60));
    return buf;
}

void UpdateStatus(ProgressState* st) {
    uint64_t done = st->done.load(), total = st->total.load();
    double elapsed = (GetTickCount() - st->started) / 1000.0;
    int percent = total ? int(done * 100 / total) : 0;
    double rate = elapsed > 0.5 ? done / elapsed / 1048576.0 : 0;
    uint64_t left = (rate > 0 && total > done) ? uint64_t((total - done) / 1048576.0 / rate) : 0;
    wchar_t text[256];
    swprintf(text, 256, L"%d%%    %.1f MB/s    \x5DF2\x7528 %ls    \x5269\x4F59 %ls", percent, rate,
             Clock(uint64_t(elapsed)).c_str(), Clock(left).c_str());
    SetWindowTextW(st->status, text);
    SendMessageW(st->bar, PBM_SETPOS, WPARAM(percent), 0);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<ProgressState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_TIMER:
            if (st) UpdateStatus(st);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wp) != kIdCancel) break;
            [[fallthrough]];
        case WM_CLOSE:
            if (st && !st->cancel && !st->asking) {
                st->asking = true;
                if (MessageBoxW(hwnd, WideFromUtf8(u8"确定要取消当前操作吗？").c_str(),
                                WideFromUtf8(u8"提示").c_str(),
                                MB_YESNO | MB_ICONQUESTION) == IDYES) {
                    st->cancel = true;
                    EnableWindow(GetDlgItem(hwnd, kIdCancel), FALSE);
                }
                st->asking = false;
            }
            return 0;
        case kJobDone:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HFONT UiFont() {
    NONCLIENTMETRICSW m = {};
    m.cbSize = sizeof m;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
    return CreateFontIndirectW(&m.lfMessageFont);
}

HWND Child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y,
           int w, int h, int id, HFONT font) {
    return engine::MakeChildWindow(parent, cls, text, WS_VISIBLE | style, 0, x, y, w, h, id, font);
}

void ShowFirst(HWND hwnd) {
    // The program starts the engine with a hidden window; a progress window must
    // still show, so the start-up show command is used up first.
    ShowWindow(hwnd, SW_SHOWNORMAL);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
}

}  // namespace

Status RunWithProgress(const std::string& title, const JobBody& body) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    ProgressState st;
    st.started = GetTickCount();

    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProgressProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"StarBridgeGhostProgress";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Ghost",
                                WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                CW_USEDEFAULT, 460, 190, nullptr, nullptr, wc.hInstance, nullptr);
    HFONT font = nullptr;
    if (hwnd) {
        font = UiFont();
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(&st));
        Child(hwnd, L"STATIC", WideFromUtf8(title), SS_LEFT | SS_PATHELLIPSIS, 12, 12, 420, 20,
              kIdText, font);
        st.bar = Child(hwnd, PROGRESS_CLASSW, L"", 0, 12, 40, 420, 20, kIdBar, font);
        SendMessageW(st.bar, PBM_SETRANGE32, 0, 100);
        st.status = Child(hwnd, L"STATIC", L"", SS_LEFT, 12, 70, 420, 20, kIdStatus, font);
        Child(hwnd, L"BUTTON", WideFromUtf8(u8"取消"), BS_PUSHBUTTON | WS_TABSTOP, 344, 104, 88, 28,
              kIdCancel, font);
        SetTimer(hwnd, 1, 250, nullptr);
        ShowFirst(hwnd);
    }

    Status result;
    std::thread worker([&] {
        result = body([&](uint64_t done, uint64_t total) {
            st.done = done;
            st.total = total;
            while (st.asking.load() && !st.cancel.load()) Sleep(20);
            return !st.cancel.load();
        });
        if (hwnd) PostMessageW(hwnd, kJobDone, 0, 0);
    });
    if (hwnd) {
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) {
            if (!IsDialogMessageW(hwnd, &m)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
        }
    }
    worker.join();
    if (font) DeleteObject(font);
    return result;
}

}  // namespace ghost
