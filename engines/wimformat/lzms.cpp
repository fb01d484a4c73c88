// LZMS chunk decoder.
//
// A chunk holds two streams of 16-bit little-endian words: range-coded binary
// decisions read from the front, and Huffman-coded values read from the back.
// Each decision kind keeps a state of its recent outcomes that selects an
// adaptive probability (zeros among the last 64 outcomes). The Huffman codes
// are rebuilt from symbol counts every few hundred symbols. Matches are LZ
// (copy) or delta (byte differences at a power-of-two stride), each with a
// three-entry recent-source queue that is updated one item late. The x86
// branch translation the compressor applied is undone at the end.
#include "engines/wimformat/lzms.h"

#include <algorithm>
#include <memory>
#include <cstring>
#include <vector>

#include "engines/wimformat/huffman.h"
#include "common/le.h"
#include "engines/wimformat/match_copy.h"

namespace wim {

using namespace common;

namespace {

constexpr unsigned kProbBits = 6;
constexpr unsigned kProbMax = 1u << kProbBits;
constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kLiteralSyms = 256;
constexpr unsigned kLengthSyms = 54;
constexpr unsigned kPowerSyms = 8;
constexpr unsigned kMaxOffsetSyms = 799;
constexpr unsigned kReps = 3;
constexpr int32_t kX86IdWindow = 65535;
constexpr int32_t kX86MaxTranslationOffset = 1023;

// Slot tables, described by how many slots share each power-of-two step.
struct Slots {
    uint32_t base[kMaxOffsetSyms + 1];
    uint8_t extra[kMaxOffsetSyms + 1];
    unsigned count;
    Slots(const uint8_t* runs, unsigned runCount, uint32_t last) {
        uint32_t delta = 1, b = 0;
        unsigned order = 0, slot = 0;
        for (unsigned r = 0; r < runCount; ++r) {
            for (unsigned k = 0; k < runs[r]; ++k) {
                b += delta;
                if (slot > 0) extra[slot - 1] = uint8_t(order);
                base[slot++] = b;
            }
            delta <<= 1;
            ++order;
        }
        // The last slot reaches up to the sentinel with 30 extra bits.
        extra[slot - 1] = 30;
        base[slot] = last;
        extra[slot] = 0;
        count = slot;
    }
};
const uint8_t kOffsetRuns[] = {9,  0,  9,  7,  10, 15, 15, 20, 20,  30, 33,
                               40, 42, 45, 60, 73, 80, 85, 95, 105, 6};
const uint8_t kLengthRuns[] = {27, 4, 6, 4, 5, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1};
const Slots kOffsetSlots(kOffsetRuns, sizeof kOffsetRuns, 0x7FFFFFFF);
const Slots kLengthSlots(kLengthRuns, sizeof kLengthRuns, 0x400108AB);

unsigned OffsetSlotCount(size_t outSize) {
    if (outSize < 2) return 1;
    uint32_t x = uint32_t(outSize - 1);
    unsigned slot =
        unsigned(std::upper_bound(kOffsetSlots.base, kOffsetSlots.base + kOffsetSlots.count, x) -
                 kOffsetSlots.base);
    return slot == 0 ? 1 : slot;
}

class RangeDecoder {
  public:
    RangeDecoder(const uint8_t* in, size_t words) : in_(in), words_(words) {
        code_ = (uint32_t(LoadLe16(in)) << 16) | LoadLe16(in + 2);
        next_ = 2;
    }
    inline int Bit(uint32_t prob) {
        if (!(range_ & 0xFFFF0000u)) {
            range_ <<= 16;
            code_ <<= 16;
            if (next_ < words_) code_ |= LoadLe16(in_ + 2 * next_++);
        }
        uint32_t bound = (range_ >> kProbBits) * prob;
        if (code_ < bound) {
            range_ = bound;
            return 0;
        }
        range_ -= bound;
        code_ -= bound;
        return 1;
    }

