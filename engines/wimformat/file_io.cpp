#include "engines/wimformat/file_io.h"

#include "common/fault_plan.h"

#ifdef _WIN32
#include <windows.h>

#include "common/console_out.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif

namespace wim {

namespace {
// Appends are gathered into writes of this size.
constexpr size_t kWriteBuffer = 4u << 20;
}  // namespace

bool OutputFile::Append(const void* data, size_t size) {
    if (!error_.empty()) return false;
    if (buffer_.size() + size > kWriteBuffer && !Flush()) return false;
    if (size >= kWriteBuffer) {
        if (!RawWrite(position_, data, size)) return false;
        position_ += size;
        flushed_ = position_;
        return true;
    }
    if (buffer_.capacity() < kWriteBuffer) buffer_.reserve(kWriteBuffer);
    buffer_.append(static_cast<const char*>(data), size);
    position_ += size;
    return true;
}

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    if (!error_.empty()) return false;
    if (offset >= flushed_) {
        // Still in the buffer.
        if (offset + size > position_) return false;
        memcpy(&buffer_[size_t(offset - flushed_)], data, size);
        return true;
    }
    if (!Flush()) return false;
    return RawWrite(offset, data, size);
}

bool OutputFile::Flush() {
    if (buffer_.empty()) return error_.empty();
    bool ok = RawWrite(flushed_, buffer_.data(), buffer_.size());
    flushed_ += buffer_.size();
    buffer_.clear();
    return ok;
}

#ifdef _WIN32
InputFile::~InputFile() {
    if (handle_) CloseHandle(handle_);
}

bool InputFile::Open(const std::string& path) {
    std::wstring wide = engine::WideFromUtf8(path);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return false;
    }
    handle_ = h;
    size_ = uint64_t(size.QuadPart);
    return true;
}

bool InputFile::Populate(uint64_t, size_t) const {
    return false;
}

namespace {
// Reads exactly `size` bytes at `offset`, without moving a file pointer.
bool ReadFullyAt(HANDLE handle, uint64_t offset, void* buffer, size_t size) {
    char* p = static_cast<char*>(buffer);
    while (size) {
        DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
        OVERLAPPED ov = {};
        ov.Offset = DWORD(offset);
        ov.OffsetHigh = DWORD(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(handle, p, want, &got, &ov) || got == 0) return false;
        p += got;
        offset += got;
        size -= got;
    }
    return true;
}
}  // namespace

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (!handle_ || offset > size_ || size > size_ - offset) return false;
    if (engine::InjectedReadFault()) return false;
    return ReadFullyAt(handle_, offset, buffer, size);
}
OutputFile::~OutputFile() {
    if (handle_) CloseHandle(handle_);
}

void OutputFile::NoteError(const char* what) {
    if (error_.empty())
        error_ = std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

bool OutputFile::Create(const std::string& path) {
    std::wstring wide = engine::WideFromUtf8(path);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        NoteError("cannot create the file");
        return false;
    }
    handle_ = h;
    return true;
}

bool OutputFile::RawWrite(uint64_t offset, const void* data, size_t size) {
    if (engine::InjectedWriteFault(size)) {
        NoteError(GetLastError() == ERROR_DISK_FULL ? "the disk is full" : "write failed");
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size) {
        DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
        OVERLAPPED ov = {};
        ov.Offset = DWORD(offset);
        ov.OffsetHigh = DWORD(offset >> 32);
        DWORD done = 0;
        if (!WriteFile(handle_, p, want, &done, &ov) || done == 0) {
            NoteError(GetLastError() == ERROR_DISK_FULL ? "the disk is full" : "write failed");
            return false;
        }
        p += done;
        offset += done;
        size -= done;
    }
    return true;
}

