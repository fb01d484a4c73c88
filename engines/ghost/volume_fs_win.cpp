// A volume reached through its root on Windows: attributes, three times, security
// descriptors, alternate data streams, hard links and reparse points.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "common/cmdline.h"
#include "common/console_out.h"
#include "engines/ghost/volume_fs.h"
#include "common/win_privilege.h"

namespace ghost {

namespace {

using engine::Utf8FromWide;
using engine::WideFromUtf8;

constexpr int64_t kEpochDelta = 116444736000000000LL;  // 1601 → 1970 in 100 ns
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
constexpr SECURITY_INFORMATION kLabelInformation = 0x10;  // LABEL_SECURITY_INFORMATION
// Owner, group, DACL, SACL and the integrity label (LocalLow and app folders
// need their Low label); systems before Vista know no label.
constexpr SECURITY_INFORMATION kSecurityParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
    SACL_SECURITY_INFORMATION | kLabelInformation;
constexpr SECURITY_INFORMATION kSecurityPartsXp = kSecurityParts & ~kLabelInformation;

// Junctions and symbolic links stay links; every other reparse point (WOF
// compressed system files, cloud files, deduplicated files) is read through
// its filter and restored as what it holds.
bool IsLink(const WIN32_FIND_DATAW& fd) {
    return (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (fd.dwReserved0 & 0x20000000);  // IsReparseTagNameSurrogate
}

int64_t Ns(const FILETIME& ft) {
    int64_t t = int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    return (t - kEpochDelta) * 100;
}
FILETIME Ft(int64_t ns) {
    uint64_t t = uint64_t(ns / 100 + kEpochDelta);
    FILETIME ft;
    ft.dwLowDateTime = DWORD(t);
    ft.dwHighDateTime = DWORD(t >> 32);
    return ft;
}

std::string LastError() {
    return std::to_string(GetLastError());
}

// FindFirstStreamW exists from Vista on; on XP alternate streams are not listed.
using FindFirstStreamFn = HANDLE(WINAPI*)(LPCWSTR, STREAM_INFO_LEVELS, LPVOID, DWORD);
using FindNextStreamFn = BOOL(WINAPI*)(HANDLE, LPVOID);

class HandleInput : public InputData {
  public:
    explicit HandleInput(HANDLE h) : h_(h) {}
    ~HandleInput() override { CloseHandle(h_); }
    long long Read(uint8_t* buffer, size_t size) override {
        DWORD got = 0;
        if (!ReadFile(h_, buffer, DWORD(std::min<size_t>(size, 1u << 30)), &got, nullptr)) {
            return -1;
        }
        return got;
    }

  private:
    HANDLE h_;
};

class HandleOutput : public OutputData {
  public:
    HandleOutput(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    ~HandleOutput() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            DWORD put = 0;
            if (!WriteFile(h_, data, DWORD(std::min<size_t>(size, 1u << 30)), &put, nullptr) ||
                put == 0) {
                err_ = GetLastError();
                return false;
            }
            data += put;
            size -= put;
        }
        return true;
    }
    Status Close() override {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(h) && !err_) err_ = GetLastError();
        if (err_ == ERROR_DISK_FULL || err_ == ERROR_HANDLE_DISK_FULL) {
            return Fail(kErrTargetFull, u8"目标分区空间不足：" + path_);
        }
        if (err_)
            return Fail(kErrWrite,
                        u8"无法写入文件 " + path_ + u8"（" + std::to_string(err_) + u8"）");
        return Ok();
    }

  private:
    HANDLE h_;
    std::string path_;
    DWORD err_ = 0;
};

class Win32Volume : public VolumeFs {
  public:
    explicit Win32Volume(std::string root) : VolumeFs(std::move(root)) {
        if (!root_.empty() && root_.back() != '\\') root_ += '\\';
        // Backup, restore and security privileges let the engine read and write
        // every file with its owner, SACL and label; without them it refuses.
        privileges_ = engine::EnablePrivileges(
            {L"SeBackupPrivilege", L"SeRestorePrivilege", L"SeSecurityPrivilege"});
        HMODULE k = GetModuleHandleW(L"kernel32.dll");
        findFirstStream_ = reinterpret_cast<FindFirstStreamFn>(
            reinterpret_cast<void*>(GetProcAddress(k, "FindFirstStreamW")));
        findNextStream_ = reinterpret_cast<FindNextStreamFn>(
            reinterpret_cast<void*>(GetProcAddress(k, "FindNextStreamW")));
    }

