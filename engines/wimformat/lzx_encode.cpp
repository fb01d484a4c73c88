// LZX encoder for WIM chunks: each chunk is one window of its own, coded as a
// single verbatim or aligned-offset block (whichever is smaller), after the
// x86 call translation every WIM reader undoes. Matches come from hash chains
// with lazy evaluation, repeat offsets preferred where they cost less.
#include <cstring>
#include <vector>

#include "common/le.h"
#include "engines/wimformat/bitwriter.h"
#include "engines/wimformat/compress.h"
#include "engines/wimformat/huffman_encode.h"
#include "engines/wimformat/match_finder.h"

namespace wim {

namespace {

constexpr unsigned kChunk = 32768;
constexpr unsigned kSlots = 30;  // for a 32 KiB window
constexpr unsigned kMainSymbols = 256 + 8 * kSlots;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 257;
constexpr int32_t kE8FileSize = 12000000;

struct SlotInfo {
    uint32_t base[kSlots + 1];
    uint8_t extra[kSlots];
    SlotInfo() {
        uint32_t b = 0;
        for (unsigned s = 0; s < kSlots; ++s) {
            unsigned e = s < 4 ? 0 : (s - 2) / 2;
            extra[s] = uint8_t(e);
            base[s] = b;
            b += 1u << e;
        }
        base[kSlots] = b;
    }
};
const SlotInfo kSlotInfo;

inline unsigned SlotOf(uint32_t formatted) {
    if (formatted < 4) return formatted;
    unsigned hb = 31u - unsigned(__builtin_clz(formatted));
    return 2 * hb + ((formatted >> (hb - 1)) & 1);
}

// The forward x86 call translation; the reader's undo scans the same positions.
void TranslateE8(uint8_t* data, size_t size) {
    if (size <= 10) return;
    for (size_t i = 0; i < size - 10; ++i) {
        if (data[i] != 0xE8) continue;
        int32_t rel = int32_t(common::LoadLe32(data + i + 1));
        int32_t pos = int32_t(i);
        if (rel >= -pos && rel < kE8FileSize) {
            int32_t abs = rel < kE8FileSize - pos ? rel + pos : rel - kE8FileSize;
            common::StoreLe32(data + i + 1, uint32_t(abs));
        }
        i += 4;
    }
}

struct Item {
    uint16_t mainSym;
    uint8_t lengthSym;  // valid when the length header is 7
    uint8_t extraBits;
    uint32_t extra;
};

class LzxCompressor : public Compressor {
  public:
    LzxCompressor() : finder_(kChunk) { items_.reserve(kChunk); }

    size_t Compress(const uint8_t* in, size_t n, uint8_t* out) override {
        if (n < 64 || n > kChunk || LooksIncompressible(in, n)) return 0;
        memcpy(buf_, in, n);
        TranslateE8(buf_, n);
        Parse(n);
        return Encode(n, out);
    }

  private:
    static constexpr unsigned kDepth = 24;
    static constexpr unsigned kNice = 96;
    static constexpr uint32_t kFar4 = 1024;

    void Literal(uint8_t b) {
        items_.push_back({b, 0, 0, 0});
        mainFreq_[b]++;
    }

    // Codes a match at the current repeat state and updates it.
    void Match(unsigned len, uint32_t offset) {
        unsigned slot;
        uint32_t extra = 0;
        uint8_t extraBits = 0;
        if (offset == r_[0]) {
            slot = 0;
        } else if (offset == r_[1]) {
            slot = 1;
            r_[1] = r_[0];
            r_[0] = offset;
        } else if (offset == r_[2]) {
            slot = 2;
            r_[2] = r_[0];
            r_[0] = offset;
        } else {
            uint32_t f = offset + 2;
            slot = SlotOf(f);
            extraBits = kSlotInfo.extra[slot];
            extra = f - kSlotInfo.base[slot];
            r_[2] = r_[1];
            r_[1] = r_[0];
            r_[0] = offset;
            if (extraBits >= 3) alignedFreq_[extra & 7]++;
        }
        unsigned header = len - kMinMatch < 7 ? len - kMinMatch : 7;
        uint16_t sym = uint16_t(256 + slot * 8 + header);
        mainFreq_[sym]++;
        uint8_t ls = 0;
        if (header == 7) {
            ls = uint8_t(len - kMinMatch - 7);
            lengthFreq_[ls]++;
        }
        items_.push_back({sym, ls, extraBits, extra});
    }

