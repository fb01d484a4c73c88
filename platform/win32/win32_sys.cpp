#include "platform/win32/win32_sys.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <winioctl.h>
#include <tlhelp32.h>
#include <intrin.h>

#include "platform/win32/no_win_macros.h"

#include <vector>

#include "common/cmdline.h"
#include "common/win_handle.h"
#include "common/win_privilege.h"
#include "common/win_window.h"

namespace {

using Handle = engine::WinHandle;

std::string DirectoryFrom(UINT(WINAPI* query)(LPSTR, UINT)) {
    char buffer[256] = {};
    UINT len = query(buffer, 255);
    return (len > 0 && len < 255) ? std::string(buffer, len) : std::string();
}

}  // namespace

std::vector<std::string> Win32Sys::CommandLineArguments() {
    // The ANSI command line is GBK: a trail byte 0x5C is not a backslash.
    std::vector<std::string> args = engine::SplitGbkCommandLine(GetCommandLineA(), true);
    args.erase(args.begin());
    return args;
}

std::string Win32Sys::ModuleFileName() {
    char buffer[MAX_PATH + 1] = {};
    DWORD len = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, len);
}

bool Win32Sys::OpenEvent(const std::string& name) {
    HANDLE h = OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str());
    if (!h) return false;
    ::CloseHandle(h);
    return true;
}

bool Win32Sys::CreateEvent(const std::string& name) {
    // Kept open for the life of the process: its existence is the lock.
    return CreateEventA(nullptr, FALSE, FALSE, name.c_str()) != nullptr;
}

void Win32Sys::ExitProcess(unsigned exitCode) {
    if (beforeExit) beforeExit();
    ::ExitProcess(exitCode);
}

bool Win32Sys::IsNtFamily() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return true;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

int Win32Sys::GetSystemWow64DirectoryLength() {
    using Query = UINT(WINAPI*)(LPSTR, UINT);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    Query query = kernel ? reinterpret_cast<Query>(reinterpret_cast<void*>(
                               GetProcAddress(kernel, "GetSystemWow64DirectoryA")))
                         : nullptr;
    if (!query) return -1;
    char buffer[255];
    return int(query(buffer, sizeof buffer));
}

std::string Win32Sys::GetWindowsDirectory() {
    return DirectoryFrom(GetWindowsDirectoryA);
}
std::string Win32Sys::GetSystemDirectory() {
    return DirectoryFrom(GetSystemDirectoryA);
}

std::string Win32Sys::GetCurrentDirectory() {
    char buffer[MAX_PATH + 1] = {};
    DWORD len = GetCurrentDirectoryA(MAX_PATH, buffer);
    return len > 0 && len < MAX_PATH ? std::string(buffer, len) : std::string();
}

bool Win32Sys::PathFileExists(const std::string& path) {
    return PathFileExistsA(path.c_str());
}

bool Win32Sys::FindFirstFileFinds(const std::string& pattern) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

bool Win32Sys::WriteWholeFile(const std::string& path, const void* data, size_t size) {
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool Win32Sys::DeleteFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

std::int64_t Win32Sys::GetFileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (std::int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Win32Sys::GetFileVersion(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
        return std::string();
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

bool Win32Sys::ReadWholeFile(const std::string& path, std::string* contents) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    contents->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        contents->append(buffer, got);
    return true;
}

std::string Win32Sys::GetFileDescription(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return std::string();
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) ||
        !translation || length < 4)
        return std::string();
    char query[64];
    wsprintfA(query, "\\StringFileInfo\\%04x%04x\\FileDescription", translation[0], translation[1]);
    char* text = nullptr;
    if (!VerQueryValueA(info.data(), query, reinterpret_cast<void**>(&text), &length) || !text)
        return std::string();
    return std::string(text, length > 0 ? strnlen(text, length) : 0);
}

int Win32Sys::GetBinaryType(const std::string& path) {
    DWORD type = 0;
    if (!GetBinaryTypeA(path.c_str(), &type)) return kBinaryUnknown;
    return static_cast<int>(type);
}

std::string Win32Sys::GetPrivateProfileString(const std::string& section, const std::string& key,
                                              const std::string& defaultValue,
                                              const std::string& iniPath, size_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1, '\0');
    DWORD len = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                         buffer.data(), DWORD(bufferSize), iniPath.c_str());
    return std::string(buffer.data(), len);
}

bool Win32Sys::WritePrivateProfileString(const std::string& section, const std::string& key,
                                         const std::string& value, const std::string& iniPath) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                      iniPath.c_str()) != 0;
}

