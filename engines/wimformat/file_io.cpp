#include "engines/wimformat/file_io.h"

#ifdef _WIN32
#include <windows.h>

#include "common/console_out.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace wim {

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

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (!handle_ || offset > size_ || size > size_ - offset) return false;
    char* p = static_cast<char*>(buffer);
    while (size) {
        DWORD want = size > (1u << 30) ? (1u << 30) : DWORD(size);
        OVERLAPPED ov = {};
        ov.Offset = DWORD(offset);
        ov.OffsetHigh = DWORD(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(handle_, p, want, &got, &ov) || got == 0) return false;
        p += got;
        offset += got;
        size -= got;
    }
    return true;
}
#else
InputFile::~InputFile() {
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
    return true;
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
    char* p = static_cast<char*>(buffer);
    while (size) {
        ssize_t got = pread(fd_, p, size, off_t(offset));
        if (got <= 0) return false;
        p += got;
        offset += uint64_t(got);
        size -= size_t(got);
    }
    return true;
}
#endif

}  // namespace wim