    // The longest match at `pos` with one of the repeat offsets (0 if none).
    unsigned RepeatMatch(size_t pos, size_t n, uint32_t* offset) const {
        unsigned best = 0;
        unsigned limit = unsigned(n - pos < kMaxMatch ? n - pos : kMaxMatch);
        for (int k = 0; k < 3; ++k) {
            uint32_t o = r_[k];
            if (o > pos || limit < 2 || buf_[pos] != buf_[pos - o] ||
                buf_[pos + 1] != buf_[pos + 1 - o])
                continue;
            unsigned l = MatchLength(buf_ + pos, buf_ + pos - o, limit);
            if (l > best) {
                best = l;
                *offset = o;
            }
        }
        return best;
    }

    // Best choice at `pos`: a repeat match wins unless a new match is clearly longer.
    unsigned Choose(size_t pos, size_t n, uint32_t* offset) {
        uint32_t off = 0, rep = 0;
        unsigned limit = unsigned(n - pos < kMaxMatch ? n - pos : kMaxMatch);
        unsigned len = finder_.Find(pos, kDepth, kNice, &off);
        if (len > limit) len = limit;
        // A short match far back costs more (offset bits and all) than the
        // literals it replaces; the finder gives none under four bytes.
        if (len == 4 && off >= kFar4) len = 0;
        unsigned rl = RepeatMatch(pos, n, &rep);
        if (rl >= 3 ? rl + 1 >= len : rl == 2 && len < 3) {
            *offset = rep;
            return rl;
        }
        *offset = off;
        return len;
    }

    void Parse(size_t n) {
        items_.clear();
        memset(mainFreq_, 0, sizeof mainFreq_);
        memset(lengthFreq_, 0, sizeof lengthFreq_);
        memset(alignedFreq_, 0, sizeof alignedFreq_);
        r_[0] = r_[1] = r_[2] = 1;
        finder_.Reset(buf_, n);
        size_t i = 0;
        uint32_t off = 0;
        unsigned len = Choose(0, n, &off);
        while (i < n) {
            if (len >= 3 && len < kNice && i + 1 < n) {
                uint32_t nextOff = 0;
                unsigned next = Choose(i + 1, n, &nextOff);
                if (next > len) {
                    Literal(buf_[i]);
                    ++i;
                    len = next;
                    off = nextOff;
                    continue;
                }
            }
            if (len >= 2) {
                Match(len, off);
                i += len;
            } else {
                Literal(buf_[i]);
                ++i;
            }
            if (i < n) len = Choose(i, n, &off);
        }
    }

    // Writes one code length list through a pretree of its own.
    static void WriteLengths(WordBitWriter& w, const uint8_t* lens, unsigned count) {
        // Previous lengths are all zero: each chunk starts afresh in one block.
        struct Op {
            uint8_t sym, extraBits;
            uint8_t extra;
            uint8_t valueSym;  // for a run of one value (symbol 19)
        };
        std::vector<Op> ops;
        ops.reserve(count);
        uint32_t freq[kPretreeSymbols] = {0};
        unsigned i = 0;
        while (i < count) {
            unsigned run = 1;
            while (i + run < count && lens[i + run] == lens[i]) ++run;
            uint8_t valueSym = uint8_t((17 - lens[i]) % 17);
            if (lens[i] == 0 && run >= 4) {
                while (run >= 4) {
                    if (run >= 20) {
                        unsigned r = run > 51 ? 51 : run;
                        ops.push_back({18, 5, uint8_t(r - 20), 0});
                        freq[18]++;
                        i += r;
                        run -= r;
                    } else {
                        ops.push_back({17, 4, uint8_t(run - 4), 0});
                        freq[17]++;
                        i += run;
                        run = 0;
                    }
                }
            } else if (lens[i] != 0 && run >= 4) {
                while (run >= 4) {
                    unsigned r = run >= 5 ? 5 : 4;
                    ops.push_back({19, 1, uint8_t(r - 4), valueSym});
                    freq[19]++;
                    freq[valueSym]++;
                    i += r;
                    run -= r;
                }
            }
            for (; run > 0; --run, ++i) {
                ops.push_back({valueSym, 0, 0, 0});
                freq[valueSym]++;
            }
        }
        uint8_t preLens[kPretreeSymbols];
        uint32_t preCodes[kPretreeSymbols];
        BuildCodeLengths(freq, kPretreeSymbols, 15, preLens);
        CanonicalCodes(preLens, kPretreeSymbols, preCodes);
        for (unsigned k = 0; k < kPretreeSymbols; ++k) w.Put(preLens[k], 4);
        for (const Op& op : ops) {
            w.Put(preCodes[op.sym], preLens[op.sym]);
            if (op.extraBits) w.Put(op.extra, op.extraBits);
            if (op.sym == 19) w.Put(preCodes[op.valueSym], preLens[op.valueSym]);
        }
    }