    // Long-path form, so deep trees restore in full.
    std::wstring Full(const std::string& rel, const ExtraStream* stream = nullptr) const {
        std::string p = root_ + rel;
        std::replace(p.begin(), p.end(), '/', '\\');
        if (p.compare(0, 4, "\\\\?\\") != 0) p = "\\\\?\\" + p;
        if (stream) p += ":" + stream->name;
        return WideFromUtf8(p);
    }
    std::string Shown(const std::string& rel) const {
        std::string p = root_ + rel;
        std::replace(p.begin(), p.end(), '/', '\\');
        return p;
    }

    Status Privileges() const {
        if (privileges_) return Ok();
        return Fail(kErrPrivilege, u8"无法启用备份、还原和安全权限，请以管理员身份运行。");
    }

    Status Scan(std::vector<Entry>* entries, const KeepGoing& keepGoing) override {
        Status p = Privileges();
        if (!p.ok()) return p;
        notKept_.clear();
        DWORD a = GetFileAttributesW(Full("").c_str());
        if (a == INVALID_FILE_ATTRIBUTES) return Fail(kErrPartition, u8"无法访问分区 " + root_);
        std::map<std::tuple<DWORD, DWORD, DWORD>, uint32_t> firstNames;
        return ScanDir("", entries, &firstNames, keepGoing);
    }

