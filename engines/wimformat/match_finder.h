// Hash-chain match finder over one chunk, shared by the XPRESS and LZX
// encoders. Chunks are independent, so the finder starts empty for each.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wim {

// Length of the common prefix of a and b, at most `limit`.
inline unsigned MatchLength(const uint8_t* a, const uint8_t* b, unsigned limit) {
    unsigned n = 0;
    while (n + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, a + n, 8);
        memcpy(&y, b + n, 8);
        uint64_t d = x ^ y;
        if (d) return n + unsigned(__builtin_ctzll(d) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

// Whether a chunk is not worth a full search: its bytes are near uniformly
// spread (an order-0 code would save under 2 %) and hardly any four-byte
// sequence repeats. Compressed or random data is stored raw at little cost.
inline bool LooksIncompressible(const uint8_t* in, size_t n) {
    if (n < 4096) return false;
    // Every fourth byte of a large chunk is sample enough: the estimate of
    // random bytes then still stays well above the bound.
    size_t step = n >= 16384 ? 4 : 1;
    uint32_t counts[256] = {0};
    for (size_t i = 0; i < n; i += step) counts[in[i]]++;
    size_t samples = (n + step - 1) / step;
    double bits = 0;
    for (uint32_t c : counts)
        if (c) bits += double(c) * std::log2(double(samples) / double(c));
    if (bits < double(samples) * 8 * 0.98) return false;
    uint32_t seen[4096];
    memset(seen, 0, sizeof seen);
    size_t repeats = 0;
    for (size_t i = 0; i + 4 <= n; ++i) {
        uint32_t v;
        memcpy(&v, in + i, 4);
        uint32_t h = (v * 2654435761u) >> 20;
        repeats += seen[h] == v + 1;
        seen[h] = v + 1;
    }
    return repeats < n / 256;
}

// Hash chains over four-byte sequences for the XPRESS and LZX encoders (a
// shorter match far back costs more than its literals): the table is never
// cleared (entries from earlier chunks are told apart by a base that
// moves on with every chunk), and the chains hold 16-bit distances.
class MatchFinder {
  public:
    static constexpr unsigned kHashBits = 16;

    MatchFinder(const MatchFinder&) = delete;
    MatchFinder& operator=(const MatchFinder&) = delete;
    // Chunks of at most 64 KiB.
    explicit MatchFinder(size_t maxWindow) : head_(size_t(1) << kHashBits, 0), prev_(maxWindow) {}

    void Reset(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
        next_ = 0;
        // Entries of the chunk before are then more than 64 KiB back.
        if (base_ >= 0xFFF00000u) {
            std::fill(head_.begin(), head_.end(), 0);
            base_ = 0;
        }
        base_ += 0x20000;
    }

    // Inserts every position before `pos` not yet inserted.
    __attribute__((always_inline)) inline void SkipTo(size_t pos) {
        size_t end = pos + 3 < size_ ? pos : (size_ > 3 ? size_ - 3 : 0);
        for (; next_ < end; ++next_) Link(next_, Hash(Load32(data_ + next_)));
        if (next_ < pos) next_ = pos;
    }

    // Inserts `pos` and returns the longest earlier match of at least 4 bytes
    // (0 when none), searching at most `depth` candidates and stopping early at
    // `nice`.
    __attribute__((always_inline)) inline unsigned Find(size_t pos, unsigned depth, unsigned nice,
                                                        uint32_t* offset) {
        if (next_ < pos) SkipTo(pos);
        next_ = pos + 1;
        if (pos + 4 > size_) return 0;
        const uint8_t* cur = data_ + pos;
        uint32_t cur4 = Load32(cur);
        size_t cand = Link(pos, Hash(cur4));
        if (cand == kNone) return 0;
        unsigned limit = unsigned(size_ - pos);
        if (nice > limit) nice = limit;
        unsigned best = 3;
        for (;;) {
            const uint8_t* m = data_ + cand;
            if (m[best] == cur[best] && Load32(m) == cur4) {
                unsigned len = 4 + MatchLength(cur + 4, m + 4, limit - 4);
                if (len > best) {
                    best = len;
                    *offset = uint32_t(pos - cand);
                    if (len >= nice) break;
                }
            }
            uint16_t d = prev_[cand];
            if (!d || !--depth) break;
            cand -= d;
        }
        return best > 3 ? best : 0;
    }

  private:
    static constexpr size_t kNone = ~size_t(0);
    static inline uint32_t Load32(const uint8_t* p) {
        uint32_t v;
        memcpy(&v, p, 4);
        return v;
    }
    static inline uint32_t Hash(uint32_t v) { return (v * 2654435761u) >> (32 - kHashBits); }
    // Puts `pos` at the head of chain `h`; returns the position it displaced.
    __attribute__((always_inline)) inline size_t Link(size_t pos, uint32_t h) {
        uint32_t old = head_[h];
        uint32_t now = base_ + uint32_t(pos);
        head_[h] = now;
        // An entry from an earlier chunk is more than 64 KiB back: no link.
        uint32_t d = now - old;
        prev_[pos] = uint16_t(d < 0x10000u ? d : 0);
        return d < 0x10000u ? pos - d : kNone;
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t next_ = 0;
    uint32_t base_ = 0;
    std::vector<uint32_t> head_;
    std::vector<uint16_t> prev_;
};

}  // namespace wim
