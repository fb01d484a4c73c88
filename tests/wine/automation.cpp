#include "tests/wine/automation.h"

#include <commctrl.h>
#include <tlhelp32.h>

namespace automation {

std::string GbkFromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int len =
        WideCharToMultiByte(936, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(size_t(len), '\0');
    WideCharToMultiByte(936, 0, wide.data(), int(wide.size()), &text[0], len, nullptr, nullptr);
    return text;
}

std::wstring WideFromGbk(const std::string& gbk) {
    if (gbk.empty()) return std::wstring();
    int len = MultiByteToWideChar(936, 0, gbk.data(), int(gbk.size()), nullptr, 0);
    std::wstring wide(size_t(len), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), int(gbk.size()), &wide[0], len);
    return wide;
}

RunningProgram::RunningProgram(const std::string& commandLine, const std::string& directory) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring line = WideFromGbk(commandLine);
    std::wstring dir = WideFromGbk(directory);
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : dir.c_str(), &startup, &process_))
        process_ = PROCESS_INFORMATION();
}

RunningProgram::~RunningProgram() {
    if (!process_.hProcess) return;
    Kill();
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool RunningProgram::WaitForExit(DWORD milliseconds) {
    return process_.hProcess &&
           WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
}

bool RunningProgram::IsRunning() {
    return process_.hProcess && !WaitForExit(0);
}

DWORD RunningProgram::ExitCode() {
    DWORD code = STILL_ACTIVE;
    if (process_.hProcess) GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void RunningProgram::Kill() {
    if (IsRunning()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForExit(5000);
    }
}

namespace {
struct Search {
    DWORD processId;
    std::wstring className;
    bool visibleOnly;
    HWND found;
    std::wstring caption;  // empty: any
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process != search->processId) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
    if (!search->className.empty()) {
        wchar_t cls[128] = {};
        GetClassNameW(hwnd, cls, 128);
        if (search->className != cls) return TRUE;
    }
    if (!search->caption.empty()) {
        wchar_t text[256] = {};
        GetWindowTextW(hwnd, text, 256);
        if (search->caption != text) return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}
}  // namespace

HWND WaitForWindow(DWORD processId, const std::string& className, DWORD milliseconds) {
    Search search{processId, WideFromGbk(className), true, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(MatchWindow, LPARAM(&search));
            return search.found != nullptr;
        },
        milliseconds);
    return search.found;
}

HWND WaitForWindowWithCaption(DWORD processId, const std::string& className,
                              const std::string& caption, DWORD milliseconds) {
    Search search{processId, WideFromGbk(className), true, nullptr, WideFromGbk(caption)};
    WaitUntil(
        [&] {
            EnumWindows(MatchWindow, LPARAM(&search));
            return search.found != nullptr;
        },
        milliseconds);
    return search.found;
}

bool ReadStoreFile(const std::string& path, std::string* contents) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    contents->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0)
        contents->append(buffer, got);
    CloseHandle(f);
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& contents) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, contents.data(), DWORD(contents.size()), &written, nullptr) &&
                    written == contents.size();
    CloseHandle(f);
    return ok;
}

HWND WaitForMessageBox(DWORD processId, DWORD milliseconds) {
    return WaitForWindow(processId, "#32770", milliseconds);
}

std::string MessageBoxText(HWND box) {
    return Text(box, 0xFFFF);
}

bool MessageBoxHasIcon(HWND box) {
    // The icon's static control is 0x14 on Windows and 0x440 under Wine. Which icon it
    // shows cannot be told from outside under Wine (icon handles are per process), so
    // the icon kind is checked by the native tests on the flags the program passes.
    HWND iconControl = GetDlgItem(box, 0x14);
    if (!iconControl) iconControl = GetDlgItem(box, 0x440);
    return iconControl && SendMessageW(iconControl, STM_GETICON, 0, 0) != 0;
}

void AnswerMessageBox(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    if (button)
        PostMessageW(button, BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
}

std::string AnswerNextMessageBox(DWORD processId, int buttonId, DWORD milliseconds) {
    HWND box = WaitForMessageBox(processId, milliseconds);
    if (!box) return "(no message)";
    const std::string text = MessageBoxText(box);
    AnswerMessageBox(box, buttonId);
    WaitUntil([&] { return !IsWindow(box); }, 10000);
    return text;
}

bool KillProcessNamed(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool killed = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !killed;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) != 0) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (!process) continue;
        killed = TerminateProcess(process, 1) != 0;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return killed;
}

