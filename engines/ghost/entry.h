// In-memory model of a volume's tree as stored in an image's index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engines/ghost/errors.h"

namespace ghost {

enum class EntryType : uint8_t {
    kDirectory = 1,
    kFile = 2,
    kSymlink = 3,   // POSIX symbolic link: target text
    kHardLink = 4,  // another name of entry linkTarget (a kFile earlier in the list)
    kReparse = 5,   // Windows reparse point (junction, symbolic link, ...): raw reparse data
};

enum class StreamKind : uint8_t {
    kAlternate = 1,  // Windows alternate data stream, name without ":$DATA"
    kXattr = 2,      // POSIX extended attribute, full name (user.x, security.y, ...)
};

// A named extra stream of an entry; its bytes lie in the data stream.
struct ExtraStream {
    StreamKind kind = StreamKind::kAlternate;
    std::string name;
    uint64_t offset = 0;
    uint64_t size = 0;
};

struct Entry {
    EntryType type = EntryType::kFile;
    std::string path;         // relative to the volume root, '/' separated, UTF-8
    uint32_t attributes = 0;  // Windows FILE_ATTRIBUTE_* bits
    uint32_t mode = 0;        // POSIX st_mode permission and type bits
    uint32_t uid = 0, gid = 0;
    int64_t createNs = 0, accessNs = 0, writeNs = 0;  // since 1970-01-01 UTC
    uint64_t dataOffset = 0;                          // main data in the data stream
    uint64_t dataSize = 0;
    uint32_t linkTarget = 0;        // kHardLink: index of the first name
    std::string symlinkTarget;      // kSymlink
    std::vector<uint8_t> security;  // self-relative security descriptor (Windows)
    std::vector<uint8_t> reparse;   // reparse data buffer (Windows kReparse)
    std::vector<ExtraStream> streams;
    std::string shortName;  // Windows 8.3 name, "" when none (format version 2)
    // Not stored: where the source volume keeps the file (its inode number), so a
    // backup reads files in disk order rather than name order. 0 when unknown.
    uint64_t diskOrder = 0;
};

// Serialized index: the entries and the place of every data chunk.
struct ChunkLocation {
    uint32_t span = 0;
    uint64_t offset = 0;  // of the chunk header within its file
    uint32_t storedSize = 0;
    uint32_t rawSize = 0;
};

struct ImageIndex {
    std::vector<ChunkLocation> chunks;
    std::vector<Entry> entries;
};

std::vector<uint8_t> SerializeIndex(const ImageIndex& index);
// Checks every count, length and reference against the buffer and the image's
// figures (chunk count, data size) before it allocates.
Status ParseIndex(const uint8_t* data, size_t size, uint32_t expectedChunks, uint64_t dataRawSize,
                  uint32_t spanCount, ImageIndex* index);

// Files left out of every backup (at the volume root, any case).
bool IsExcludedRootFile(const std::string& name);

}  // namespace ghost