bool OutputFile::Truncate(uint64_t size) {
    if (!error_.empty() || size > position_) return false;
    if (size >= flushed_) {
        buffer_.resize(size_t(size - flushed_));
        position_ = size;
        return true;
    }
    if (!Flush()) return false;
    LARGE_INTEGER li;
    li.QuadPart = LONGLONG(size);
    if (!SetFilePointerEx(handle_, li, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) {
        NoteError("cannot shorten the file");
        return false;
    }
    position_ = flushed_ = size;
    return true;
}

bool OutputFile::ReadBack(uint64_t offset, void* data, size_t size) {
    if (offset > position_ || size > position_ - offset || !Flush()) return false;
    if (ReadFullyAt(handle_, offset, data, size)) return true;
    NoteError("cannot read back the file");
    return false;
}

bool OutputFile::Close() {
    bool ok = Flush();
    if (handle_ && !CloseHandle(handle_)) {
        NoteError("cannot close the file");
        ok = false;
    }
    handle_ = nullptr;
    return ok && error_.empty();
}
#else
namespace {
// Reads exactly `size` bytes at `offset`; a signal does not cut it short.
bool ReadFullyAt(int fd, uint64_t offset, void* buffer, size_t size) {
    char* p = static_cast<char*>(buffer);
    while (size) {
        ssize_t got = pread(fd, p, size, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        offset += uint64_t(got);
        size -= size_t(got);
    }
    return true;
}
}  // namespace

OutputFile::~OutputFile() {
    if (fd_ >= 0) close(fd_);
}

void OutputFile::NoteError(const char* what) {
    if (error_.empty()) error_ = std::string(what) + " (" + strerror(errno) + ")";
}

bool OutputFile::Create(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        NoteError("cannot create the file");
        return false;
    }
    fd_ = fd;
    return true;
}

bool OutputFile::RawWrite(uint64_t offset, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
        ssize_t n = engine::InjectedWriteFault(size) ? -1 : pwrite(fd_, p, size, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            NoteError(errno == ENOSPC || errno == EFBIG ? "the disk is full" : "write failed");
            return false;
        }
        p += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

bool OutputFile::Truncate(uint64_t size) {
    if (!error_.empty() || size > position_) return false;
    if (size >= flushed_) {
        buffer_.resize(size_t(size - flushed_));
        position_ = size;
        return true;
    }
    if (!Flush()) return false;
    if (ftruncate(fd_, off_t(size)) != 0) {
        NoteError("cannot shorten the file");
        return false;
    }
    position_ = flushed_ = size;
    return true;
}

bool OutputFile::ReadBack(uint64_t offset, void* data, size_t size) {
    if (offset > position_ || size > position_ - offset || !Flush()) return false;
    if (ReadFullyAt(fd_, offset, data, size)) return true;
    NoteError("cannot read back the file");
    return false;
}

bool OutputFile::Close() {
    bool ok = Flush();
    if (fd_ >= 0 && close(fd_) != 0) {
        NoteError("cannot close the file");
        ok = false;
    }
    fd_ = -1;
    return ok && error_.empty();
}

InputFile::~InputFile() {
    if (map_) munmap(const_cast<uint8_t*>(map_), size_t(size_));
    if (fd_ >= 0) close(fd_);
}

bool InputFile::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    fd_ = fd;
    size_ = uint64_t(st.st_size);
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#if defined(MADV_POPULATE_READ)
    if (sizeof(void*) >= 8 && size_ > 0) {
        void* m = mmap(nullptr, size_t(size_), PROT_READ, MAP_SHARED, fd_, 0);
        if (m != MAP_FAILED) map_ = static_cast<const uint8_t*>(m);
    }
#endif
    return true;
}

bool InputFile::Populate(uint64_t offset, size_t size) const {
#if defined(MADV_POPULATE_READ)
    if (!map_ || offset > size_ || size > size_ - offset) return false;
    if (size == 0) return true;
    // madvise wants a page-aligned start.
    const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
    uint64_t start = offset / page * page;
    // Fails (EFAULT) where touching the pages would raise SIGBUS, so a bad
    // sector is reported by ReadAt() rather than killing the process.
    return madvise(const_cast<uint8_t*>(map_) + start, size_t(offset + size - start),
                   MADV_POPULATE_READ) == 0;
#else
    (void)offset;
    (void)size;
    return false;
#endif
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
    if (engine::InjectedReadFault()) return false;
    return ReadFullyAt(fd_, offset, buffer, size);
}
#endif

}  // namespace wim
