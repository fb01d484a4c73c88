// On-disk structures of the WIM container, as the file holds them.
// In-memory forms live in wim_types.h; these are only ever read through
// the Le<> accessors and converted there.
#pragma once

#include <cstdint>

#include "common/le.h"

namespace wim {

using namespace common;
namespace disk {

constexpr uint8_t kMagic[8] = {'M', 'S', 'W', 'I', 'M', 0, 0, 0};

// Resource header: where a resource lies and how big it is.
struct ResourceHeader {
    uint8_t sizeInWim[7];  // +0x00: stored size, 56 bits
    uint8_t flags;         // +0x07: kResource* flags
    Le64 offset;           // +0x08: file offset of the stored data
    Le64 originalSize;     // +0x10: size once decompressed
};
static_assert(sizeof(ResourceHeader) == 24, "resource header is 24 bytes");

// The file header. It is packed: the integrity header sits at 0x7C.
struct Header {
    uint8_t magic[8];             // +0x00
    Le32 headerSize;              // +0x08: 208
    Le32 version;                 // +0x0C: 0x10D00, or 0xE00 with solid resources
    Le32 flags;                   // +0x10: kHeader* flags
    Le32 chunkSize;               // +0x14
    uint8_t guid[16];             // +0x18
    Le16 partNumber;              // +0x28
    Le16 totalParts;              // +0x2A
    Le32 imageCount;              // +0x2C
    ResourceHeader blobTable;     // +0x30
    ResourceHeader xmlData;       // +0x48
    ResourceHeader bootMetadata;  // +0x60
    Le32 bootIndex;               // +0x78
    ResourceHeader integrity;     // +0x7C
    uint8_t unused[60];           // +0x94
};
static_assert(sizeof(Header) == 208, "header is 208 bytes");

// One blob table entry.
struct BlobEntry {
    ResourceHeader resource;  // +0x00
    Le16 partNumber;          // +0x18
    Le32 refCount;            // +0x1A
    uint8_t hash[20];         // +0x1E: SHA-1 of the uncompressed blob
};
static_assert(sizeof(BlobEntry) == 50, "blob table entry is 50 bytes");

// Header of a solid resource's stored data.
struct SolidHeader {
    Le64 originalSize;  // +0x00
    Le32 chunkSize;     // +0x08
    Le32 compression;   // +0x0C: 0 none, 1 XPRESS, 2 LZX, 3 LZMS
};
static_assert(sizeof(SolidHeader) == 16, "solid header is 16 bytes");

// Fixed part of a directory entry; the UTF-16LE long name (with a null) and the
// short name (with a null) follow, then padding to 8 bytes.
struct DirEntry {
    Le64 length;           // +0x00: 0 or 8 ends a directory's list
    Le32 attributes;       // +0x08
    Le32 securityId;       // +0x0C: -1 for none
    Le64 subdirOffset;     // +0x10: offset of the children's list, 0 for none
    Le64 unused1;          // +0x18
    Le64 unused2;          // +0x20
    Le64 creationTime;     // +0x28
    Le64 lastAccessTime;   // +0x30
    Le64 lastWriteTime;    // +0x38
    uint8_t hash[20];      // +0x40: unnamed data stream (reparse data for reparse points)
    Le32 unknown54;        // +0x54
    Le32 reparseTag;       // +0x58: reparse points; else low half of the hard-link group
    Le16 reparseReserved;  // +0x5C
    Le16 reparseFlags;     // +0x5E
    Le16 streamCount;      // +0x60: named stream entries after the entry
    Le16 shortNameBytes;   // +0x62
    Le16 nameBytes;        // +0x64
};
static_assert(sizeof(DirEntry) == 0x66, "directory entry fixed part is 102 bytes");

// Fixed part of a stream entry that follows a directory entry.
struct StreamEntry {
    Le64 length;       // +0x00
    Le64 unused;       // +0x08
    uint8_t hash[20];  // +0x10
    Le16 nameBytes;    // +0x24
};
static_assert(sizeof(StreamEntry) == 0x26, "stream entry fixed part is 38 bytes");

// Head of the security data at the start of a metadata resource.
struct SecurityHead {
    Le32 totalLength;  // +0x00: whole block, then padded to 8
    Le32 count;        // +0x04: descriptors; their 64-bit sizes follow
};
static_assert(sizeof(SecurityHead) == 8, "security head is 8 bytes");

// Head of the integrity table.
struct IntegrityHead {
    Le32 totalSize;   // +0x00
    Le32 entryCount;  // +0x04
    Le32 chunkSize;   // +0x08
};
static_assert(sizeof(IntegrityHead) == 12, "integrity head is 12 bytes");

}  // namespace disk

// Header flags.
constexpr uint32_t kHeaderCompressed = 0x00000002;
constexpr uint32_t kHeaderReadOnly = 0x00000004;
constexpr uint32_t kHeaderSpanned = 0x00000008;
constexpr uint32_t kHeaderResourceOnly = 0x00000010;
constexpr uint32_t kHeaderMetadataOnly = 0x00000020;
constexpr uint32_t kHeaderWriteInProgress = 0x00000040;
constexpr uint32_t kHeaderRpFix = 0x00000080;
constexpr uint32_t kHeaderXpress = 0x00020000;
constexpr uint32_t kHeaderLzx = 0x00040000;
constexpr uint32_t kHeaderLzms = 0x00080000;
constexpr uint32_t kHeaderXpress2 = 0x00200000;

// Resource flags.
constexpr uint8_t kResourceFree = 0x01;
constexpr uint8_t kResourceMetadata = 0x02;
constexpr uint8_t kResourceCompressed = 0x04;
constexpr uint8_t kResourceSpanned = 0x08;
constexpr uint8_t kResourceSolid = 0x10;

// A solid resource's entry gives this as its original size.
constexpr uint64_t kSolidResourceMagicSize = 0x100000000ULL;

constexpr uint32_t kWimVersionDefault = 0x10D00;
constexpr uint32_t kWimVersionSolid = 0xE00;

// File attributes kept in directory entries.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrSparse = 0x200;
constexpr uint32_t kAttrReparsePoint = 0x400;
constexpr uint32_t kAttrCompressed = 0x800;
constexpr uint32_t kAttrEncrypted = 0x4000;

constexpr uint32_t kReparseTagSymlink = 0xA000000C;
constexpr uint32_t kReparseTagMountPoint = 0xA0000003;

}  // namespace wim
