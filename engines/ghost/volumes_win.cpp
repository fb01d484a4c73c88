// Partitions on Windows: storage device numbers of drive letters and of mounted
// volumes without a letter. Volume handles are opened with no access rights: they
// are only asked for their numbers, never read or written.
#include <windows.h>
#include <winioctl.h>

#include <cwctype>

#include "common/console_out.h"
#include "engines/ghost/volumes.h"

namespace ghost {

namespace {

using engine::Utf8FromWide;
using engine::WideFromUtf8;

// device: "\\.\X:" or "\\?\Volume{...}" (no trailing backslash).
PartitionId NumberOf(const std::wstring& device) {
    HANDLE h = CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return PartitionId();
    STORAGE_DEVICE_NUMBER n = {};
    DWORD got = 0;
    BOOL ok = DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &n, sizeof n, &got,
                              nullptr);
    CloseHandle(h);
    PartitionId id;
    if (ok && n.PartitionNumber > 0) {
        id.disk = int(n.DeviceNumber) + 1;
        id.part = int(n.PartitionNumber);
    }
    return id;
}

PartitionId NumberOfRoot(const std::wstring& root) {
    if (root.size() >= 2 && root[1] == L':') return NumberOf(L"\\\\.\\" + root.substr(0, 2));
    if (root.compare(0, 4, L"\\\\?\\") == 0) {
        std::wstring dev = root;
        if (!dev.empty() && dev.back() == L'\\') dev.pop_back();
        return NumberOf(dev);
    }
    return PartitionId();
}

bool UsableDrive(const std::wstring& root) {
    UINT type = GetDriveTypeW(root.c_str());
    return type == DRIVE_FIXED || type == DRIVE_REMOVABLE;
}

class Win32VolumeMap : public VolumeMap {
  public:
    std::string RootOf(const PartitionId& id) override {
        DWORD mask = GetLogicalDrives();
        for (int i = 0; i < 26; ++i) {
            if (!(mask & (1u << i))) continue;
            std::wstring root = std::wstring(1, wchar_t(L'A' + i)) + L":\\";
            if (UsableDrive(root) && NumberOfRoot(root) == id) return Utf8FromWide(root);
        }
        // Volumes without a drive letter are reached through their volume name.
        wchar_t name[MAX_PATH];
        HANDLE find = FindFirstVolumeW(name, MAX_PATH);
        if (find == INVALID_HANDLE_VALUE) return "";
        std::string found;
        do {
            std::wstring vol = name;
            if (NumberOfRoot(vol) == id) {
                found = Utf8FromWide(vol);
                break;
            }
        } while (FindNextVolumeW(find, name, MAX_PATH));
        FindVolumeClose(find);
        return found;
    }

    PartitionId PartitionOf(const std::string& path) override {
        std::wstring full = WideFromUtf8(Absolute(path));
        wchar_t root[MAX_PATH];
        if (!GetVolumePathNameW(full.c_str(), root, MAX_PATH)) return PartitionId();
        PartitionId id = NumberOfRoot(root);
        if (id.valid()) return id;
        wchar_t vol[MAX_PATH];
        if (GetVolumeNameForVolumeMountPointW(root, vol, MAX_PATH)) return NumberOfRoot(vol);
        return PartitionId();
    }

    PartitionId SystemPartition() override {
        wchar_t dir[MAX_PATH];
        UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return PartitionId();
        return PartitionOf(Utf8FromWide(dir));
    }

    std::string Absolute(const std::string& path) override {
        std::wstring w = WideFromUtf8(path);
        DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
        if (n == 0) return path;
        std::wstring out(n, L'\0');
        n = GetFullPathNameW(w.c_str(), n, &out[0], nullptr);
        out.resize(n);
        return Utf8FromWide(out);
    }
};

std::wstring Canonical(const std::string& p) {
    std::wstring w = WideFromUtf8(p);
    for (wchar_t& c : w) c = c == L'/' ? L'\\' : wchar_t(towlower(c));
    while (w.size() > 3 && w.back() == L'\\') w.pop_back();
    return w;
}

}  // namespace

bool PathInside(const std::string& path, const std::string& folder) {
    std::wstring p = Canonical(path), f = Canonical(folder);
    if (f.empty() || p.compare(0, f.size(), f) != 0) return false;
    return p.size() == f.size() || f.back() == L'\\' || p[f.size()] == L'\\';
}

std::unique_ptr<VolumeMap> MakeVolumeMap() {
    return std::make_unique<Win32VolumeMap>();
}

}  // namespace ghost