  private:
    const uint8_t* in_;
    size_t words_;
    size_t next_;
    uint32_t range_ = 0xFFFFFFFFu;
    uint32_t code_;
};

// Huffman-coded values come from the end of the chunk backwards.
class BackwardBits {
  public:
    BackwardBits(const uint8_t* in, size_t words) : in_(in), pos_(words) {}
    inline void Fill() {
        if (count_ <= 48 && pos_ >= 4) {
            // As many whole 16-bit words as fit, from one load: the word at pos_-1 is
            // the most significant of the four.
            const uint64_t v = LoadLe64(in_ + 2 * (pos_ - 4));
            const unsigned take = unsigned(64 - count_) / 16;
            buf_ |= (v >> (64 - 16 * take)) << (64 - count_ - 16 * int(take));
            pos_ -= take;
            count_ += 16 * int(take);
            return;
        }
        while (count_ <= 48) {
            uint64_t w = 0;
            if (pos_ > 0)
                w = LoadLe16(in_ + 2 * --pos_);
            else
                overrun_ += 2;
            buf_ |= w << (48 - count_);
            count_ += 16;
        }
    }
    inline uint32_t Peek(unsigned n) const { return uint32_t(buf_ >> (64 - n)); }
    inline void Skip(unsigned n) {
        buf_ <<= n;
        count_ -= int(n);
    }
    inline uint32_t Read(unsigned n) {
        if (n == 0) return 0;
        Fill();
        uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    bool overrun() const { return overrun_ > 8; }

  private:
    const uint8_t* in_;
    size_t pos_;
    uint64_t buf_ = 0;
    int count_ = 0;
    size_t overrun_ = 0;
};

// One adaptive probability: zeros among the last 64 decisions.
struct Probability {
    uint32_t zeros = 48;
    uint64_t recent = 0x0000000055555555ULL;
    inline uint32_t Get() const {
        uint32_t p = zeros;
        if (p == 0) p = 1;
        if (p == kProbMax) p = kProbMax - 1;
        return p;
    }
    inline void Update(int bit) {
        zeros = uint32_t(int32_t(zeros) + int32_t(recent >> 63) - bit);
        recent = (recent << 1) | uint64_t(bit);
    }
};

template <unsigned N>
struct Decision {
    Probability probs[N];
    unsigned state = 0;
    inline int Decode(RangeDecoder& rd) {
        Probability& p = probs[state];
        int bit = rd.Bit(p.Get());
        p.Update(bit);
        state = ((state << 1) | unsigned(bit)) & (N - 1);
        return bit;
    }
};

// Builds Huffman code lengths from symbol counts the way LZMS expects: leaves
// sorted by count then symbol, two-queue merging that prefers leaves on ties,
// depths limited to 15 by splitting the deepest shorter codeword, and the
// longest lengths given to the least frequent symbols. `order` receives the
// symbols sorted by (count, symbol).
//
// Codes are rebuilt every few hundred symbols, so the sort must be cheap: a
// stable radix sort of the symbols (taken in symbol order) by count, 6 bits a
// pass. Counts stay small (they are halved at every rebuild), so two passes
// usually do.
void SortByCount(const uint32_t* counts, unsigned n, uint16_t* order) {
    constexpr unsigned kBits = 6, kBuckets = 1u << kBits;
    uint16_t scratch[kMaxOffsetSyms];
    uint32_t maxCount = 0;
    for (unsigned s = 0; s < n; ++s) {
        order[s] = uint16_t(s);
        maxCount = std::max(maxCount, counts[s]);
    }
    uint16_t* from = order;
    uint16_t* to = scratch;
    for (unsigned shift = 0; shift < 32 && (maxCount >> shift) != 0; shift += kBits) {
        unsigned start[kBuckets + 1] = {0};
        for (unsigned k = 0; k < n; ++k) start[((counts[from[k]] >> shift) & (kBuckets - 1)) + 1]++;
        for (unsigned b = 1; b <= kBuckets; ++b) start[b] += start[b - 1];
        for (unsigned k = 0; k < n; ++k)
            to[start[(counts[from[k]] >> shift) & (kBuckets - 1)]++] = from[k];
        std::swap(from, to);
    }
    if (from != order) std::copy(from, from + n, order);
}

void LengthsFromCounts(const uint32_t* counts, unsigned n, uint16_t* order, uint8_t* lens) {
    SortByCount(counts, n, order);
    if (n == 1) {
        lens[order[0]] = 1;
        return;
    }
    uint32_t weight[kMaxOffsetSyms];  // internal nodes' weights
    uint16_t parent[kMaxOffsetSyms];  // internal nodes' parents
    uint8_t depth[kMaxOffsetSyms];
    auto leafW = [&](unsigned i) { return counts[order[i]]; };
    unsigned i = 0, b = 0, e = 0;
    const unsigned last = n - 1;
    do {
        uint32_t w;
        if (i + 1 <= last && (b == e || leafW(i + 1) <= weight[b])) {
            w = leafW(i) + leafW(i + 1);
            i += 2;
        } else if (b + 2 <= e && (i > last || weight[b + 1] < leafW(i))) {
            w = weight[b] + weight[b + 1];
            parent[b] = uint16_t(e);
            parent[b + 1] = uint16_t(e);
            b += 2;
        } else {
            w = leafW(i) + weight[b];
            parent[b] = uint16_t(e);
            ++i;
            ++b;
        }
        weight[e] = w;
    } while (++e < last);
    unsigned lenCounts[kMaxCodeLength + 2] = {0};
    const unsigned root = n - 2;
    depth[root] = 0;
    lenCounts[1] = 2;
    for (int node = int(root) - 1; node >= 0; --node) {
        unsigned d = depth[parent[unsigned(node)]] + 1u;
        depth[unsigned(node)] = uint8_t(d > 255 ? 255 : d);
        unsigned len = d;
        if (len >= kMaxCodeLength) {
            len = kMaxCodeLength;
            do {
                --len;
            } while (lenCounts[len] == 0);
        }
        lenCounts[len]--;
        lenCounts[len + 1] += 2;
    }
    unsigned k = 0;
    for (unsigned len = kMaxCodeLength; len >= 1; --len)
        for (unsigned c = lenCounts[len]; c > 0; --c) lens[order[k++]] = uint8_t(len);
}

class AdaptiveCode {
  public:
    void Init(unsigned symbols, unsigned rebuildEvery) {
        n_ = symbols;
        every_ = rebuildEvery;
        for (unsigned s = 0; s < n_; ++s) counts_[s] = 1;
        Rebuild();
    }
    inline int Decode(BackwardBits& bits) {
        bits.Fill();
        unsigned len;
        int sym = table_.Decode(bits.Peek(kMaxCodeLength), &len);
        if (sym < 0) return -1;
        bits.Skip(len);
        counts_[sym]++;
        if (--left_ == 0) {
            Rebuild();
            for (unsigned s = 0; s < n_; ++s) counts_[s] = (counts_[s] >> 1) + 1;
        }
        return sym;
    }

