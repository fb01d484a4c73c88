// Bit output for LZX: 16-bit little-endian words filled most significant bit
// first, the order WordBitReader takes them back in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wim {

class WordBitWriter {
  public:
    WordBitWriter(uint8_t* out, size_t capacity) : out_(out), cap_(capacity) {}

    // Appends the low `n` bits (0..16) of `value`.
    inline void Put(uint32_t value, unsigned n) {
        acc_ = (acc_ << n) | (value & ((1u << n) - 1));
        count_ += n;
        while (count_ >= 16) {
            count_ -= 16;
            Word(uint16_t(acc_ >> count_));
        }
    }
    // Appends up to 32 bits.
    inline void PutLong(uint32_t value, unsigned n) {
        if (n > 16) {
            Put(value >> 16, n - 16);
            n = 16;
        }
        Put(value & 0xFFFF, n);
    }
    // Pads the last word with zeros.
    void Flush() {
        if (count_) Put(0, 16 - count_);
    }
    // Bytes written so far; only meaningful after Flush().
    size_t size() const { return pos_; }
    bool overflow() const { return overflow_; }

  private:
    inline void Word(uint16_t w) {
        if (pos_ + 2 > cap_) {
            overflow_ = true;
            return;
        }
        out_[pos_] = uint8_t(w);
        out_[pos_ + 1] = uint8_t(w >> 8);
        pos_ += 2;
    }

    uint8_t* out_;
    size_t cap_;
    size_t pos_ = 0;
    uint64_t acc_ = 0;
    unsigned count_ = 0;
    bool overflow_ = false;
};

}  // namespace wim
