#include "engines/ghost/file_io.h"

#include <cstdio>

#include "common/fault_plan.h"

#ifdef _WIN32
#include <windows.h>

#include "common/console_out.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ghost {

#ifdef _WIN32

static std::wstring Wide(const std::string& path) {
    return engine::WideFromUtf8(path);
}

bool BinaryFile::Open(const std::string& path, Mode mode) {
    Close();
    HANDLE h =
        CreateFileW(Wide(path).c_str(), mode == kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, mode == kRead ? OPEN_EXISTING : CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = h;
    return true;
}

bool BinaryFile::IsOpen() const {
    return handle_ != nullptr;
}

static bool Seek(HANDLE h, uint64_t offset) {
    LARGE_INTEGER li;
    li.QuadPart = LONGLONG(offset);
    return SetFilePointerEx(h, li, nullptr, FILE_BEGIN) != 0;
}

bool BinaryFile::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (!handle_ || !Seek(handle_, offset) || engine::InjectedReadFault()) return false;
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size), got = 0;
        if (!ReadFile(handle_, p, want, &got, nullptr) || got == 0) return false;
        p += got;
        size -= got;
    }
    return true;
}

bool BinaryFile::WriteFailed() {
    const DWORD error = GetLastError();
    full_ = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
    return false;
}

bool BinaryFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!handle_ || !Seek(handle_, offset)) return false;
    if (engine::InjectedWriteFault(size)) return WriteFailed();
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size), put = 0;
        if (!WriteFile(handle_, p, want, &put, nullptr) || put == 0) return WriteFailed();
        p += put;
        size -= put;
    }
    return true;
}

uint64_t BinaryFile::Size() {
    LARGE_INTEGER li;
    if (!handle_ || !GetFileSizeEx(handle_, &li)) return 0;
    return uint64_t(li.QuadPart);
}

bool BinaryFile::Close() {
    if (!handle_) return true;
    bool ok = CloseHandle(handle_) != 0;
    handle_ = nullptr;
    return ok;
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(Wide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

bool BinaryFile::Open(const std::string& path, Mode mode) {
    Close();
    fd_ = mode == kRead ? open(path.c_str(), O_RDONLY | O_CLOEXEC)
                        : open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

bool BinaryFile::IsOpen() const {
    return fd_ >= 0;
}

bool BinaryFile::ReadAt(uint64_t offset, void* buffer, size_t size) {
    if (engine::InjectedReadFault()) return false;
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = pread(fd_, p, size, off_t(offset));
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

bool BinaryFile::WriteFailed() {
    full_ = errno == ENOSPC || errno == EFBIG;
    return false;
}

bool BinaryFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (engine::InjectedWriteFault(size)) return WriteFailed();
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = pwrite(fd_, p, size, off_t(offset));
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return WriteFailed();
        p += n;
        size -= size_t(n);
        offset += uint64_t(n);
    }
    return true;
}

uint64_t BinaryFile::Size() {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return 0;
    return uint64_t(st.st_size);
}

bool BinaryFile::Close() {
    if (fd_ < 0) return true;
    bool ok = close(fd_) == 0;
    fd_ = -1;
    return ok;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

#endif

}  // namespace ghost
