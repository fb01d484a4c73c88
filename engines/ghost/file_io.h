// Plain binary files by UTF-8 path (wide paths on Windows), for image spans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ghost {

class BinaryFile {
  public:
    enum Mode { kRead, kCreate };
    BinaryFile() = default;
    ~BinaryFile() { Close(); }
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    bool Open(const std::string& path, Mode mode);
    bool IsOpen() const;
    // Reads exactly size bytes at offset; false on a short read or error.
    bool ReadAt(uint64_t offset, void* buffer, size_t size);
    // Writes at offset (creation mode).
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    // Whether the last failed write found the volume full (rather than an I/O error).
    bool foundVolumeFull() const { return full_; }
    uint64_t Size();
    bool Close();  // false when the last writes did not reach the disk

  private:
    bool WriteFailed();  // notes why from the system's error; returns false

    bool full_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
// Renames a file, replacing an existing one at the new name.
bool RenameReplacing(const std::string& from, const std::string& to);

}  // namespace ghost