bool Win32Sys::DeletePrivateProfileKey(const std::string& section, const std::string& key,
                                       const std::string& iniPath) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, iniPath.c_str()) != 0;
}

bool Win32Sys::HideFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::string Win32Sys::PathSearchAndQualify(const std::string& path, size_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1, '\0');
    if (!PathSearchAndQualifyA(path.c_str(), buffer.data(), UINT(bufferSize))) return std::string();
    return buffer.data();
}

std::vector<std::string> Win32Sys::GetLogicalDriveStrings() {
    char buffer[512] = {};
    DWORD len = GetLogicalDriveStringsA(sizeof buffer - 1, buffer);
    std::vector<std::string> roots;
    if (len == 0 || len >= sizeof buffer) return roots;
    for (const char* p = buffer; *p; p += strlen(p) + 1) roots.emplace_back(p);
    return roots;
}

unsigned Win32Sys::GetDriveType(const std::string& root) {
    return GetDriveTypeA(root.c_str());
}

bool Win32Sys::GetDiskFreeSpaceEx(const std::string& root, std::uint64_t* freeBytes,
                                  std::uint64_t* totalBytes, std::uint64_t* totalFreeBytes) {
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &totalFree)) return false;
    *freeBytes = available.QuadPart;
    *totalBytes = total.QuadPart;
    if (totalFreeBytes) *totalFreeBytes = totalFree.QuadPart;
    return true;
}

SysTime Win32Sys::GetLocalTime() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    SysTime t;
    t.year = now.wYear;
    t.month = now.wMonth;
    t.day = now.wDay;
    t.hour = now.wHour;
    t.minute = now.wMinute;
    t.second = now.wSecond;
    return t;
}

std::uint32_t Win32Sys::ReadTimeStampCounter() {
    return static_cast<std::uint32_t>(__rdtsc());
}

bool Win32Sys::GetStorageDeviceNumber(char driveLetter, int* deviceNumber, int* partitionNumber) {
    const std::string device = std::string("\\\\.\\") + driveLetter + ":";
    Handle volume(CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!volume.valid()) return false;
    STORAGE_DEVICE_NUMBER number = {};
    DWORD returned = 0;
    if (!DeviceIoControl(volume.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                         sizeof number, &returned, nullptr))
        return false;
    *deviceNumber = int(number.DeviceNumber);
    *partitionNumber = int(number.PartitionNumber);
    return true;
}

bool Win32Sys::ReadPhysicalDriveSector0(int diskIndex, std::string* sector) {
    // Read-only: the disk is opened for reading and nothing is ever written to it.
    const std::string device = "\\\\.\\PhysicalDrive" + std::to_string(diskIndex);
    Handle disk(CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!disk.valid()) return false;
    char buffer[512];
    DWORD got = 0;
    if (!ReadFile(disk.get(), buffer, sizeof buffer, &got, nullptr) || got != sizeof buffer)
        return false;
    sector->assign(buffer, sizeof buffer);
    return true;
}

bool Win32Sys::GetVolumeInformation(const std::string& root, std::string* label,
                                    std::string* fileSystem) {
    char name[MAX_PATH + 1] = {}, fs[MAX_PATH + 1] = {};
    if (!GetVolumeInformationA(root.c_str(), name, MAX_PATH, nullptr, nullptr, nullptr, fs,
                               MAX_PATH))
        return false;
    *label = name;
    *fileSystem = fs;
    return true;
}

unsigned Win32Sys::FormatDriveDialog(int driveIndex, unsigned options) {
    return unsigned(SHFormatDrive(GetActiveWindow(), UINT(driveIndex), SHFMT_ID_DEFAULT, options));
}

