// LZMS chunk decoder: range-coded decisions, adaptive Huffman codes, LZ and
// delta matches with recent-offset queues, and an x86 branch filter undone at
// the end of the chunk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engines/wimformat/decompress.h"

namespace wim {

class LzmsDecoder : public Decompressor {
  public:
    bool Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override;
};

}  // namespace wim
