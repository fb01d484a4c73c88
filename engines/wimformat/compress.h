// Chunk compressors: the writing counterparts of decompress.h. Each chunk is
// compressed on its own, as the readers decode it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engines/wimformat/decompress.h"

namespace wim {

class Compressor {
  public:
    virtual ~Compressor() = default;
    // Compresses `inSize` bytes (at most the chunk size) into `out`. Returns the
    // compressed size, or 0 when the result would not be smaller than the input
    // (the chunk is then stored raw).
    virtual size_t Compress(const uint8_t* in, size_t inSize, uint8_t* out) = 0;
};

// XPRESS (Huffman) for chunks up to 64 KiB; LZX for 32 KiB chunks. Null for
// other kinds or sizes. `out` given to Compress() must hold `chunkSize` bytes.
std::unique_ptr<Compressor> MakeCompressor(Compression kind, uint32_t chunkSize);

}  // namespace wim
