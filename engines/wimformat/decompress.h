// Chunk decompressors. Each decodes one independent chunk into an output of the
// exact expected size; they return false on any inconsistency and never read or
// write outside the buffers they are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace wim {

enum class Compression : int { kNone = 0, kXpress = 1, kLzx = 2, kLzms = 3 };

const char* CompressionName(Compression c);

// XPRESS with Huffman coding; chunks up to 64 KiB.
bool DecompressXpress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize);

// A reusable decompressor for one compression kind (keeps its scratch space).
class Decompressor {
  public:
    virtual ~Decompressor() = default;
    virtual bool Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) = 0;
};

// Makes a decompressor for `kind` and chunks of `chunkSize`; null for kNone or an
// unsupported chunk size.
std::unique_ptr<Decompressor> MakeDecompressor(Compression kind, uint32_t chunkSize);

// Whether `chunkSize` is one this library can decode for `kind`.
bool ChunkSizeSupported(Compression kind, uint32_t chunkSize);

}  // namespace wim
