// The ISO tool on Windows: the system's virtual disk service where it exists (Windows 8
// and WinPE 4 on), else the image's files copied into a cache folder and the letter
// mapped to it. Under Wine, where a letter made from inside a program gives no file
// access, the letter becomes a link in the prefix's dosdevices folder, made by the
// host's ln (Wine starts host programs named \\?\unix\<path>).
#include <windows.h>
#include <winioctl.h>

#include <string>
#include <vector>

#include "engines/isotool/iso_cli.h"
#include "engines/isotool/mount_backend.h"

namespace isotool {

namespace {

std::wstring Wide(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(codePage, 0, text.c_str(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, text.c_str(), int(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(codePage, 0, text.c_str(), int(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(std::size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.c_str(), int(text.size()), &out[0], n, nullptr,
                            nullptr);
    return out;
}

// --- the virtual disk service (virtdisk.dll), declared here for old SDKs -------------

struct StorageType {
    ULONG deviceId;
    GUID vendorId;
};
const GUID kMicrosoftVendor = {
    0xEC984AEC, 0xA0F9, 0x47E9, {0x90, 0x1F, 0x71, 0x41, 0x5A, 0x66, 0x34, 0x5B}};
constexpr ULONG kStorageTypeIso = 1;
constexpr DWORD kAccessRead = 0x000D0000;
constexpr DWORD kAttachReadOnly = 1, kAttachNoDriveLetter = 2, kAttachPermanent = 4;
constexpr DWORD kDetachNone = 0;

using OpenVirtualDiskFn = DWORD(WINAPI*)(StorageType*, PCWSTR, DWORD, DWORD, void*, HANDLE*);
using AttachVirtualDiskFn = DWORD(WINAPI*)(HANDLE, void*, DWORD, ULONG, void*, void*);
using DetachVirtualDiskFn = DWORD(WINAPI*)(HANDLE, DWORD, ULONG);
using GetPhysicalPathFn = DWORD(WINAPI*)(HANDLE, PULONG, PWSTR);

template <typename Fn>
Fn Proc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The volume on the CD-ROM device with this number, as \\?\Volume{...}\.
std::wstring VolumeOfCdRom(DWORD number) {
    WCHAR name[MAX_PATH];
    HANDLE find = FindFirstVolumeW(name, MAX_PATH);
    if (find == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring found;
    do {
        std::wstring device = name;
        if (!device.empty() && device.back() == L'\\') device.pop_back();
        HANDLE h = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        STORAGE_DEVICE_NUMBER n = {};
        DWORD got = 0;
        const BOOL ok = DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &n,
                                        sizeof n, &got, nullptr);
        CloseHandle(h);
        if (ok && n.DeviceType == FILE_DEVICE_CD_ROM && n.DeviceNumber == number) {
            found = name;
            break;
        }
    } while (FindNextVolumeW(find, name, MAX_PATH));
    FindVolumeClose(find);
    return found;
}

// Wine's kernel32 turns a Windows path into the host's; absent on Windows.
using UnixNameFn = char*(CDECL*)(LPCWSTR);

UnixNameFn WineUnixName() {
    return Proc<UnixNameFn>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
}

std::string UnixPathOf(UnixNameFn unixName, const std::wstring& path) {
    char* name = unixName(path.c_str());
    if (!name) return std::string();
    std::string out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// Runs a host program under Wine and waits for it; true when it exits with 0.
bool RunHostProgram(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

std::wstring Quoted(const std::string& unixPath) {
    return L"\"" + Wide(unixPath, CP_UTF8) + L"\"";
}

// The list of what this tool mounted: one line "kind|letter|path" each.
std::wstring ListPath() {
    WCHAR windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring path = windows;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + L"StarBridgeIso.lst";
}

void Remember(const std::string& kind, char letter, const std::string& path) {
    HANDLE h = CreateFileW(ListPath().c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    const std::string line = kind + "|" + std::string(1, letter) + "|" + path + "\r\n";
    DWORD written = 0;
    WriteFile(h, line.data(), DWORD(line.size()), &written, nullptr);
    CloseHandle(h);
}

std::vector<std::string> Remembered() {
    std::vector<std::string> lines;
    HANDLE h = CreateFileW(ListPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lines;
    std::string all;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) all.append(buffer, got);
    CloseHandle(h);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find("\r\n", start);
        if (end == std::string::npos) end = all.size();
        if (end > start) lines.push_back(all.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Empties and removes a cache folder. A link inside it is removed as a link, never
// followed: it may lead back into the folder or out to files that are not ours. The
// depth limit stops a loop that a file system does not report as a link.
void RemoveFolder(const std::wstring& folder, int depth = 0) {
    if (depth > 64) return;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            const DWORD attributes = data.dwFileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveFolder(path, depth + 1);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

class WindowsBackend : public MountBackend {
  public:
    bool AttachIso(const std::string& isoPath, char letter, std::string& note) override {
        HMODULE virtdisk = LoadLibraryA("virtdisk.dll");
        auto open = virtdisk ? Proc<OpenVirtualDiskFn>(virtdisk, "OpenVirtualDisk") : nullptr;
        auto attach = virtdisk ? Proc<AttachVirtualDiskFn>(virtdisk, "AttachVirtualDisk") : nullptr;
        auto physical =
            virtdisk ? Proc<GetPhysicalPathFn>(virtdisk, "GetVirtualDiskPhysicalPath") : nullptr;
        if (!open || !attach || !physical) {
            note = "this system has no virtual disk service";
            return false;
        }
        StorageType type = {kStorageTypeIso, kMicrosoftVendor};
        HANDLE disk = nullptr;
        const std::wstring path = Wide(isoPath, CP_ACP);
        if (open(&type, path.c_str(), kAccessRead, 0, nullptr, &disk) != ERROR_SUCCESS) {
            note = "the virtual disk service cannot open the image";
            return false;
        }
        if (attach(disk, nullptr, kAttachReadOnly | kAttachNoDriveLetter | kAttachPermanent, 0,
                   nullptr, nullptr) != ERROR_SUCCESS) {
            CloseHandle(disk);
            note = "the virtual disk service cannot attach the image";
            return false;
        }
        WCHAR device[MAX_PATH] = {};
        ULONG size = sizeof device;
        DWORD number = DWORD(-1);
        if (physical(disk, &size, device) == ERROR_SUCCESS) {
            // \\.\CDROM<n>
            const std::wstring text = device;
            const std::size_t digits = text.find_last_not_of(L"0123456789");
            if (digits != std::wstring::npos && digits + 1 < text.size())
                number = DWORD(std::wcstoul(text.c_str() + digits + 1, nullptr, 10));
        }
        std::wstring volume;
        for (int attempt = 0; attempt < 50 && volume.empty() && number != DWORD(-1); ++attempt) {
            volume = VolumeOfCdRom(number);
            if (volume.empty()) Sleep(100);
        }
        const std::wstring root = std::wstring(1, wchar_t(letter)) + L":\\";
        if (volume.empty() || !SetVolumeMountPointW(root.c_str(), volume.c_str())) {
            auto detach = Proc<DetachVirtualDiskFn>(virtdisk, "DetachVirtualDisk");
            if (detach) detach(disk, kDetachNone, 0);
            CloseHandle(disk);
            note = "the attached image got no volume on " + std::string(1, letter) + ":";
            return false;
        }
        CloseHandle(disk);
        Remember("vhd", letter, isoPath);
        return true;
    }

    std::string CacheFolderFor(char letter) override {
        const DWORD drives = GetLogicalDrives();
        for (int i = 2; i < 26; ++i) {
            const char drive = char('A' + i);
            if (!(drives & (1u << i)) || drive == letter) continue;
            const std::wstring root = std::wstring(1, wchar_t(drive)) + L":\\";
            if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) continue;
            const std::wstring base = root + L"StarBridgeIsoCache";
            CreateDirectoryW(base.c_str(), nullptr);
            const std::wstring probe = base + L"\\probe.tmp";
            HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) continue;
            CloseHandle(h);
            DeleteFileW(probe.c_str());
            return Narrow(base, CP_UTF8) + "\\" + std::string(1, letter);
        }
        return std::string();
    }

    bool MapLetter(char letter, const std::string& folder, std::string& note) override {
        const std::wstring drive = std::wstring(1, wchar_t(letter)) + L":";
        const std::wstring folderW = Wide(folder, CP_UTF8);
        if (UnixNameFn unixName = WineUnixName()) {
            // <prefix>/dosdevices/c:/ names the prefix's drive folder.
            std::string devices = UnixPathOf(unixName, L"C:\\");
            const std::size_t at = devices.rfind("/c:");
            const std::string target = UnixPathOf(unixName, folderW.c_str());
            if (at == std::string::npos || target.empty()) {
                note = "the Wine prefix cannot be found";
                return false;
            }
            std::string link = devices.substr(0, at) + "/" + char(letter - 'A' + 'a') + ":";
            // Wine does not always pass a host program's exit code back: the link
            // counts once the letter's root opens.
            // -n -f: a link left by a killed run is replaced, not entered (a plain
            // "ln -s" would make the new link inside the old one's folder).
            RunHostProgram(L"\\\\?\\unix\\bin\\ln -sfn " + Quoted(target) + L" " + Quoted(link));
            // Wine starts the host program without waiting for it: give it time.
            bool linked = false;
            for (int tries = 0; tries < 100 && !linked; ++tries) {
                linked = GetFileAttributesW((drive + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES;
                if (!linked) Sleep(100);
            }
            if (!linked) {
                note = "the link " + link + " cannot be made";
                return false;
            }
            note = "under Wine: " + link + " links to the cache folder";
            Remember("wine", letter, link + "|" + folder);
            return true;
        }
        if (!DefineDosDeviceW(0, drive.c_str(), folderW.c_str())) {
            note = "the letter cannot be defined";
            return false;
        }
        Remember("cache", letter, folder);
        return true;
    }

    std::string UnmountAll() override {
        std::string said;
        HMODULE virtdisk = nullptr;
        for (const std::string& line : Remembered()) {
            const std::size_t a = line.find('|');
            if (a == std::string::npos || a + 2 >= line.size()) continue;
            const std::string kind = line.substr(0, a);
            const char letter = line[a + 1];
            const std::string rest = line.size() > a + 3 ? line.substr(a + 3) : std::string();
            const std::wstring drive = std::wstring(1, wchar_t(letter)) + L":";
            if (kind == "vhd") {
                if (!virtdisk) virtdisk = LoadLibraryA("virtdisk.dll");
                auto open =
                    virtdisk ? Proc<OpenVirtualDiskFn>(virtdisk, "OpenVirtualDisk") : nullptr;
                auto detach =
                    virtdisk ? Proc<DetachVirtualDiskFn>(virtdisk, "DetachVirtualDisk") : nullptr;
                StorageType type = {kStorageTypeIso, kMicrosoftVendor};
                HANDLE disk = nullptr;
                const std::wstring path = Wide(rest, CP_ACP);
                if (open && detach &&
                    open(&type, path.c_str(), kAccessRead, 0, nullptr, &disk) == ERROR_SUCCESS) {
                    detach(disk, kDetachNone, 0);
                    CloseHandle(disk);
                }
            } else if (kind == "cache") {
                DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
                RemoveFolder(Wide(rest, CP_UTF8));
            } else if (kind == "wine") {
                const std::size_t b = rest.find('|');
                const std::string link = rest.substr(0, b);
                RunHostProgram(L"\\\\?\\unix\\bin\\rm -f " + Quoted(link));
                if (b != std::string::npos) RemoveFolder(Wide(rest.substr(b + 1), CP_UTF8));
            } else {
                continue;
            }
            said += "ISO: unmounted " + std::string(1, letter) + ":\r\n";
        }
        DeleteFileW(ListPath().c_str());
        return said;
    }
};

}  // namespace

MountBackend& SystemMountBackend() {
    static WindowsBackend backend;
    return backend;
}

}  // namespace isotool