    std::unique_ptr<InputData> OpenData(const Entry& e, const ExtraStream* s) override {
        HANDLE h = CreateFileW(Full(e.path, s).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<HandleInput>(h);
    }

    Status Wipe() override {
        Status s = Privileges();
        if (!s.ok()) return s;
        // Every deletion is checked before the first one, so a target that
        // cannot be emptied is left as it was.
        std::vector<std::string> blocked;
        CheckWipe("", &blocked);
        if (!blocked.empty()) {
            std::string text = u8"目标分区上有无法删除的项目，未做任何改动：";
            for (size_t i = 0; i < blocked.size() && i < 20; ++i) text += "\r\n  " + blocked[i];
            if (blocked.size() > 20)
                text += u8"\r\n  …共 " + std::to_string(blocked.size()) + u8" 项";
            return Fail(kErrWrite, text);
        }
        // What a scan of the old contents noted is gone with them.
        notKept_.clear();
        return WipeDir("");
    }

    uint64_t FreeBytes() override {
        ULARGE_INTEGER free;
        if (!GetDiskFreeSpaceExW(WideFromUtf8(root_).c_str(), &free, nullptr, nullptr)) {
            return UINT64_MAX;
        }
        return free.QuadPart;
    }

    Status MakeDirectory(const Entry& e) override {
        if (!CreateDirectoryW(Full(e.path).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            return Fail(kErrWrite,
                        u8"无法创建目录 " + Shown(e.path) + u8"（" + LastError() + u8"）");
        }
        SetShortName(e);
        return Ok();
    }

    std::unique_ptr<OutputData> CreateData(const Entry& e, const ExtraStream* s) override {
        HANDLE h = CreateFileW(Full(e.path, s).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               s ? OPEN_ALWAYS : CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        if (!s) {
            SetShortName(e);
            // Compressed and sparse before the data, so it is stored that way.
            DWORD got = 0;
            USHORT format = COMPRESSION_FORMAT_DEFAULT;
            if ((e.attributes & FILE_ATTRIBUTE_COMPRESSED) &&
                !DeviceIoControl(h, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0, &got,
                                 nullptr))
                notKept_.push_back(u8"无法压缩 " + Shown(e.path) + u8"（" + LastError() + u8"）");
            if ((e.attributes & FILE_ATTRIBUTE_SPARSE_FILE) &&
                !DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &got, nullptr))
                notKept_.push_back(u8"无法设为稀疏文件 " + Shown(e.path) + u8"（" + LastError() +
                                   u8"）");
        }
        return std::make_unique<HandleOutput>(h, Shown(e.path));
    }

    // Gives a just created file or folder its 8.3 name (SetFileShortNameW: DELETE
    // access, backup semantics, SeRestore). A volume with 8.3 names turned off
    // refuses them all, which is the volume's choice, not a loss.
    void SetShortName(const Entry& e) {
        if (e.shortName.empty() || !shortNames_) return;
        static const auto setShortName =
            reinterpret_cast<BOOL(WINAPI*)(HANDLE, LPCWSTR)>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetFileShortNameW")));
        if (!setShortName) {
            shortNames_ = false;
            return;
        }
        HANDLE h = CreateFileW(Full(e.path).c_str(), DELETE | FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        BOOL ok = h != INVALID_HANDLE_VALUE && setShortName(h, WideFromUtf8(e.shortName).c_str());
        DWORD err = ok ? 0 : GetLastError();
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (ok) return;
        if (err == ERROR_INVALID_PARAMETER || err == ERROR_NOT_SUPPORTED ||
            err == ERROR_CALL_NOT_IMPLEMENTED) {
            shortNames_ = false;
            return;
        }
        SetLastError(err);
        notKept_.push_back(u8"无法设置短文件名 " + e.shortName + " " + Shown(e.path) + u8"（" +
                           LastError() + u8"）");
    }

    Status MakeHardLink(const Entry& e, const Entry& target) override {
        if (!CreateHardLinkW(Full(e.path).c_str(), Full(target.path).c_str(), nullptr)) {
            return Fail(kErrWrite,
                        u8"无法创建硬链接 " + Shown(e.path) + u8"（" + LastError() + u8"）");
        }
        return Ok();
    }

    Status MakeLink(const Entry& e) override {
        std::wstring path = Full(e.path);
        // Older images may hold other reparse points (WOF, cloud files) without
        // the data behind them: set back bare, they would leave an unreadable file.
        uint32_t tag = e.reparse.size() >= 8
                           ? uint32_t(e.reparse[0]) | uint32_t(e.reparse[1]) << 8 |
                                 uint32_t(e.reparse[2]) << 16 | uint32_t(e.reparse[3]) << 24
                           : 0;
        if (!(tag & 0x20000000)) {
            return Fail(kErrWrite,
                        u8"映像中的重解析点不是链接，其数据未保存，未还原 " + Shown(e.path));
        }
        bool dir = (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool made = false;
        if (dir) {
            made = CreateDirectoryW(path.c_str(), nullptr) != 0;
        } else {
            HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            made = f != INVALID_HANDLE_VALUE;
            if (made) CloseHandle(f);
        }
        if (made) SetShortName(e);
        if (!made) {
            return Fail(kErrWrite, u8"无法创建 " + Shown(e.path) + u8"（" + LastError() + u8"）");
        }
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        DWORD got = 0;
        bool ok =
            h != INVALID_HANDLE_VALUE &&
            DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, const_cast<uint8_t*>(e.reparse.data()),
                            DWORD(e.reparse.size()), nullptr, 0, &got, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (!ok) {
            return Fail(kErrWrite,
                        u8"无法创建链接 " + Shown(e.path) + u8"（" + LastError() + u8"）");
        }
        return Ok();
    }

    Status ApplyMetadata(const Entry& e) override {
        std::wstring path = Full(e.path);
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return Fail(kErrWrite,
                        u8"无法设置时间 " + Shown(e.path) + u8"（" + LastError() + u8"）");
        }
        FILETIME c = Ft(e.createNs), a = Ft(e.accessNs), w = Ft(e.writeNs);
        BOOL ok = SetFileTime(h, &c, &a, &w);
        CloseHandle(h);
        if (!ok) return Fail(kErrWrite, u8"无法设置时间 " + Shown(e.path));
        DWORD attrs = e.attributes & kSettableAttributes;
        if (attrs && !SetFileAttributesW(path.c_str(), attrs)) {
            return Fail(kErrWrite, u8"无法设置属性 " + Shown(e.path));
        }
        // Last, so a restrictive ACL cannot lock out the times and attributes.
        // Owners and ACLs need privileges a person may lack; the data matters more.
        if (!e.security.empty()) {
            PSECURITY_DESCRIPTOR sd = PSECURITY_DESCRIPTOR(const_cast<uint8_t*>(e.security.data()));
            if (!SetFileSecurityW(path.c_str(), kSecurityParts, sd) &&
                (GetLastError() != ERROR_INVALID_PARAMETER ||
                 !SetFileSecurityW(path.c_str(), kSecurityPartsXp, sd))) {
                return Fail(kErrWrite, u8"无法设置安全描述符 " + Shown(e.path) + u8"（" +
                                           LastError() + u8"）");
            }
        }
        return Ok();
    }

    bool Supports(const Entry& e) const override { return e.type != EntryType::kSymlink; }
    bool SupportsStream(const ExtraStream& s) const override {
        return s.kind == StreamKind::kAlternate;
    }

  private:
    Status ScanDir(const std::string& rel, std::vector<Entry>* entries,
                   std::map<std::tuple<DWORD, DWORD, DWORD>, uint32_t>* firstNames,
                   const KeepGoing& keepGoing) {
        std::wstring pattern = Full(rel);
        if (pattern.back() != L'\\') pattern += L'\\';
        pattern += L'*';
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW(pattern.c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND) return Ok();
            return Fail(kErrRead, u8"无法读取目录 " + Shown(rel) + u8"（" + LastError() + u8"）");
        }
        std::vector<WIN32_FIND_DATAW> items;
        do {
            if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
            items.push_back(fd);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
        std::sort(items.begin(), items.end(),
                  [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
                      return wcscmp(a.cFileName, b.cFileName) < 0;
                  });
        for (const WIN32_FIND_DATAW& it : items) {
            if (keepGoing && !keepGoing()) return Fail(kErrCancelled, "");
            std::string name = Utf8FromWide(it.cFileName);
            // The system's own folder on every volume is neither ours to read nor to replace.
            if (rel.empty() && (IsExcludedRootFile(name) ||
                                engine::EqualsNoCase(name, "System Volume Information"))) {
                continue;
            }
            Entry e;
            e.path = rel.empty() ? name : rel + "/" + name;
            e.attributes = it.dwFileAttributes;
            e.createNs = Ns(it.ftCreationTime);
            e.accessNs = Ns(it.ftLastAccessTime);
            e.writeNs = Ns(it.ftLastWriteTime);
            e.shortName = Utf8FromWide(it.cAlternateFileName);
            std::wstring path = Full(e.path);
            bool isDir = (it.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!IsLink(it)) e.attributes &= ~DWORD(FILE_ATTRIBUTE_REPARSE_POINT);
            if (IsLink(it)) {
                e.type = EntryType::kReparse;
                Status s = ReadReparse(path, &e);
                if (!s.ok()) return s;
            } else if (isDir) {
                e.type = EntryType::kDirectory;
            } else if (it.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED) {
                // EFS data cannot be read plain without the user's key: left out
                // and named, rather than failing the backup or storing it decrypted.
                notKept_.push_back(u8"加密文件未备份 " + Shown(e.path));
                continue;
            } else {
                e.type = EntryType::kFile;
                e.dataSize = (uint64_t(it.nFileSizeHigh) << 32) | it.nFileSizeLow;
                HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
                BY_HANDLE_FILE_INFORMATION info;
                if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info) &&
                    info.nNumberOfLinks > 1) {
                    auto key = std::make_tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh,
                                               info.nFileIndexLow);
                    auto found = firstNames->find(key);
                    if (found != firstNames->end()) {
                        e.type = EntryType::kHardLink;
                        e.linkTarget = found->second;
                        e.dataSize = 0;
                    } else {
                        (*firstNames)[key] = uint32_t(entries->size());
                    }
                }
                if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            }
            ReadSecurity(path, &e);
            if (e.type == EntryType::kFile || e.type == EntryType::kDirectory)
                ReadStreams(path, &e);
            entries->push_back(std::move(e));
            if (entries->back().type == EntryType::kDirectory) {
                std::string sub = entries->back().path;  // entries may move while it grows
                Status s = ScanDir(sub, entries, firstNames, keepGoing);
                if (!s.ok()) return s;
            }
        }
        return Ok();
    }