  private:
    void Rebuild() {
        LengthsFromCounts(counts_, n_, order_, lens_);
        table_.Build(lens_, n_, 10, kMaxCodeLength);
        left_ = every_;
    }
    unsigned n_ = 0, every_ = 0, left_ = 0;
    uint32_t counts_[kMaxOffsetSyms];
    uint8_t lens_[kMaxOffsetSyms];
    uint16_t order_[kMaxOffsetSyms];
    HuffmanTable table_;
};

// The first bytes of the instructions the x86 translation looks at; every other byte
// is stepped over.
struct X86OpcodeTable {
    bool first[256] = {};
    X86OpcodeTable() {
        for (uint8_t op : {0x48, 0x4C, 0xE8, 0xE9, 0xF0, 0xFF}) first[op] = true;
    }
};
const X86OpcodeTable kX86Opcodes;

// Undoes the compressor's translation of x86 relative addresses.
void UndoX86(uint8_t* data, int32_t size, std::vector<int32_t>& lastTarget) {
    if (size <= 17) return;
    lastTarget.assign(65536, -kX86IdWindow - 1);
    int32_t closest = -kX86MaxTranslationOffset - 1;
    const int32_t limit = size - 16;
    for (int32_t i = 1; i < limit;) {
        while (i < limit && !kX86Opcodes.first[data[i]]) ++i;
        if (i >= limit) break;
        const uint8_t* p = data + i;
        int32_t maxOffset = kX86MaxTranslationOffset;
        int32_t opBytes = 1;
        bool known = false;
        switch (p[0]) {
            case 0x48:
                if ((p[1] == 0x8B && (p[2] == 0x05 || p[2] == 0x0D)) ||
                    (p[1] == 0x8D && (p[2] & 7) == 5)) {
                    opBytes = 3;
                    known = true;
                }
                break;
            case 0x4C:
                if (p[1] == 0x8D && (p[2] & 7) == 5) {
                    opBytes = 3;
                    known = true;
                }
                break;
            case 0xE8:
                maxOffset /= 2;
                opBytes = 1;
                known = true;
                break;
            case 0xE9:
                i += 5;
                continue;
            case 0xF0:
                if (p[1] == 0x83 && p[2] == 0x05) {
                    opBytes = 3;
                    known = true;
                }
                break;
            case 0xFF:
                if (p[1] == 0x15) {
                    opBytes = 2;
                    known = true;
                }
                break;
        }
        if (!known) {
            i += 1;
            continue;
        }
        uint8_t* field = data + i + opBytes;
        if (i - closest <= maxOffset) StoreLe32(field, LoadLe32(field) - uint32_t(i));
        uint16_t pos = uint16_t(i + LoadLe16(field));
        i += opBytes + 3;
        if (i - lastTarget[pos] <= kX86IdWindow) closest = i;
        lastTarget[pos] = i;
        i += 1;
    }
}

struct LzmsState {
    Decision<16> main;
    Decision<32> match;
    Decision<64> lz;
    Decision<64> lzRep[kReps - 1];
    Decision<64> delta;
    Decision<64> deltaRep[kReps - 1];
    AdaptiveCode literal, length, lzOffset, deltaOffset, deltaPower;
};

}  // namespace

bool LzmsDecoder::Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (inSize < 4 || (inSize & 1) || outSize > 0x7FFFFFF0u) return false;
    size_t words = inSize / 2;
    auto st = std::make_unique<LzmsState>();
    unsigned offsetSyms = OffsetSlotCount(outSize);
    st->literal.Init(kLiteralSyms, 1024);
    st->length.Init(kLengthSyms, 512);
    st->lzOffset.Init(offsetSyms, 1024);
    st->deltaOffset.Init(offsetSyms, 1024);
    st->deltaPower.Init(kPowerSyms, 512);
    RangeDecoder rd(in, words);
    BackwardBits bits(in, words);

