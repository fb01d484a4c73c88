// The seam's calls forwarded to the Windows API.
#include "engines/ntfs_seam/ntfs_api.h"

#ifdef _WIN32

#include <windows.h>

#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "common/console_out.h"
#include "common/win_privilege.h"
#include "engines/wimformat/utf.h"

#ifndef FSCTL_SET_REPARSE_POINT
#define FSCTL_SET_REPARSE_POINT \
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 41, METHOD_BUFFERED, FILE_SPECIAL_ACCESS)
#endif
#ifndef FSCTL_SET_SPARSE
#define FSCTL_SET_SPARSE CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 49, METHOD_BUFFERED, FILE_SPECIAL_ACCESS)
#endif
#ifndef FSCTL_SET_COMPRESSION
#define FSCTL_SET_COMPRESSION \
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 16, METHOD_BUFFERED, FILE_READ_DATA | FILE_WRITE_DATA)
#endif
#ifndef FSCTL_GET_REPARSE_POINT
#define FSCTL_GET_REPARSE_POINT \
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 42, METHOD_BUFFERED, FILE_ANY_ACCESS)
#endif
#ifndef FILE_FLAG_OPEN_REPARSE_POINT
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
#endif

namespace ntfs {

namespace {

// Names are UTF-8, except that a lone surrogate (which a Windows name may
// hold) is its own three-byte sequence, so that every name goes both ways.
std::wstring Wide(const std::string& utf8) {
    std::string le = wim::Utf16LeFromUtf8(utf8);
    std::wstring out(le.size() / 2, L'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = wchar_t(uint8_t(le[2 * i]) | uint8_t(le[2 * i + 1]) << 8);
    return out;
}

std::string Narrow(const std::wstring& wide) {
    std::string le(wide.size() * 2, '\0');
    for (size_t i = 0; i < wide.size(); ++i) {
        le[2 * i] = char(wide[i] & 0xFF);
        le[2 * i + 1] = char((wide[i] >> 8) & 0xFF);
    }
    return wim::Utf8FromUtf16Le(reinterpret_cast<const uint8_t*>(le.data()), le.size());
}

uint32_t Result(BOOL ok) {
    return ok ? kOk : uint32_t(GetLastError());
}

// SetFileShortNameW appeared with Windows XP; looked up so that the program
// still loads where it is missing.
using SetShortNameFn = BOOL(WINAPI*)(HANDLE, LPCWSTR);
// FindFirstStreamW exists from Vista on; on XP named streams are not listed.
using FindFirstStreamFn = HANDLE(WINAPI*)(LPCWSTR, STREAM_INFO_LEVELS, LPVOID, DWORD);
using FindNextStreamFn = BOOL(WINAPI*)(HANDLE, LPVOID);

// FileBasicInformation through ntdll, which every Windows version has
// (SetFileInformationByHandle came with Vista).
struct BasicInformation {
    LARGE_INTEGER creation, access, write, change;
    ULONG attributes;
};
struct IoStatus {
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};
using NtSetInformationFileFn = LONG(NTAPI*)(HANDLE, IoStatus*, PVOID, ULONG, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(LONG);
constexpr ULONG kFileBasicInformation = 4;

// Hands a raw EFS export to WriteEncryptedFileRaw piece by piece.
struct RawFeed {
    const char* data;
    size_t size;
    size_t pos;
};
DWORD WINAPI FeedRaw(PBYTE out, PVOID context, PULONG length) {
    RawFeed* f = static_cast<RawFeed*>(context);
    ULONG n = ULONG(std::min<size_t>(*length, f->size - f->pos));
    memcpy(out, f->data + f->pos, n);
    f->pos += n;
    *length = n;
    return ERROR_SUCCESS;
}

uint64_t Filetime(const FILETIME& t) {
    return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

class Win32Api : public Api {
  public:
    bool EnablePrivileges() override {
        // Taking ownership and symbolic links are helpful, not required.
        engine::EnablePrivileges({L"SeTakeOwnershipPrivilege", L"SeCreateSymbolicLinkPrivilege"});
        return engine::EnablePrivileges(
            {L"SeBackupPrivilege", L"SeRestorePrivilege", L"SeSecurityPrivilege"});
    }

    uint32_t FullPath(const std::string& path, std::string* full) override {
        std::wstring p = Wide(path);
        for (wchar_t& c : p)
            if (c == L'/') c = L'\\';
        wchar_t buffer[MAX_PATH * 4];
        DWORD n = GetFullPathNameW(p.c_str(), MAX_PATH * 4, buffer, nullptr);
        if (n == 0) return GetLastError();
        if (n >= MAX_PATH * 4) return kErrInvalidParameter;
        std::wstring r = buffer;
        // Drive-letter paths take the long-path prefix so deep trees fit.
        if (r.size() >= 3 && r[1] == L':' && r[2] == L'\\') r = L"\\\\?\\" + r;
        *full = Narrow(r);
        return kOk;
    }

    uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override {
        DWORD a = GetFileAttributesW(Wide(path).c_str());
        if (a == INVALID_FILE_ATTRIBUTES) return GetLastError();
        *attributes = a;
        return kOk;
    }
    uint32_t SetAttributes(const std::string& path, uint32_t attributes) override {
        return Result(SetFileAttributesW(Wide(path).c_str(), attributes));
    }
    uint32_t MakeFolder(const std::string& path) override {
        return Result(CreateDirectoryW(Wide(path).c_str(), nullptr));
    }
    uint32_t RemoveFolder(const std::string& path) override {
        return Result(RemoveDirectoryW(Wide(path).c_str()));
    }
    uint32_t DeleteName(const std::string& path) override {
        return Result(DeleteFileW(Wide(path).c_str()));
    }
    uint32_t MakeHardLink(const std::string& newPath, const std::string& existing) override {
        return Result(CreateHardLinkW(Wide(newPath).c_str(), Wide(existing).c_str(), nullptr));
    }

    uint32_t Open(const std::string& path, uint32_t access, Disposition disposition,
                  const OpenOptions& options, Handle* handle) override {
        DWORD rights = 0;
        if (access & kRead) rights |= GENERIC_READ;
        if (access & kWrite) rights |= GENERIC_WRITE;
        if (access & kWriteAttributes) rights |= FILE_WRITE_ATTRIBUTES;
        if (access & kDelete) rights |= DELETE;
        if (access & kWriteDac) rights |= WRITE_DAC;
        if (access & kWriteOwner) rights |= WRITE_OWNER;
        if (access & kSystemSecurity) rights |= ACCESS_SYSTEM_SECURITY;
        if (access & kReadAttributes) rights |= FILE_READ_ATTRIBUTES;
        if (access & kReadControl) rights |= READ_CONTROL;
        static const DWORD kDispositions[] = {CREATE_ALWAYS, CREATE_NEW, OPEN_EXISTING,
                                              OPEN_ALWAYS};
        DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
        if (options.backupSemantics) flags |= FILE_FLAG_BACKUP_SEMANTICS;
        if (options.openReparsePoint) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        if (options.deleteOnClose) flags |= FILE_FLAG_DELETE_ON_CLOSE;
        // A file's streams are written through handles open at the same time,
        // one of them with DELETE access (its short name): all are shared.
        DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE h = CreateFileW(Wide(path).c_str(), rights, share, nullptr,
                               kDispositions[int(disposition)], flags, nullptr);
        if (h == INVALID_HANDLE_VALUE) return GetLastError();
        *handle = Handle(reinterpret_cast<uintptr_t>(h));
        return kOk;
    }

    uint32_t Write(Handle h, const uint8_t* data, size_t size) override {
        while (size) {
            DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
            DWORD done = 0;
            if (!WriteFile(Native(h), data, want, &done, nullptr)) return GetLastError();
            if (done == 0) return ERROR_WRITE_FAULT;
            data += done;
            size -= done;
        }
        return kOk;
    }
    uint32_t Close(Handle h) override { return Result(CloseHandle(Native(h))); }

    uint32_t SetShortName(Handle h, const std::string& shortName) override {
        static SetShortNameFn fn = reinterpret_cast<SetShortNameFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileShortNameW")));
        if (!fn) return kErrNotSupported;
        return Result(fn(Native(h), Wide(shortName).c_str()));
    }

    uint32_t SetReparsePoint(Handle h, const std::string& buffer) override {
        std::string copy = buffer;
        DWORD ret = 0;
        return Result(DeviceIoControl(Native(h), FSCTL_SET_REPARSE_POINT, &copy[0],
                                      DWORD(copy.size()), nullptr, 0, &ret, nullptr));
    }
    uint32_t SetCompressed(Handle h) override {
        USHORT format = COMPRESSION_FORMAT_DEFAULT;
        DWORD ret = 0;
        return Result(DeviceIoControl(Native(h), FSCTL_SET_COMPRESSION, &format, sizeof format,
                                      nullptr, 0, &ret, nullptr));
    }
    uint32_t SetSparse(Handle h) override {
        DWORD ret = 0;
        return Result(
            DeviceIoControl(Native(h), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ret, nullptr));
    }
    uint32_t SetTimes(Handle h, uint64_t creation, uint64_t access, uint64_t write) override {
        FILETIME c = {DWORD(creation), DWORD(creation >> 32)};
        FILETIME a = {DWORD(access), DWORD(access >> 32)};
        FILETIME w = {DWORD(write), DWORD(write >> 32)};
        return Result(SetFileTime(Native(h), &c, &a, &w));
    }
    uint32_t SetAttributesOf(Handle h, uint32_t attributes) override {
        HMODULE nt = GetModuleHandleW(L"ntdll.dll");
        static NtSetInformationFileFn set = reinterpret_cast<NtSetInformationFileFn>(
            reinterpret_cast<void*>(GetProcAddress(nt, "NtSetInformationFile")));
        static RtlNtStatusToDosErrorFn dos = reinterpret_cast<RtlNtStatusToDosErrorFn>(
            reinterpret_cast<void*>(GetProcAddress(nt, "RtlNtStatusToDosError")));
        if (!set || !dos) return kErrNotSupported;
        BasicInformation info = {};  // zero times: left as they are
        info.attributes = attributes;
        IoStatus io = {};
        LONG status = set(Native(h), &io, &info, sizeof info, kFileBasicInformation);
        return status >= 0 ? kOk : uint32_t(dos(status));
    }

    uint32_t SetSecurity(Handle h, uint32_t information, const std::string& sd) override {
        std::string copy = sd;
        return Result(SetKernelObjectSecurity(Native(h), information, &copy[0]));
    }

    uint32_t ListFolder(const std::string& path, std::vector<FoundName>* names) override {
        names->clear();
        std::wstring pattern = Wide(path);
        if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
        pattern += L'*';
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW(pattern.c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            return e == ERROR_FILE_NOT_FOUND ? uint32_t(kOk) : uint32_t(e);
        }
        do {
            if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
            FoundName n;
            n.name = Narrow(fd.cFileName);
            n.shortName = Narrow(fd.cAlternateFileName);
            n.attributes = fd.dwFileAttributes;
            n.creation = Filetime(fd.ftCreationTime);
            n.access = Filetime(fd.ftLastAccessTime);
            n.write = Filetime(fd.ftLastWriteTime);
            n.size = uint64_t(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) n.reparseTag = fd.dwReserved0;
            names->push_back(std::move(n));
        } while (FindNextFileW(find, &fd));
        DWORD e = GetLastError();
        FindClose(find);
        return e == ERROR_NO_MORE_FILES ? uint32_t(kOk) : uint32_t(e);
    }

    uint32_t ListStreams(const std::string& path, std::vector<StreamInfo>* streams) override {
        streams->clear();
        HMODULE k = GetModuleHandleW(L"kernel32.dll");
        static FindFirstStreamFn first = reinterpret_cast<FindFirstStreamFn>(
            reinterpret_cast<void*>(GetProcAddress(k, "FindFirstStreamW")));
        static FindNextStreamFn next = reinterpret_cast<FindNextStreamFn>(
            reinterpret_cast<void*>(GetProcAddress(k, "FindNextStreamW")));
        if (!first || !next) return kErrNotSupported;
        WIN32_FIND_STREAM_DATA sd;
        HANDLE h = first(Wide(path).c_str(), FindStreamInfoStandard, &sd, 0);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            return e == ERROR_HANDLE_EOF ? uint32_t(kOk) : uint32_t(e);
        }
        do {
            std::wstring name = sd.cStreamName;  // ":name:$DATA"
            if (name == L"::$DATA" || name.size() < 2 || name[0] != L':') continue;
            size_t end = name.rfind(L":$DATA");
            if (end == std::wstring::npos || end <= 1) continue;
            streams->push_back({Narrow(name.substr(1, end - 1)), uint64_t(sd.StreamSize.QuadPart)});
        } while (next(h, &sd));
        FindClose(h);
        return kOk;
    }

    uint32_t Read(Handle h, uint8_t* data, size_t size, size_t* got) override {
        DWORD n = 0;
        *got = 0;
        if (!ReadFile(Native(h), data, DWORD(size > (1u << 30) ? (1u << 30) : size), &n, nullptr))
            return GetLastError();
        *got = n;
        return kOk;
    }

    uint32_t Skip(Handle h, uint64_t bytes, bool end) override {
        LARGE_INTEGER move;
        move.QuadPart = LONGLONG(bytes);
        if (!SetFilePointerEx(Native(h), move, nullptr, FILE_CURRENT)) return GetLastError();
        return end ? Result(SetEndOfFile(Native(h))) : kOk;
    }

    uint32_t GetSecurity(Handle h, uint32_t information, std::string* sd) override {
        DWORD need = 0;
        GetKernelObjectSecurity(Native(h), information, nullptr, 0, &need);
        if (need == 0) return GetLastError();
        if (need > (1u << 20)) return kErrInvalidParameter;
        sd->assign(need, '\0');
        if (!GetKernelObjectSecurity(Native(h), information, &(*sd)[0], need, &need))
            return GetLastError();
        sd->resize(std::min<size_t>(sd->size(), GetSecurityDescriptorLength(&(*sd)[0])));
        return kOk;
    }

    uint32_t GetReparsePoint(Handle h, std::string* buffer) override {
        buffer->assign(16 * 1024, '\0');
        DWORD got = 0;
        if (!DeviceIoControl(Native(h), FSCTL_GET_REPARSE_POINT, nullptr, 0, &(*buffer)[0],
                             DWORD(buffer->size()), &got, nullptr))
            return GetLastError();
        buffer->resize(got);
        return kOk;
    }

    uint32_t Identify(Handle h, FileIdentity* id) override {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(Native(h), &info)) return GetLastError();
        id->volumeSerial = info.dwVolumeSerialNumber;
        id->index = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
        id->links = info.nNumberOfLinks;
        return kOk;
    }

    uint32_t FreeBytes(const std::string& path, uint64_t* free) override {
        ULARGE_INTEGER f;
        if (!GetDiskFreeSpaceExW(Wide(path).c_str(), &f, nullptr, nullptr)) return GetLastError();
        *free = f.QuadPart;
        return kOk;
    }

    uint32_t WriteEncryptedRaw(const std::string& path, const std::string& raw) override {
        PVOID context = nullptr;
        DWORD e = OpenEncryptedFileRawW(Wide(path).c_str(), CREATE_FOR_IMPORT, &context);
        if (e != ERROR_SUCCESS) return e;
        RawFeed feed = {raw.data(), raw.size(), 0};
        e = WriteEncryptedFileRaw(&FeedRaw, &feed, context);
        CloseEncryptedFileRaw(context);
        return e;
    }

  private:
    static HANDLE Native(Handle h) { return reinterpret_cast<HANDLE>(uintptr_t(h)); }
};

}  // namespace

std::unique_ptr<Api> MakeWin32Api() {
    return std::make_unique<Win32Api>();
}

std::string ErrorText(uint32_t code) {
    wchar_t* msg = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
    std::string text = "error " + std::to_string(code);
    if (msg) {
        std::string m = engine::Utf8FromWide(msg);
        while (!m.empty() && (m.back() == '\n' || m.back() == '\r' || m.back() == ' '))
            m.pop_back();
        text += " (" + m + ")";
        LocalFree(msg);
    }
    return text;
}

}  // namespace ntfs

#else

namespace ntfs {

std::string ErrorText(uint32_t code) {
    return "error " + std::to_string(code);
}

}  // namespace ntfs

#endif
