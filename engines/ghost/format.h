// On-disk layout of a Ghost image (see docs/ghost-image-format.md).
//
// Every multi-byte field is little-endian. The structures below are read and written
// field by field through LoadLe/StoreLe, never by casting file bytes, so they carry
// no alignment or endianness assumptions; the offset comments and size checks keep
// the documented layout and the code in step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/le.h"

namespace ghost {

using common::LoadLe32;
using common::LoadLe64;
using common::StoreLe32;
using common::StoreLe64;

inline constexpr char kImageMagic[8] = {'S', 'B', 'G', 'H', 'O', 'S', 'T', '1'};
inline constexpr char kSpanMagic[8] = {'S', 'B', 'G', 'S', 'P', 'A', 'N', '1'};
inline constexpr uint32_t kChunkMagic = 0x4B434253;  // "SBCK"
inline constexpr uint32_t kIndexMagic = 0x58494253;  // "SBIX"
// Version 2 adds each entry's 8.3 short name; version 1 images are still read.
inline constexpr uint32_t kFormatVersion = 2;
inline constexpr uint32_t kOldestFormatVersion = 1;

inline constexpr uint32_t kImageHeaderSize = 512;
inline constexpr uint32_t kSpanHeaderSize = 64;
inline constexpr uint32_t kChunkHeaderSize = 56;
inline constexpr uint32_t kChunkSize = 1u << 20;  // raw bytes per chunk (last may be shorter)
// Upper bounds a reader accepts before it allocates anything.
inline constexpr uint32_t kMaxStoredChunk = kChunkSize + 4096;
inline constexpr uint64_t kMaxIndexSize = 1ull << 31;
inline constexpr uint32_t kMaxSpans = 999;
inline constexpr uint32_t kMaxKdfIterations = 10000000;

enum ImageFlags : uint32_t { kImageEncrypted = 1 };
enum ImageOrigin : uint32_t { kOriginPosix = 1, kOriginWindows = 2 };
enum ChunkKind : uint32_t { kChunkData = 1, kChunkIndex = 2 };
enum ChunkFlags : uint32_t { kChunkDeflated = 1, kChunkEncrypted = 2 };
inline constexpr uint32_t kKdfPbkdf2Sha256 = 1;
inline constexpr uint32_t kCipherAes256Cbc = 1;

// Image header: offset 0 of the first file (image.GHO).
struct ImageHeader {
    char magic[8];             // +0   "SBGHOST1"
    uint32_t version;          // +8   kFormatVersion
    uint32_t headerSize;       // +12  512
    uint32_t flags;            // +16  ImageFlags
    uint32_t chunkSize;        // +20  raw bytes per data chunk
    uint32_t level;            // +24  zlib level 1..9 used
    uint32_t spanCount;        // +28  number of files (1 = no spans)
    uint8_t imageId[16];       // +32  random; repeated in every span header
    uint64_t spanLimit;        // +48  max bytes per file, 0 = unlimited
    uint32_t indexSpan;        // +56  file holding the first index chunk
    uint32_t indexChunkCount;  // +60  index chunks, consecutive in the chunk sequence
    uint64_t indexOffset;      // +64  offset of the first index chunk header
    uint64_t indexRawSize;     // +72  bytes of the serialized index
    uint32_t indexCrc;         // +80  CRC32 of the serialized index
    uint32_t dataChunkCount;   // +84
    uint64_t dataRawSize;      // +88  bytes of the data stream
    uint64_t entryCount;       // +96
    int64_t createdUnix;       // +104 seconds since 1970
    uint32_t kdfIterations;    // +112
    uint32_t kdfId;            // +116 kKdfPbkdf2Sha256 when encrypted
    uint8_t salt[16];          // +120
    uint8_t verifier[32];      // +136 second half of the derived key material
    uint32_t cipherId;         // +168 kCipherAes256Cbc when encrypted
    uint32_t complete;         // +172 1 once the image was finished
    uint32_t origin;           // +176 ImageOrigin of the writer
    // +180 .. +507 reserved, zero
    uint32_t headerCrc;  // +508 CRC32 of bytes 0..507
};

// Span header: offset 0 of image001.GHS, image002.GHS, ...
struct SpanHeader {
    char magic[8];        // +0  "SBGSPAN1"
    uint32_t version;     // +8
    uint32_t spanNumber;  // +12 1, 2, ...
    uint8_t imageId[16];  // +16
    // +32 .. +59 reserved, zero
    uint32_t headerCrc;  // +60 CRC32 of bytes 0..59
};

// Chunk header, followed by storedSize payload bytes.
struct ChunkHeader {
    uint32_t magic;       // +0  kChunkMagic
    uint32_t kind;        // +4  ChunkKind
    uint32_t sequence;    // +8  number within its kind, from 0
    uint32_t flags;       // +12 ChunkFlags
    uint32_t rawSize;     // +16 bytes after decryption and inflation
    uint32_t storedSize;  // +20 payload bytes in the file
    uint32_t rawCrc;      // +24 CRC32 of the raw bytes
    uint32_t storedCrc;   // +28 CRC32 of the payload as stored
    uint8_t iv[16];       // +32 AES-CBC IV, zero when not encrypted
    uint32_t headerCrc;   // +48 CRC32 of bytes 0..47
    uint32_t reserved;    // +52 zero
};

// Encode/decode into exactly the documented sizes. Decode checks only the layout
// (magic, header CRC); semantic checks belong to the reader.
void EncodeImageHeader(const ImageHeader& h, uint8_t out[kImageHeaderSize]);
bool DecodeImageHeader(const uint8_t in[kImageHeaderSize], ImageHeader* h);
void EncodeSpanHeader(const SpanHeader& h, uint8_t out[kSpanHeaderSize]);
bool DecodeSpanHeader(const uint8_t in[kSpanHeaderSize], SpanHeader* h);
void EncodeChunkHeader(const ChunkHeader& h, uint8_t out[kChunkHeaderSize]);
bool DecodeChunkHeader(const uint8_t in[kChunkHeaderSize], ChunkHeader* h);

uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

}  // namespace ghost
