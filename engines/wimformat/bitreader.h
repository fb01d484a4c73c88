// Bit input for LZX and XPRESS-style streams: 16-bit little-endian words whose
// bits are taken most significant first. Reading past the end yields zeros and
// is noticed through overrun(), so decoders need no check per symbol.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/le.h"

namespace wim {

using namespace common;

class WordBitReader {
  public:
    WordBitReader(const uint8_t* in, size_t size) : in_(in), size_(size) {}

    // Makes at least 48 bits available.
    inline void Fill() {
        if (count_ > 48) return;
        if (pos_ + 8 <= size_) {
            // As many whole words as fit, from one load: the words are put in
            // stream order (first at the top), each keeping its own value.
            uint64_t v = LoadLe64(in_ + pos_);
            uint64_t w = (v << 48) | ((v << 16) & 0x0000FFFF00000000ull) |
                         ((v >> 16) & 0x00000000FFFF0000ull) | (v >> 48);
            unsigned k = unsigned(64 - count_) >> 4;  // 1 to 4 words
            unsigned bits = 16 * k;
            buf_ |= (w >> (64 - bits)) << (64 - bits - unsigned(count_));
            pos_ += 2 * k;
            count_ += int(bits);
            return;
        }
        while (count_ <= 48) {
            uint64_t w = pos_ + 2 <= size_ ? LoadLe16(in_ + pos_) : 0;
            pos_ += 2;
            buf_ |= w << (48 - count_);
            count_ += 16;
        }
    }
    inline uint32_t Peek(unsigned n) const { return uint32_t(buf_ >> (64 - n)); }
    inline void Skip(unsigned n) {
        buf_ <<= n;
        count_ -= int(n);
    }
    // Reads n bits (0..32) after a Fill() that covers them.
    inline uint32_t Take(unsigned n) {
        if (n == 0) return 0;
        uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    inline uint32_t Read(unsigned n) {
        Fill();
        return Take(n);
    }
    bool overrun() const { return pos_ > size_ + 8 && pos_ - size_ - 8 >= size_t(count_ / 8); }

    // Drops bits up to the next 16-bit boundary (a full word when aligned, as
    // LZX requires) and returns the byte position that follows.
    size_t AlignToBytes() {
        int drop = count_ % 16;
        if (drop == 0) drop = 16;
        Skip(unsigned(drop));
        return pos_ - size_t(count_ / 8);
    }
    // Restarts reading at byte `pos`.
    void Reset(size_t pos) {
        pos_ = pos;
        buf_ = 0;
        count_ = 0;
    }

  private:
    const uint8_t* in_;
    size_t size_;
    size_t pos_ = 0;
    uint64_t buf_ = 0;
    int count_ = 0;
};

}  // namespace wim