    uint32_t recentLz[kReps + 1] = {1, 2, 3, 4};
    uint64_t recentDelta[kReps + 1] = {1, 2, 3, 4};
    uint32_t pendingLz = 0;
    uint64_t pendingDelta = 0;
    size_t lzPendingAt = SIZE_MAX, deltaPendingAt = SIZE_MAX;

    auto value = [&](AdaptiveCode& code, const Slots& slots, uint32_t* v) -> bool {
        int slot = code.Decode(bits);
        if (slot < 0) return false;
        *v = slots.base[slot] + bits.Read(slots.extra[slot]);
        return true;
    };

    size_t o = 0;
    while (o < outSize) {
        if (!st->main.Decode(rd)) {
            int lit = st->literal.Decode(bits);
            if (lit < 0) return false;
            out[o++] = uint8_t(lit);
            continue;
        }
        uint32_t length;
        if (!st->match.Decode(rd)) {
            // LZ match.
            if (pendingLz && o != lzPendingAt) {
                memmove(recentLz + 1, recentLz, kReps * sizeof recentLz[0]);
                recentLz[0] = pendingLz;
                pendingLz = 0;
            }
            uint32_t offset;
            if (!st->lz.Decode(rd)) {
                if (!value(st->lzOffset, kOffsetSlots, &offset)) return false;
            } else {
                unsigned idx = 0;
                while (idx < kReps - 1 && st->lzRep[idx].Decode(rd)) ++idx;
                offset = recentLz[idx];
                memmove(recentLz + idx, recentLz + idx + 1, (kReps - idx) * sizeof recentLz[0]);
            }
            if (pendingLz) {
                memmove(recentLz + 1, recentLz, kReps * sizeof recentLz[0]);
                recentLz[0] = pendingLz;
            }
            pendingLz = offset;
            if (!value(st->length, kLengthSlots, &length)) return false;
            if (offset == 0 || offset > o || length > outSize - o) return false;
            CopyMatch(out + o, offset, length, outSize - o);
            o += length;
            lzPendingAt = o;
        } else {
            // Delta match.
            if (pendingDelta && o != deltaPendingAt) {
                memmove(recentDelta + 1, recentDelta, kReps * sizeof recentDelta[0]);
                recentDelta[0] = pendingDelta;
                pendingDelta = 0;
            }
            uint32_t power, raw;
            if (!st->delta.Decode(rd)) {
                int p = st->deltaPower.Decode(bits);
                if (p < 0) return false;
                power = uint32_t(p);
                if (!value(st->deltaOffset, kOffsetSlots, &raw)) return false;
            } else {
                unsigned idx = 0;
                while (idx < kReps - 1 && st->deltaRep[idx].Decode(rd)) ++idx;
                uint64_t pair = recentDelta[idx];
                memmove(recentDelta + idx, recentDelta + idx + 1,
                        (kReps - idx) * sizeof recentDelta[0]);
                power = uint32_t(pair >> 32);
                raw = uint32_t(pair);
            }
            if (pendingDelta) {
                memmove(recentDelta + 1, recentDelta, kReps * sizeof recentDelta[0]);
                recentDelta[0] = pendingDelta;
            }
            pendingDelta = (uint64_t(power) << 32) | raw;
            if (!value(st->length, kLengthSlots, &length)) return false;
            if (power >= 32) return false;
            uint64_t span = uint64_t(1) << power;
            uint64_t offset = uint64_t(raw) << power;
            if (offset + span > o || length > outSize - o) return false;
            uint8_t* d = out + o;
            for (uint32_t k = 0; k < length; ++k)
                d[k] = uint8_t(d[int64_t(k) - int64_t(offset)] + d[int64_t(k) - int64_t(span)] -
                               d[int64_t(k) - int64_t(offset + span)]);
            o += length;
            deltaPendingAt = o;
        }
        if (bits.overrun()) return false;
    }
    std::vector<int32_t> lastTarget;
    UndoX86(out, int32_t(outSize), lastTarget);
    return true;
}

}  // namespace wim
