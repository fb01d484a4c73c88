// In-memory forms of what a WIM holds. Readers fill them from the on-disk
// structures of wim_disk.h; a writer fills them from a folder and serialises them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engines/wimformat/decompress.h"

namespace wim {

using Hash = std::array<uint8_t, 20>;

inline bool IsZeroHash(const Hash& h) {
    for (uint8_t b : h)
        if (b) return false;
    return true;
}

// Where a resource lies in the file.
struct ResourceSpec {
    uint64_t storedSize = 0;
    uint64_t offset = 0;
    uint64_t originalSize = 0;
    uint8_t flags = 0;
};

// One stored piece of a resource: a compressed chunk or a run of raw bytes.
struct ChunkExtent {
    uint64_t fileOffset = 0;
    uint32_t storedSize = 0;
    uint32_t originalSize = 0;
    Compression kind = Compression::kNone;  // kNone when stored raw
    uint32_t chunkSize = 0;                 // the resource's chunk size (LZX window)
};

// A blob: file data named by its SHA-1.
struct Blob {
    Hash hash{};
    uint64_t size = 0;
    ResourceSpec resource;  // its own resource, unless solidGroup >= 0
    int solidGroup = -1;    // index into WimInfo::solidGroups
    uint64_t solidOffset = 0;
    uint16_t partNumber = 1;
    uint32_t refCount = 0;
};

// Solid resources in blob-table order; their blobs give offsets into the
// concatenation of their uncompressed data.
struct SolidGroup {
    std::vector<ResourceSpec> resources;
};

struct WimHeaderInfo {
    uint32_t version = 0;
    uint32_t flags = 0;
    uint32_t chunkSize = 0;
    uint8_t guid[16] = {0};
    uint16_t partNumber = 1;
    uint16_t totalParts = 1;
    uint32_t imageCount = 0;
    uint32_t bootIndex = 0;
    ResourceSpec blobTable;
    ResourceSpec xmlData;
    ResourceSpec bootMetadata;
    ResourceSpec integrity;
    Compression compression = Compression::kNone;
};

}  // namespace wim
