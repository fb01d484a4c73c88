// Canonical Huffman decoding tables shared by the XPRESS, LZX and LZMS decoders.
//
// A primary table indexed by the next `tableBits` bits gives either a symbol and
// its code length, or the start and width of a secondary table for longer codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wim {

class HuffmanTable {
  public:
    // Builds the table from code lengths (0 = unused symbol). Returns false for an
    // over-subscribed code. An incomplete code is accepted; its unused bit
    // patterns decode as invalid.
    bool Build(const uint8_t* lengths, unsigned symbolCount, unsigned tableBits,
               unsigned maxLength);

    // Decodes from the top `maxLength` bits of `peek` (MSB first). Returns the
    // symbol and stores its code length, or returns -1 for an invalid pattern.
    inline int Decode(uint32_t peek, unsigned* length) const {
        uint32_t e = table_[peek >> (maxLength_ - tableBits_)];
        if (e & kSubtable) {
            unsigned sub = e & 0xFF;
            uint32_t idx = ((e & ~kSubtable) >> 8) +
                           ((peek >> (maxLength_ - tableBits_ - sub)) & ((1u << sub) - 1));
            e = table_[idx];
        }
        *length = e & 0xFF;
        if (*length == 0) return -1;
        return int(e >> 8);
    }
    unsigned maxLength() const { return maxLength_; }

  private:
    static constexpr uint32_t kSubtable = 0x80000000u;
    std::vector<uint32_t> table_;
    // Scratch kept between builds; adaptive codes rebuild often.
    std::vector<uint8_t> subWidth_;
    std::vector<uint32_t> subStart_;
    std::vector<uint32_t> subPrefixes_;
    std::vector<uint32_t> codes_;
    unsigned tableBits_ = 0;
    unsigned maxLength_ = 0;
};

}  // namespace wim
