// Reading the file tree of an optical disc image: ISO 9660 with Joliet and Rock Ridge
// names, and UDF (1.02 to 2.01 with type 1 partitions; the file system of Windows setup
// media, where files of 4 GiB and more exist only in UDF).
//
// Nothing here writes: the reader turns an image into a list of entries (names as
// UTF-8, each file as a list of byte ranges in the image) and copies file bytes out.
// Every offset, length and name read from the image is checked; an image that breaks
// a rule is refused with a reason, never followed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace isotool {

// Where the image's bytes come from.
class ImageSource {
  public:
    virtual ~ImageSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly size bytes at offset; false when they are not all there.
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// Bytes already in memory, read where they lie: they must outlive the source.
class MemorySource : public ImageSource {
  public:
    MemorySource(const void* data, std::size_t size)
        : data_(static_cast<const char*>(data)), size_(size) {}
    explicit MemorySource(const std::string& bytes) : MemorySource(bytes.data(), bytes.size()) {}
    // A temporary string would be gone before the reads.
    explicit MemorySource(std::string&&) = delete;
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override;

  private:
    const char* data_;
    std::size_t size_;
};

// A file opened read-only.
class FileSource : public ImageSource {
  public:
    ~FileSource() override;
    bool Open(const std::string& path);
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override;

  private:
    void* handle_ = nullptr;
    std::uint64_t size_ = 0;
};

struct Extent {
    std::uint64_t offset = 0;  // in the image
    std::uint64_t length = 0;  // bytes
    bool zeros = false;        // a hole: length bytes of zeros, nothing stored
};

struct IsoEntry {
    std::string path;  // UTF-8, components joined by '/', no leading '/'
    bool isDirectory = false;
    std::uint64_t size = 0;
    std::vector<Extent> extents;  // files only
};

enum class NameSource { Auto, Iso9660, Joliet, RockRidge, Udf };

struct IsoTree {
    NameSource names = NameSource::Iso9660;  // what the names were read from
    std::vector<IsoEntry> entries;           // parents before children
};

// Reads the tree. Auto prefers UDF when the image has it (the only place large files
// are whole), then Rock Ridge, then Joliet, then plain ISO 9660 names. On failure
// `error` says why and nothing is returned.
bool ReadIsoTree(ImageSource& image, NameSource wanted, IsoTree& tree, std::string& error);

// A name component is safe to create in a folder: not empty, not "." or "..", no
// slash, backslash, colon, control character or other character Windows refuses.
bool IsSafeComponent(const std::string& name);

// Copies a file's bytes to the sink in order; false when the image ends early.
template <typename Sink>
bool CopyFileBytes(ImageSource& image, const IsoEntry& entry, Sink&& sink) {
    std::vector<char> buffer(1 << 20);
    for (const Extent& extent : entry.extents) {
        std::uint64_t done = 0;
        while (done < extent.length) {
            const std::size_t chunk = std::size_t(
                extent.length - done < buffer.size() ? extent.length - done : buffer.size());
            if (extent.zeros)
                std::fill(buffer.begin(), buffer.begin() + std::ptrdiff_t(chunk), 0);
            else if (!image.Read(extent.offset + done, buffer.data(), chunk))
                return false;
            if (!sink(buffer.data(), chunk)) return false;
            done += chunk;
        }
    }
    return true;
}

}  // namespace isotool