namespace {

// FormatEx reports through a callback without a context: one format at a time.
BOOLEAN formatSucceeded = FALSE;

BOOLEAN __stdcall FormatProgress(int command, DWORD, PVOID info) {
    const int kDone = 11;
    if (command == kDone && info) formatSucceeded = *static_cast<BOOLEAN*>(info);
    return TRUE;
}

std::wstring WideFromAnsi(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

}  // namespace

bool Win32Sys::FormatVolume(const std::string& root, const std::string& fileSystem,
                            const std::string& label, bool quick, unsigned clusterSize) {
    using Callback = BOOLEAN(__stdcall*)(int, DWORD, PVOID);
    using FormatExFn = void(__stdcall*)(PWCHAR, DWORD, PWCHAR, PWCHAR, BOOL, DWORD, Callback);
    HMODULE fmifs = LoadLibraryA("fmifs.dll");
    if (!fmifs) return false;
    auto formatEx =
        reinterpret_cast<FormatExFn>(reinterpret_cast<void*>(GetProcAddress(fmifs, "FormatEx")));
    if (!formatEx) {
        FreeLibrary(fmifs);
        return false;
    }
    std::wstring wideRoot = WideFromAnsi(root), wideFs = WideFromAnsi(fileSystem),
                 wideLabel = WideFromAnsi(label);
    formatSucceeded = FALSE;
    const DWORD kFixedMedia = 12;
    formatEx(&wideRoot[0], kFixedMedia, &wideFs[0], &wideLabel[0], quick ? TRUE : FALSE,
             clusterSize, FormatProgress);
    FreeLibrary(fmifs);
    return formatSucceeded != FALSE;
}

bool Win32Sys::RunProgramAndWait(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, &process))
        return false;
    // The window keeps answering while the user works in the other console.
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

std::vector<ProcessEntry> Win32Sys::ListProcesses() {
    std::vector<ProcessEntry> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return list;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        list.push_back(ProcessEntry{unsigned(entry.th32ProcessID),
                                    unsigned(entry.th32ParentProcessID), entry.szExeFile});
    ::CloseHandle(snapshot);
    return list;
}

namespace {

bool CallProcessFunction(const char* name, unsigned processId) {
    using Fn = LONG(NTAPI*)(HANDLE);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
    if (!fn) return false;
    HANDLE process = OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, DWORD(processId));
    if (!process) return false;
    const bool done = fn(process) >= 0;
    ::CloseHandle(process);
    return done;
}

}  // namespace

bool Win32Sys::SuspendProcessById(unsigned processId) {
    return CallProcessFunction("ZwSuspendProcess", processId);
}

bool Win32Sys::ResumeProcessById(unsigned processId) {
    return CallProcessFunction("ZwResumeProcess", processId);
}

bool Win32Sys::IsDirectory(const std::string& path) {
    return PathIsDirectoryA(path.c_str()) != FALSE;
}

bool Win32Sys::CreateDirectories(const std::string& path) {
    std::string part;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        part += path[i];
        if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
            part += path[++i];  // a GBK pair: its second byte is no separator
            continue;
        }
        if (c == '\\' && part.size() > 3) CreateDirectoryA(part.c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
    return PathIsDirectoryA(path.c_str()) != FALSE;
}

bool Win32Sys::DeleteDirectoryTree(const std::string& path) {
    std::string base = path;
    while (!base.empty() && base.back() == '\\') base.pop_back();
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = base + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteDirectoryTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(base.c_str()) != FALSE;
}

bool Win32Sys::CopyFile(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool Win32Sys::GetFileCreationTime(const std::string& path, SysTime* time) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&data.ftCreationTime, &local) ||
        !FileTimeToSystemTime(&local, &st))
        return false;
    *time = SysTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    return true;
}

std::string Win32Sys::AnsiFromUtf8(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    if (n <= 0) return std::string();
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], n);
    int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    if (m <= 0) return std::string();
    std::string out(size_t(m), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
    return out;
}

bool Win32Sys::ShowDriveProperties(const std::string& root) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.lpVerb = "properties";
    info.lpFile = root.c_str();
    info.nShow = SW_SHOW;
    return ShellExecuteExA(&info) && INT_PTR(info.hInstApp) > 32;
}

