// LZX chunk decoder (WIM variant).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engines/wimformat/decompress.h"
#include "engines/wimformat/huffman.h"

namespace wim {

class LzxDecoder : public Decompressor {
  public:
    // Chunk sizes are powers of two from 32 KiB to 2 MiB.
    bool Init(uint32_t chunkSize);
    bool Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override;

  private:
    unsigned slotCount_ = 0;
    unsigned order_ = 0;
    HuffmanTable mainTable_;
    HuffmanTable lengthTable_;
};

}  // namespace wim