    Status ReadReparse(const std::wstring& path, Entry* e) {
        HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return Fail(kErrRead,
                        u8"无法读取链接 " + Shown(e->path) + u8"（" + LastError() + u8"）");
        }
        std::vector<uint8_t> buf(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
        DWORD got = 0;
        BOOL ok = DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, buf.data(),
                                  DWORD(buf.size()), &got, nullptr);
        CloseHandle(h);
        if (!ok)
            return Fail(kErrRead,
                        u8"无法读取链接 " + Shown(e->path) + u8"（" + LastError() + u8"）");
        buf.resize(got);
        e->reparse = std::move(buf);
        return Ok();
    }

    void ReadSecurity(const std::wstring& path, Entry* e) {
        for (SECURITY_INFORMATION parts : {kSecurityParts, kSecurityPartsXp}) {
            DWORD need = 0;
            GetFileSecurityW(path.c_str(), parts, nullptr, 0, &need);
            if (need == 0 || need > (1u << 20)) continue;
            std::vector<uint8_t> sd(need);
            if (GetFileSecurityW(path.c_str(), parts, PSECURITY_DESCRIPTOR(sd.data()), need,
                                 &need)) {
                sd.resize(std::min<size_t>(sd.size(), GetSecurityDescriptorLength(sd.data())));
                e->security = std::move(sd);
                return;
            }
        }
        notKept_.push_back(u8"无法读取安全描述符 " + Shown(e->path) + u8"（" + LastError() +
                           u8"）");
    }

