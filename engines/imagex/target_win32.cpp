// Applying through the Windows API: files and folders with their attributes,
// timestamps, named streams, security descriptors, reparse points and hard
// links. Where the process lacks a privilege (security descriptors, reparse
// points under Wine), the item is counted and skipped, never fatal.
#ifdef _WIN32

#include <windows.h>

#include <winioctl.h>

#include "common/console_out.h"
#include "engines/imagex/apply_target.h"
#include "engines/imagex/win_util.h"
#include "common/le.h"
#include "common/win_handle.h"

#ifndef FSCTL_SET_REPARSE_POINT
#define FSCTL_SET_REPARSE_POINT \
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 41, METHOD_BUFFERED, FILE_SPECIAL_ACCESS)
#endif
#ifndef FILE_FLAG_OPEN_REPARSE_POINT
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000
#endif

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

using Handle = engine::WinHandle;

Status WriteError(const std::string& what, const std::wstring& path) {
    std::string p = engine::Utf8FromWide(path);
    if (p.compare(0, 4, "\\\\?\\") == 0) p.erase(0, 4);
    return Status(Error::kWrite, what + " \"" + p + "\": " + LastErrorText());
}

class WinStream : public OutStream {
  public:
    WinStream(HANDLE h, std::wstring path) : h_(h), path_(std::move(path)) {}
    Status Write(const uint8_t* data, size_t size) override {
        while (size) {
            DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
            DWORD done = 0;
            if (!WriteFile(h_.get(), data, want, &done, nullptr) || done == 0)
                return WriteError("cannot write", path_);
            data += done;
            size -= done;
        }
        return Status::Ok();
    }
    Status Close() override {
        if (!h_.Reset()) return WriteError("cannot close", path_);
        return Status::Ok();
    }

  private:
    Handle h_;
    std::wstring path_;
};

class WinTarget : public ApplyTarget {
  public:
    Status Prepare(const std::string& root) override {
        EnablePrivilege(L"SeRestorePrivilege");
        EnablePrivilege(L"SeBackupPrivilege");
        EnablePrivilege(L"SeSecurityPrivilege");
        EnablePrivilege(L"SeTakeOwnershipPrivilege");
        EnablePrivilege(L"SeCreateSymbolicLinkPrivilege");
        std::wstring r = engine::WideFromUtf8(root);
        for (wchar_t& c : r)
            if (c == L'/') c = L'\\';
        wchar_t full[MAX_PATH * 4];
        DWORD n = GetFullPathNameW(r.c_str(), MAX_PATH * 4, full, nullptr);
        if (n == 0 || n >= MAX_PATH * 4)
            return Status(Error::kTarget, "bad target path \"" + root + "\"");
        root_ = full;
        if (root_.back() != L'\\') root_ += L'\\';
        // Drive-letter paths take the long-path prefix so deep trees fit.
        if (root_.size() >= 3 && root_[1] == L':' && root_[2] == L'\\') root_ = L"\\\\?\\" + root_;
        DWORD attr = GetFileAttributesW(root_.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) {
            // Create the folder and any missing parents.
            for (size_t i = root_.find(L'\\', 7); i != std::wstring::npos;
                 i = root_.find(L'\\', i + 1))
                CreateDirectoryW(root_.substr(0, i).c_str(), nullptr);
            attr = GetFileAttributesW(root_.c_str());
            if (attr == INVALID_FILE_ATTRIBUTES)
                return Status(Error::kTarget, "cannot create the target folder \"" + root +
                                                  "\": " + LastErrorText());
        }
        if (!(attr & FILE_ATTRIBUTE_DIRECTORY))
            return Status(Error::kTarget, "the target \"" + root + "\" is not a folder");
        return Status::Ok();
    }

