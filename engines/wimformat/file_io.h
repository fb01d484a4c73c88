// Positional reads of a large file and buffered writes of a new one, the same
// on Windows and POSIX.
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

    // Where the system allows it (64-bit POSIX), the whole file is also mapped
    // read-only: readers then use the page cache's own pages instead of a copy.
    // Bytes of the mapping may be used only after Populate() said yes for them.
    const uint8_t* mapped() const { return map_; }
    // Reads [offset, offset + size) of the mapping into memory now; false when
    // there is no mapping or the pages cannot be read (an I/O error: ReadAt()
    // then reports it). Safe to call from several threads at once.
    bool Populate(uint64_t offset, size_t size) const;

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    uint64_t size_ = 0;
    const uint8_t* map_ = nullptr;
};

// A new file written mostly front to back: appends are gathered into large
// writes; earlier bytes can be patched and the end cut back.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates `path` (UTF-8), replacing a file of that name; false on failure
    // (errorText() then says why).
    bool Create(const std::string& path);
    bool Append(const void* data, size_t size);
    // Writes at an earlier offset (below position()).
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    // Cuts the file back to `size` (at most position()) and appends from there.
    bool Truncate(uint64_t size);
    // Reads back `size` bytes written earlier, at `offset` (the range must end
    // by position()); what is still buffered is written out first.
    bool ReadBack(uint64_t offset, void* data, size_t size);
    // Writes what is buffered and closes; false if anything failed to land.
    bool Close();
    uint64_t position() const { return position_; }
    const std::string& errorText() const { return error_; }

  private:
    bool Flush();
    bool RawWrite(uint64_t offset, const void* data, size_t size);
    void NoteError(const char* what);

#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    uint64_t position_ = 0;  // logical end, buffer included
    uint64_t flushed_ = 0;   // where the buffer starts
    std::string buffer_;
    std::string error_;
};

}  // namespace wim
