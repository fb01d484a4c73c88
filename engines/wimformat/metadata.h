// An image's metadata resource: security descriptors and the directory tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engines/wimformat/status.h"
#include "engines/wimformat/wim_types.h"

namespace wim {

struct NamedStream {
    std::string name;  // UTF-8
    Hash hash{};       // zero for an empty stream
};

struct DirEntryInfo {
    std::string name;       // UTF-8; empty for the root
    std::string shortName;  // UTF-8 (8.3 name), may be empty
    uint32_t attributes = 0;
    int32_t securityId = -1;
    uint64_t creationTime = 0;  // FILETIME: 100 ns since 1601
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    Hash data{};  // unnamed data; for a reparse point its reparse data
    uint32_t reparseTag = 0;
    uint16_t reparseFlags = 0;
    uint64_t hardLinkGroup = 0;  // 0: not linked
    std::vector<NamedStream> streams;
    int parent = -1;
    std::vector<int> children;

    bool IsDirectory() const { return (attributes & 0x10) != 0; }
    bool IsReparsePoint() const { return (attributes & 0x400) != 0; }
};

struct ImageTree {
    std::vector<std::string> securityDescriptors;  // raw self-relative descriptors
    std::vector<DirEntryInfo> entries;             // entries[0] is the root
};

// Parses a whole metadata resource. Names that could leave the target folder
// ("", ".", "..", or holding a path separator) make it fail.
Status ParseMetadata(const uint8_t* data, size_t size, ImageTree* out);

class WimFile;
// Reads and parses the metadata of image `image` (counted from 1).
Status ReadImageTree(const WimFile& wim, unsigned image, ImageTree* out);

}  // namespace wim
