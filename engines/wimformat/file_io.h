// Positional reads of a large file, the same on Windows and POSIX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wim {

class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path` (UTF-8) for reading; false when it cannot be opened.
    bool Open(const std::string& path);
    uint64_t size() const { return size_; }
    // Reads exactly `size` bytes at `offset`; false on error or a short read.
    // Safe to call from several threads at once.
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const;

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    uint64_t size_ = 0;
};

}  // namespace wim