std::string NoiseBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x >> 24);
    }
    return bytes;
}

HWND Control(HWND window, int id) {
    return GetDlgItem(window, id);
}

void Click(HWND window, int id) {
    HWND control = Control(window, id);
    if (control) PostMessageW(control, BM_CLICK, 0, 0);
}

std::string Text(HWND window, int id) {
    HWND target = id ? Control(window, id) : window;
    if (!target) return std::string();
    LRESULT len = SendMessageW(target, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(size_t(len) + 1, L'\0');
    len = SendMessageW(target, WM_GETTEXT, WPARAM(len + 1), LPARAM(&text[0]));
    text.resize(size_t(len));
    return GbkFromWide(text);
}

void Type(HWND window, int id, const std::string& text) {
    std::wstring wide = WideFromGbk(text);
    SendMessageW(Control(window, id), WM_SETTEXT, 0, LPARAM(wide.c_str()));
}

bool IsEnabled(HWND window, int id) {
    return IsWindowEnabled(Control(window, id));
}
bool IsVisible(HWND window, int id) {
    return IsWindowVisible(Control(window, id));
}
bool IsChecked(HWND window, int id) {
    return SendMessageW(Control(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void PickComboItem(HWND window, int id, int index) {
    SendMessageW(Control(window, id), CB_SETCURSEL, WPARAM(index), 0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(Control(window, id)));
}

std::vector<std::string> ComboItems(HWND window, int id) {
    HWND combo = Control(window, id);
    std::vector<std::string> items;
    int count = int(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(i), 0);
        std::wstring text(size_t(len) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(&text[0]));
        text.resize(size_t(len));
        items.push_back(GbkFromWide(text));
    }
    return items;
}

void ClickLabel(HWND window, int id) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), LPARAM(Control(window, id)));
}

void ChooseMenuItem(HWND window, int itemId) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(itemId, 0), 0);
}

int ListRowCount(HWND window, int id) {
    return int(SendMessageW(Control(window, id), LVM_GETITEMCOUNT, 0, 0));
}

std::string ListCell(HWND window, int id, int row, int column) {
    // The item record and its text buffer must live in the program's memory.
    HWND list = Control(window, id);
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return std::string();
    const SIZE_T textBytes = 512 * sizeof(wchar_t);
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textBytes, MEM_COMMIT, PAGE_READWRITE));
    std::string result;
    if (remote) {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<LPWSTR>(remote + sizeof(LVITEMW));
        item.cchTextMax = 512;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        LRESULT len = SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(remote));
        std::wstring text(size_t(len), L'\0');
        if (len > 0)
            ReadProcessMemory(process, remote + sizeof(LVITEMW), &text[0],
                              size_t(len) * sizeof(wchar_t), nullptr);
        result = GbkFromWide(text);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return result;
}

void ClickListRow(HWND window, int id, int row, bool rightButton) {
    HWND list = Control(window, id);
    SendMessageW(list, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);  // a person scrolls to it first
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return;
    RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
    void* remote = VirtualAllocEx(process, nullptr, sizeof bounds, MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        WriteProcessMemory(process, remote, &bounds, sizeof bounds, nullptr);
        SendMessageW(list, LVM_GETITEMRECT, WPARAM(row), LPARAM(remote));
        ReadProcessMemory(process, remote, &bounds, sizeof bounds, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    LPARAM point = MAKELPARAM(bounds.left + 8, (bounds.top + bounds.bottom) / 2);
    UINT down = rightButton ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
    UINT up = rightButton ? WM_RBUTTONUP : WM_LBUTTONUP;
    PostMessageW(list, down, rightButton ? MK_RBUTTON : MK_LBUTTON, point);
    // The list's drag detection may take the first button-up for itself; the list
    // tells its owner about the click on the button-up it handles.
    PostMessageW(list, up, 0, point);
    PostMessageW(list, up, 0, point);
}

}  // namespace automation