    size_t Encode(size_t n, uint8_t* out) {
        uint8_t mainLens[kMainSymbols], lengthLens[kLengthSymbols], alignedLens[kAlignedSymbols];
        uint32_t mainCodes[kMainSymbols], lengthCodes[kLengthSymbols],
            alignedCodes[kAlignedSymbols];
        BuildCodeLengths(mainFreq_, kMainSymbols, 16, mainLens);
        BuildCodeLengths(lengthFreq_, kLengthSymbols, 16, lengthLens);
        CanonicalCodes(mainLens, kMainSymbols, mainCodes);
        CanonicalCodes(lengthLens, kLengthSymbols, lengthCodes);
        // Aligned-offset blocks code the low three bits of long offsets with a
        // tree of their own; worth it when those bits are skewed.
        bool aligned = false;
        uint64_t alignedTotal = 0;
        for (unsigned k = 0; k < kAlignedSymbols; ++k) alignedTotal += alignedFreq_[k];
        if (alignedTotal > 32) {
            BuildCodeLengths(alignedFreq_, kAlignedSymbols, 7, alignedLens);
            uint64_t cost = 24;
            for (unsigned k = 0; k < kAlignedSymbols; ++k)
                cost += uint64_t(alignedFreq_[k]) * alignedLens[k];
            aligned = cost < alignedTotal * 3;
            if (aligned) CanonicalCodes(alignedLens, kAlignedSymbols, alignedCodes);
        }
        WordBitWriter w(out, n - 1);
        w.Put(aligned ? 2 : 1, 3);
        if (n == kChunk) {
            w.Put(1, 1);
        } else {
            w.Put(0, 1);
            w.Put(uint32_t(n), 16);
        }
        if (aligned)
            for (unsigned k = 0; k < kAlignedSymbols; ++k) w.Put(alignedLens[k], 3);
        WriteLengths(w, mainLens, 256);
        WriteLengths(w, mainLens + 256, kMainSymbols - 256);
        WriteLengths(w, lengthLens, kLengthSymbols);
        for (const Item& it : items_) {
            w.Put(mainCodes[it.mainSym], mainLens[it.mainSym]);
            if (it.mainSym < 256) continue;
            if (((it.mainSym - 256) & 7) == 7)
                w.Put(lengthCodes[it.lengthSym], lengthLens[it.lengthSym]);
            if (!it.extraBits) continue;
            if (aligned && it.extraBits >= 3) {
                w.PutLong(it.extra >> 3, it.extraBits - 3u);
                w.Put(alignedCodes[it.extra & 7], alignedLens[it.extra & 7]);
            } else {
                w.PutLong(it.extra, it.extraBits);
            }
            if (w.overflow()) return 0;
        }
        w.Flush();
        if (w.overflow() || w.size() >= n) return 0;
        return w.size();
    }

    MatchFinder finder_;
    uint8_t buf_[kChunk];
    std::vector<Item> items_;
    uint32_t mainFreq_[kMainSymbols];
    uint32_t lengthFreq_[kLengthSymbols];
    uint32_t alignedFreq_[kAlignedSymbols];
    uint32_t r_[3];
};

}  // namespace

std::unique_ptr<Compressor> MakeLzxCompressor(uint32_t chunkSize) {
    if (chunkSize != kChunk) return nullptr;
    return std::make_unique<LzxCompressor>();
}

}  // namespace wim
