// XPRESS Huffman encoder. The stream is 16-bit words read most significant bit
// first; a reader takes the next word as soon as it has used 16 bits beyond the
// two it starts with, and takes the bytes of long match lengths from wherever
// it stands at that moment. So the writer reserves each word's place at the
// point the reader will look for it and fills it in once its bits are known.
#include <memory>

#include "engines/wimformat/compress.h"
#include "engines/wimformat/huffman_encode.h"
#include "engines/wimformat/match_finder.h"

namespace wim {

namespace {

constexpr unsigned kSymbols = 512;
constexpr unsigned kMaxCodeLength = 15;
constexpr size_t kTableBytes = 256;

class InterleavedWriter {
  public:
    // The reader starts with two words loaded.
    InterleavedWriter(uint8_t* out, size_t cap)
        : out_(out), cap_(cap), pos_(kTableBytes + 4), slot_(kTableBytes), after_(kTableBytes + 2) {
        if (pos_ > cap_) overflow_ = true;
    }
    // Appends the low `n` (at most 16) bits of `value`. At most two words are
    // ever reserved and not yet filled: the one being filled and, once it has
    // bits in it, the one the reader loads after it.
    inline void Put(uint32_t value, unsigned n) {
        acc_ = (acc_ << n) | value;
        count_ += n;
        if (count_ >= 16) {
            count_ -= 16;
            Fill(slot_, uint16_t(acc_ >> count_));
            slot_ = after_;
            after_ = 0;
        }
        if (!after_ && count_) {
            if (pos_ + 2 > cap_) {
                overflow_ = true;
                return;
            }
            after_ = pos_;
            pos_ += 2;
        }
    }
    inline void Byte(uint8_t b) {
        if (pos_ + 1 > cap_) {
            overflow_ = true;
            return;
        }
        out_[pos_++] = b;
    }
    size_t Finish() {
        if (count_) Put(0, 16 - count_);
        if (!overflow_) Fill(slot_, 0);
        return overflow_ ? 0 : pos_;
    }

  private:
    inline void Fill(size_t at, uint16_t w) {
        if (overflow_) return;
        out_[at] = uint8_t(w);
        out_[at + 1] = uint8_t(w >> 8);
    }

    uint8_t* out_;
    size_t cap_;
    size_t pos_;
    size_t slot_;   // the word being filled
    size_t after_;  // the word reserved after it, 0 while none
    uint64_t acc_ = 0;
    unsigned count_ = 0;
    bool overflow_ = false;
};

struct Item {
    uint16_t sym;
    uint16_t offsetBits;  // low bits of the offset below its top bit
    uint32_t length;      // match length, 0 for a literal
};

inline unsigned HighBit(uint32_t v) {
    return 31u - unsigned(__builtin_clz(v));
}

class XpressCompressor : public Compressor {
  public:
    explicit XpressCompressor(uint32_t chunkSize)
        : finder_(chunkSize), chunkSize_(chunkSize), items_(new Item[chunkSize + 1]) {}

    size_t Compress(const uint8_t* in, size_t n, uint8_t* out) override {
        if (n < kTableBytes + 16 || n > chunkSize_ || LooksIncompressible(in, n)) return 0;
        Item* item = items_.get();
        uint32_t freqs[kSymbols] = {0};
        finder_.Reset(in, n);
        size_t i = 0;
        uint32_t off = 0, nextOff = 0;
        unsigned len = finder_.Find(0, kDepth, kNice, &off);
        while (i < n) {
            if (len >= 3 && len < kLazyStop && i + 1 < n) {
                // One step of lazy evaluation: a longer match next wins.
                unsigned next = finder_.Find(i + 1, kLazyDepth, kNice, &nextOff);
                if (next > len) {
                    *item++ = {in[i], 0, 0};
                    freqs[in[i]]++;
                    ++i;
                    len = next;
                    off = nextOff;
                    continue;
                }
            }
            if (len >= 3) {
                unsigned hb = HighBit(off);
                unsigned l = len - 3;
                uint16_t sym = uint16_t(256 + (hb << 4) + (l < 15 ? l : 15));
                *item++ = {sym, uint16_t(off - (1u << hb)), uint32_t(len)};
                freqs[sym]++;
                i += len;
            } else {
                *item++ = {in[i], 0, 0};
                freqs[in[i]]++;
                ++i;
            }
            if (i < n) len = finder_.Find(i, kDepth, kNice, &off);
        }
        uint8_t lens[kSymbols];
        BuildCodeLengths(freqs, kSymbols, kMaxCodeLength, lens);
        uint32_t codes[kSymbols];
        CanonicalCodes(lens, kSymbols, codes);
        // Estimate first: a chunk that cannot shrink is not written out.
        uint64_t bits = 0;
        for (unsigned s = 0; s < kSymbols; ++s) bits += uint64_t(freqs[s]) * lens[s];
        if (kTableBytes + 4 + bits / 8 >= n) return 0;
        for (unsigned s = 0; s < kSymbols / 2; ++s)
            out[s] = uint8_t(lens[2 * s] | (lens[2 * s + 1] << 4));
        InterleavedWriter w(out, n - 1);
        for (const Item* it = items_.get(); it != item; ++it) {
            w.Put(codes[it->sym], lens[it->sym]);
            if (!it->length) continue;
            uint32_t l = it->length - 3;
            if (l >= 15) {
                if (l - 15 < 255) {
                    w.Byte(uint8_t(l - 15));
                } else {
                    w.Byte(255);
                    w.Byte(uint8_t(l));
                    w.Byte(uint8_t(l >> 8));
                }
            }
            unsigned ob = (it->sym - 256u) >> 4;
            w.Put(it->offsetBits, ob);
        }
        size_t size = w.Finish();
        return size && size < n ? size : 0;
    }

  private:
    // Chains are short (four-byte sequences in one chunk), so a deeper search
    // buys little; a match of kLazyStop or more is taken without looking ahead
    // (a longer one next is rare, and the look costs a search per match).
    static constexpr unsigned kDepth = 4;
    static constexpr unsigned kLazyDepth = 2;
    static constexpr unsigned kNice = 24;
    static constexpr unsigned kLazyStop = 6;

    MatchFinder finder_;
    uint32_t chunkSize_;
    std::unique_ptr<Item[]> items_;
};

}  // namespace

std::unique_ptr<Compressor> MakeXpressCompressor(uint32_t chunkSize) {
    if (chunkSize < 4096 || chunkSize > 65536) return nullptr;
    return std::make_unique<XpressCompressor>(chunkSize);
}

}  // namespace wim