std::vector<DirectoryEntry> Win32Sys::FindFiles(const std::string& pattern) {
    std::vector<DirectoryEntry> found;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do {
        found.push_back(DirectoryEntry{data.cFileName,
                                       (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return found;
}

bool Win32Sys::ShellFileOperation(ShellFileFunction function, const std::string& source,
                                  const std::string& target) {
    // Both lists end in two zero bytes.
    std::string from = source + std::string(2, '\0');
    std::string to = target + std::string(2, '\0');
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = function == kFoMove ? FO_MOVE : FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_NOERRORUI;
    return SHFileOperationA(&operation) == 0;
}

void Win32Sys::RevealInExplorer(const std::string& path) {
    // ILCreateFromPathA is exported by shell32 from Windows XP on; found at run time.
    using CreateFn = LPITEMIDLIST(WINAPI*)(LPCSTR);
    using OpenFn = HRESULT(WINAPI*)(LPCITEMIDLIST, UINT, LPCITEMIDLIST*, DWORD);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (!shell) return;
    auto create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, "ILCreateFromPathA")));
    auto open = reinterpret_cast<OpenFn>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHOpenFolderAndSelectItems")));
    if (!create || !open) return;
    LPITEMIDLIST item = create(path.c_str());
    if (!item) return;
    CoInitialize(nullptr);
    open(item, 0, nullptr, 0);
    CoTaskMemFree(item);
}

void Win32Sys::ShellOpen(const std::string& file) {
    ShellExecuteA(nullptr, "open", file.c_str(), "", "", SW_SHOWNORMAL);
}

bool Win32Sys::SetVolumeLabel(const std::string& root, const std::string& label) {
    return SetVolumeLabelA(root.c_str(), label.c_str()) != 0;
}

CommandResult Win32Sys::RunHiddenAndCapture(const std::string& commandLine, bool exactReads) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CommandResult result;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    Handle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return result;
    result.started = true;
    Handle processHandle(process.hProcess), threadHandle(process.hThread);
    // Our copy of the write end must go, so that the read end reports the end.
    writer.Reset();

    std::string& output = result.output;
    auto readAvailable = [&]() -> bool {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return false;
        if (exactReads) {
            std::vector<char> buffer(available);
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer.data(), available, &got, nullptr)) return false;
            output.append(buffer.data(), got);
        } else {
            char buffer[1024] = {};
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, available < 1023 ? available : 1023, &got, nullptr))
                return false;
            output.append(buffer, strnlen(buffer, got));
        }
        return true;
    };
    for (;;) {
        if (readAvailable()) {
            engine::PumpWindowMessages();
            continue;
        }
        // Ended is the process object signalled, not an exit code other than
        // STILL_ACTIVE: a program may end with that very code (259).
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_TIMEOUT) break;
        // Sleep until the engine ends, a message arrives or a short while passes for
        // more output (anonymous pipes cannot be waited on).
        MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 15, QS_ALLINPUT);
        engine::PumpWindowMessages();
    }
    // What the engine wrote just before it ended is still in the pipe.
    while (readAvailable()) {
    }
    // Read once the process has ended (the loop above ends only then).
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) result.exitCode = exitCode;
    return result;
}

bool Win32Sys::StartProgram(const std::string& commandLine, bool hidden, unsigned waitIdleMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    WaitForInputIdle(process.hProcess, waitIdleMs);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

bool Win32Sys::CreateConsoleProcess(const std::string& commandLine,
                                    const std::string& startDirectory, ConsolePipes* pipes) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return false;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        ::CloseHandle(inRead);
        ::CloseHandle(inWrite);
        return false;
    }
    // The program's own ends stay with the program.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    GetStartupInfoA(&startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = outWrite;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        startDirectory.empty() ? nullptr : startDirectory.c_str(), &startup,
                        &process)) {
        for (HANDLE h : {inRead, inWrite, outRead, outWrite}) ::CloseHandle(h);
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    pipes->inputRead = SysHandle(inRead);
    pipes->inputWrite = SysHandle(inWrite);
    pipes->outputRead = SysHandle(outRead);
    pipes->outputWrite = SysHandle(outWrite);
    pipes->processId = process.dwProcessId;
    return true;
}

long Win32Sys::ReadPipe(SysHandle pipe, char* buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(HANDLE(pipe), buffer, DWORD(size), &got, nullptr)) return -1;
    return long(got);
}

long Win32Sys::PeekPipe(SysHandle pipe) {
    DWORD available = 0;
    if (!PeekNamedPipe(HANDLE(pipe), nullptr, 0, nullptr, &available, nullptr)) return -1;
    return long(available);
}

long Win32Sys::WritePipe(SysHandle pipe, const std::string& bytes) {
    DWORD written = 0;
    if (!WriteFile(HANDLE(pipe), bytes.data(), DWORD(bytes.size()), &written, nullptr)) return -1;
    return long(written);
}

void Win32Sys::CloseHandle(SysHandle handle) {
    if (handle) ::CloseHandle(HANDLE(handle));
}

bool Win32Sys::TerminateProcessById(unsigned processId, unsigned exitCode) {
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    return process.valid() && TerminateProcess(process.get(), exitCode);
}

void Win32Sys::EnableShutdownPrivilege() {
    engine::EnablePrivileges({L"SeShutdownPrivilege"});
}

void Win32Sys::ExitWindowsEx(unsigned flags, unsigned reason) {
    ::ExitWindowsEx(flags, reason);
}