    // The entries of a folder Wipe deletes (empty when it cannot be listed).
    std::vector<WIN32_FIND_DATAW> WipeItems(const std::string& rel) {
        std::vector<WIN32_FIND_DATAW> items;
        std::wstring pattern = Full(rel);
        if (pattern.back() != L'\\') pattern += L'\\';
        pattern += L'*';
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW(pattern.c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) return items;
        do {
            if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) items.push_back(fd);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
        return items;
    }

    // Collects what Wipe could not delete: every entry must open for deletion.
    void CheckWipe(const std::string& rel, std::vector<std::string>* blocked) {
        for (const WIN32_FIND_DATAW& it : WipeItems(rel)) {
            std::string name = Utf8FromWide(it.cFileName);
            if (rel.empty() && engine::EqualsNoCase(name, "System Volume Information")) continue;
            std::string child = rel.empty() ? name : rel + "/" + name;
            HANDLE h = CreateFileW(
                Full(child).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                blocked->push_back(Shown(child) + u8"（" + LastError() + u8"）");
                continue;
            }
            CloseHandle(h);
            if ((it.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(it))
                CheckWipe(child, blocked);
        }
    }

    void ReadStreams(const std::wstring& path, Entry* e) {
        if (!findFirstStream_ || !findNextStream_) return;
        WIN32_FIND_STREAM_DATA sd;
        HANDLE h = findFirstStream_(path.c_str(), FindStreamInfoStandard, &sd, 0);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            std::wstring name = sd.cStreamName;  // ":name:$DATA"
            if (name == L"::$DATA" || name.size() < 2 || name[0] != L':') continue;
            size_t end = name.rfind(L":$DATA");
            if (end == std::wstring::npos || end <= 1) continue;
            ExtraStream s;
            s.kind = StreamKind::kAlternate;
            s.name = Utf8FromWide(name.substr(1, end - 1));
            s.size = uint64_t(sd.StreamSize.QuadPart);
            e->streams.push_back(std::move(s));
        } while (findNextStream_(h, &sd));
        FindClose(h);
    }

    Status WipeDir(const std::string& rel) {
        for (const WIN32_FIND_DATAW& it : WipeItems(rel)) {
            std::string name = Utf8FromWide(it.cFileName);
            if (rel.empty() && engine::EqualsNoCase(name, "System Volume Information")) continue;
            std::string child = rel.empty() ? name : rel + "/" + name;
            std::wstring path = Full(child);
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            bool dir = (it.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // A junction or directory link goes without its target's contents;
            // a folder behind another reparse point (cloud files) is emptied.
            if (dir && !IsLink(it)) {
                Status s = WipeDir(child);
                if (!s.ok()) return s;
            }
            if (dir ? !RemoveDirectoryW(path.c_str()) : !DeleteFileW(path.c_str())) {
                return Fail(kErrWrite,
                            u8"无法删除 " + Shown(child) + u8"（" + LastError() + u8"）");
            }
        }
        return Ok();
    }

    FindFirstStreamFn findFirstStream_ = nullptr;
    FindNextStreamFn findNextStream_ = nullptr;
    bool privileges_ = false;
    bool shortNames_ = true;
};

}  // namespace

std::unique_ptr<VolumeFs> OpenVolumeFs(const std::string& root) {
    return std::make_unique<Win32Volume>(root);
}

}  // namespace ghost
