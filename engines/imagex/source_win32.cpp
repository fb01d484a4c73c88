// Capturing through the Windows API with backup semantics: attributes, the
// three times, short names, named streams (FindFirstStreamW), security
// descriptors (GetFileSecurityW), reparse data (FSCTL_GET_REPARSE_POINT) and
// hard links (file index and link count). A file that cannot be opened, for
// example one locked by a running system, fails the capture by its path.
#ifdef _WIN32

#include <windows.h>

#include <winioctl.h>

#include <algorithm>

#include "common/console_out.h"
#include "common/win_privilege.h"
#include "common/win_handle.h"
#include "engines/imagex/capture_source.h"
#include "engines/imagex/win_util.h"
#include "engines/wimformat/wim_disk.h"

#ifndef FSCTL_GET_REPARSE_POINT
#define FSCTL_GET_REPARSE_POINT \
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 42, METHOD_BUFFERED, FILE_ANY_ACCESS)
#endif
#ifndef FILE_FLAG_OPEN_REPARSE_POINT
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
#endif

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

uint64_t TimeOf(const FILETIME& t) {
    return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

std::string Shown(const std::wstring& path) {
    std::string p = engine::Utf8FromWide(path);
    if (p.compare(0, 4, "\\\\?\\") == 0) p.erase(0, 4);
    return p;
}

Status ReadError(const std::string& what, const std::wstring& path) {
    return Status(Error::kRead, what + " \"" + Shown(path) + "\": " + LastErrorText());
}

std::wstring FullPath(const std::string& path) {
    std::wstring w = engine::WideFromUtf8(path);
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    wchar_t buf[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(w.c_str(), MAX_PATH * 4, buf, nullptr);
    if (n == 0 || n >= MAX_PATH * 4) return w;
    return buf;
}

class FileReader : public SourceReader {
  public:
    FileReader(HANDLE h, std::wstring path) : h_(h), path_(std::move(path)) {}
    Status Read(uint8_t* buffer, size_t size, size_t* got) override {
        DWORD done = 0;
        DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
        if (!ReadFile(h_.get(), buffer, want, &done, nullptr))
            return ReadError("cannot read", path_);
        *got = done;
        return Status::Ok();
    }

  private:
    engine::WinHandle h_;
    std::wstring path_;
};

class WinSource : public CaptureSource {
  public:
    Status Scan(const std::string& root, std::vector<SourceNode>* nodes) override {
        // Without them locked files and SACLs are left out, file by file.
        engine::EnablePrivileges({L"SeBackupPrivilege", L"SeSecurityPrivilege"});
        std::wstring r = FullPath(root);
        if (r.size() >= 3 && r[1] == L':' && r[2] == L'\\') r = L"\\\\?\\" + r;
        while (r.size() > 1 && r.back() == L'\\') r.pop_back();
        WIN32_FILE_ATTRIBUTE_DATA ad;
        if (!GetFileAttributesExW((r + L"\\").c_str(), GetFileExInfoStandard, &ad))
            return Status(Error::kOpen,
                          "the source \"" + root + "\" cannot be read: " + LastErrorText());
        if (!(ad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return Status(Error::kOpen, "the source \"" + root + "\" is not a folder or drive");
        nodes->clear();
        SourceNode top;
        top.path = engine::Utf8FromWide(r + L"\\");
        top.info.attributes = ad.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_REPARSE_POINT);
        top.info.creationTime = TimeOf(ad.ftCreationTime);
        top.info.lastAccessTime = TimeOf(ad.ftLastAccessTime);
        top.info.lastWriteTime = TimeOf(ad.ftLastWriteTime);
        Status s = Details(r + L"\\", &top, false);
        if (!s.ok()) return s;
        nodes->push_back(std::move(top));
        std::vector<std::wstring> dirs{r};
        std::vector<std::string> rels{std::string()};
        for (size_t k = 0; k < nodes->size(); ++k) {
            const wim::DirEntryInfo& info = (*nodes)[k].info;
            if (!info.IsDirectory() || (k > 0 && info.IsReparsePoint())) continue;
            std::wstring dir = dirs[k];
            std::vector<WIN32_FIND_DATAW> found;
            WIN32_FIND_DATAW fd;
            HANDLE h = FindFirstFileExW((dir + L"\\*").c_str(), FindExInfoStandard, &fd,
                                        FindExSearchNameMatch, nullptr, 0);
            if (h == INVALID_HANDLE_VALUE) {
                if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;
                return ReadError("cannot list the folder", dir);
            }
            do {
                if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) found.push_back(fd);
            } while (FindNextFileW(h, &fd));
            DWORD err = GetLastError();
            FindClose(h);
            if (err != ERROR_NO_MORE_FILES) return ReadError("cannot list the folder", dir);
            std::sort(found.begin(), found.end(),
                      [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
                          return wcscmp(a.cFileName, b.cFileName) < 0;
                      });
            for (const WIN32_FIND_DATAW& f : found) {
                std::string name = engine::Utf8FromWide(f.cFileName);
                std::string rel = rels[k].empty() ? name : rels[k] + "\\" + name;
                if (ExcludedFromCapture(rel)) continue;
                std::wstring path = dir + L"\\" + f.cFileName;
                SourceNode c;
                c.path = engine::Utf8FromWide(path);
                c.info.name = name;
                c.info.shortName = engine::Utf8FromWide(f.cAlternateFileName);
                c.info.attributes = f.dwFileAttributes;
                c.info.creationTime = TimeOf(f.ftCreationTime);
                c.info.lastAccessTime = TimeOf(f.ftLastAccessTime);
                c.info.lastWriteTime = TimeOf(f.ftLastWriteTime);
                if (f.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    c.info.reparseTag = f.dwReserved0;
                bool isFile = !(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
                if (isFile && !(f.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                    SourceStream data;
                    data.size = (uint64_t(f.nFileSizeHigh) << 32) | f.nFileSizeLow;
                    c.streams.push_back(data);
                }
                s = Details(path, &c, isFile);
                if (!s.ok()) return s;
                c.info.parent = int(k);
                int idx = int(nodes->size());
                (*nodes)[k].info.children.push_back(idx);
                nodes->push_back(std::move(c));
                dirs.push_back(path);
                rels.push_back(rel);
            }
        }
        return Status::Ok();
    }

    Status Open(const SourceNode& node, const std::string& stream,
                std::unique_ptr<SourceReader>* out) override {
        std::wstring p = engine::WideFromUtf8(node.path);
        if (!stream.empty()) p += L":" + engine::WideFromUtf8(stream);
        HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_LOCK_VIOLATION)
                return Status(Error::kRead, "the file \"" + Shown(p) +
                                                "\" is in use and cannot be read; nothing was "
                                                "captured");
            return ReadError("cannot open", p);
        }
        out->reset(new FileReader(h, p));
        return Status::Ok();
    }

    bool SamePath(const std::string& nodePath, const std::string& other) override {
        std::wstring a = FullPath(nodePath), b = FullPath(other);
        if (a.compare(0, 4, L"\\\\?\\") == 0) a.erase(0, 4);
        if (b.compare(0, 4, L"\\\\?\\") == 0) b.erase(0, 4);
        return lstrcmpiW(a.c_str(), b.c_str()) == 0;
    }

  private:
    // Security, hard links, reparse data and named streams of one entry.
    Status Details(const std::wstring& path, SourceNode* n, bool isFile) {
        Security(path, n);
        bool reparse = (n->info.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (!isFile && !reparse) return Status::Ok();
        engine::WinHandle h(
            CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!h.valid()) return ReadError("cannot open", path);
        BY_HANDLE_FILE_INFORMATION bi;
        if (isFile && GetFileInformationByHandle(h.get(), &bi) && bi.nNumberOfLinks > 1)
            n->linkKey = ((uint64_t(bi.nFileIndexHigh) << 32) | bi.nFileIndexLow) + 1;
        if (reparse) {
            std::string buf(16 * 1024, '\0');
            DWORD got = 0;
            if (!DeviceIoControl(h.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, &buf[0],
                                 DWORD(buf.size()), &got, nullptr) ||
                got < 8)
                return ReadError("cannot read the reparse data of", path);
            n->info.reparseTag = common::LoadLe32(&buf[0]);
            size_t len = common::LoadLe16(&buf[4]);
            if (len > got - 8) len = got - 8;
            n->reparseData = buf.substr(8, len);
            n->linkKey = 0;
            return Status::Ok();
        }
        // Named data streams; "::$DATA" is the unnamed one, listed already.
        WIN32_FIND_STREAM_DATA sd;
        HANDLE fs = FindFirstStreamW(path.c_str(), FindStreamInfoStandard, &sd, 0);
        if (fs == INVALID_HANDLE_VALUE) return Status::Ok();  // none, or not supported here
        do {
            std::wstring sn = sd.cStreamName;
            if (sn.size() > 7 && sn.compare(sn.size() - 6, 6, L":$DATA") == 0 && sn[0] == L':') {
                std::wstring name = sn.substr(1, sn.size() - 7);
                if (name.empty()) continue;
                SourceStream st;
                st.name = engine::Utf8FromWide(name);
                st.size = uint64_t(sd.StreamSize.QuadPart);
                n->streams.push_back(st);
            }
        } while (FindNextStreamW(fs, &sd));
        FindClose(fs);
        return Status::Ok();
    }

    // The descriptor with the system list when the privilege allows it;
    // without a descriptor when the file system keeps none.
    static void Security(const std::wstring& path, SourceNode* n) {
        const SECURITY_INFORMATION kinds[] = {
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                SACL_SECURITY_INFORMATION,
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION};
        for (SECURITY_INFORMATION k : kinds) {
            DWORD need = 0;
            GetFileSecurityW(path.c_str(), k, nullptr, 0, &need);
            if (need == 0) continue;
            std::string sd(need, '\0');
            if (GetFileSecurityW(path.c_str(), k, &sd[0], need, &need)) {
                sd.resize(GetSecurityDescriptorLength(&sd[0]));
                n->security = sd;
                return;
            }
        }
    }
};

}  // namespace

std::unique_ptr<CaptureSource> MakeCaptureSource() {
    return std::make_unique<WinSource>();
}

}  // namespace imagex

#endif
