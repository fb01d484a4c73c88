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
    uint32_t counts[256] = {0};
    for (size_t i = 0; i < n; ++i) counts[in[i]]++;
    double bits = 0;
    for (uint32_t c : counts)
        if (c) bits += double(c) * std::log2(double(n) / double(c));
    if (bits < double(n) * 8 * 0.98) return false;
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

class MatchFinder {
  public:
    static constexpr unsigned kHashBits = 15;

    MatchFinder(const MatchFinder&) = delete;
    MatchFinder& operator=(const MatchFinder&) = delete;
    explicit MatchFinder(size_t maxWindow) : head_(size_t(1) << kHashBits), prev_(maxWindow) {}

    void Reset(const uint8_t* data, size_t size) {
        data_ = data;
        size_ = size;
        std::fill(head_.begin(), head_.end(), kNone);
        next_ = 0;
    }

    // Inserts every position before `pos` not yet inserted.
    inline void SkipTo(size_t pos) {
        while (next_ < pos) InsertOne(next_++);
    }

    // Inserts `pos` and returns the longest earlier match of at least 3 bytes
    // (0 when none), searching at most `depth` candidates and stopping early
    // at `nice`. `maxLen` bounds the length (and the bytes left in the chunk).
    inline unsigned Find(size_t pos, unsigned maxLen, unsigned depth, unsigned nice,
                         uint32_t* offset) {
        SkipTo(pos);
        if (pos + 3 > size_) {
            next_ = pos + 1;
            return 0;
        }
        uint32_t h = Hash(pos);
        uint32_t cand = head_[h];
        prev_[pos] = cand;
        head_[h] = uint32_t(pos);
        next_ = pos + 1;
        unsigned best = 2;
        const uint8_t* cur = data_ + pos;
        if (maxLen > size_ - pos) maxLen = unsigned(size_ - pos);
        if (maxLen < 3) return 0;
        if (nice > maxLen) nice = maxLen;
        while (cand != kNone && depth--) {
            const uint8_t* m = data_ + cand;
            if (m[best] == cur[best] && m[0] == cur[0] && m[1] == cur[1]) {
                unsigned len = MatchLength(cur, m, maxLen);
                if (len > best) {
                    best = len;
                    *offset = uint32_t(pos - cand);
                    if (len >= nice) break;
                }
            }
            cand = prev_[cand];
        }
        return best >= 3 ? best : 0;
    }

  private:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    inline uint32_t Hash(size_t pos) const {
        uint32_t v = uint32_t(data_[pos]) | (uint32_t(data_[pos + 1]) << 8) |
                     (uint32_t(data_[pos + 2]) << 16);
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    inline void InsertOne(size_t pos) {
        if (pos + 3 > size_) return;
        uint32_t h = Hash(pos);
        prev_[pos] = head_[h];
        head_[h] = uint32_t(pos);
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t next_ = 0;
    std::vector<uint32_t> head_;
    std::vector<uint32_t> prev_;
};

}  // namespace wim