    Status MakeDirectory(const std::string& rel) override {
        std::wstring p = Full(rel);
        DWORD attr = GetFileAttributesW(p.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES) {
            if (attr & FILE_ATTRIBUTE_DIRECTORY) return Status::Ok();
            SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(p.c_str())) return WriteError("cannot replace", p);
        }
        if (!CreateDirectoryW(p.c_str(), nullptr)) return WriteError("cannot create the folder", p);
        return Status::Ok();
    }

    Status CreateStream(const std::string& rel, const std::string& stream, uint64_t size,
                        std::unique_ptr<OutStream>* out) override {
        std::wstring p = Full(rel);
        if (stream.empty()) {
            DWORD attr = GetFileAttributesW(p.c_str());
            if (attr != INVALID_FILE_ATTRIBUTES &&
                (attr & kSettableAttributes & ~FILE_ATTRIBUTE_ARCHIVE))
                SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else {
            p += L":" + engine::WideFromUtf8(stream);
        }
        HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) return WriteError("cannot create the file", p);
        if (size > (1u << 20)) {
            // Reserving the size up front keeps large files in one piece.
            LARGE_INTEGER li;
            li.QuadPart = LONGLONG(size);
            if (SetFilePointerEx(h, li, nullptr, FILE_BEGIN)) SetEndOfFile(h);
            li.QuadPart = 0;
            SetFilePointerEx(h, li, nullptr, FILE_BEGIN);
        }
        out->reset(new WinStream(h, p));
        return Status::Ok();
    }

    Status MakeHardLink(const std::string& existing, const std::string& rel) override {
        std::wstring from = Full(existing), to = Full(rel);
        if (GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES) {
            SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(to.c_str());
        }
        if (!CreateHardLinkW(to.c_str(), from.c_str(), nullptr))
            return WriteError("cannot make the hard link", to);
        return Status::Ok();
    }

    Status SetReparsePoint(const std::string& rel, const wim::DirEntryInfo& e,
                           const std::string& data, int) override {
        std::wstring p = Full(rel);
        if (data.size() > 16 * 1024 - 8) {
            warnings_.reparseSkipped++;
            return Status::Ok();
        }
        Handle h(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        std::string buf(8, '\0');
        common::StoreLe32(&buf[0], e.reparseTag);
        common::StoreLe16(&buf[4], uint16_t(data.size()));
        buf += data;
        DWORD ret = 0;
        if (!h.valid() || !DeviceIoControl(h.get(), FSCTL_SET_REPARSE_POINT, &buf[0],
                                           DWORD(buf.size()), nullptr, 0, &ret, nullptr))
            warnings_.reparseSkipped++;
        return Status::Ok();
    }

    Status Finish(const std::string& rel, const wim::DirEntryInfo& e,
                  const std::string* sd) override {
        if (rel.empty()) return Status::Ok();  // the target root keeps its own settings
        std::wstring p = Full(rel);
        {
            Handle h(CreateFileW(
                p.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            if (h.valid()) {
                FILETIME c, a, w;
                c.dwLowDateTime = DWORD(e.creationTime);
                c.dwHighDateTime = DWORD(e.creationTime >> 32);
                a.dwLowDateTime = DWORD(e.lastAccessTime);
                a.dwHighDateTime = DWORD(e.lastAccessTime >> 32);
                w.dwLowDateTime = DWORD(e.lastWriteTime);
                w.dwHighDateTime = DWORD(e.lastWriteTime >> 32);
                if (!SetFileTime(h.get(), &c, &a, &w))
                    return WriteError("cannot set the times of", p);
            } else if (GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES) {
                return WriteError("cannot open", p);
            }
        }
        DWORD attr = e.attributes & kSettableAttributes;
        if (attr && !SetFileAttributesW(p.c_str(), attr))
            return WriteError("cannot set the attributes of", p);
        if (sd && sd->size() >= 20) {
            std::string copy = *sd;
            PSECURITY_DESCRIPTOR d = &copy[0];
            const SECURITY_INFORMATION all = OWNER_SECURITY_INFORMATION |
                                             GROUP_SECURITY_INFORMATION |
                                             DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
            if (!SetFileSecurityW(p.c_str(), all, d) &&
                !SetFileSecurityW(p.c_str(), all & ~SACL_SECURITY_INFORMATION, d) &&
                !SetFileSecurityW(p.c_str(), DACL_SECURITY_INFORMATION, d))
                warnings_.securitySkipped++;
        }
        return Status::Ok();
    }

    bool SupportsNamedStreams() const override { return true; }

  private:
    std::wstring Full(const std::string& rel) const {
        std::wstring w = engine::WideFromUtf8(rel);
        for (wchar_t& c : w)
            if (c == L'/') c = L'\\';
        if (w.empty()) return root_;
        return root_ + w;
    }
    std::wstring root_;
};

}  // namespace

std::unique_ptr<ApplyTarget> MakeApplyTarget() {
    return std::make_unique<WinTarget>();
}

}  // namespace imagex

#endif
