// LZX as WIM files use it: each chunk is a whole window on its own, the block
// size is one bit for the default 32 KiB or an explicit size, and the x86 call
// translation is always applied with a virtual file size of 12000000.
#include "engines/wimformat/lzx.h"

#include <cstring>

#include "engines/wimformat/bitreader.h"
#include "engines/wimformat/huffman.h"
#include "engines/wimformat/match_copy.h"

namespace wim {

namespace {

constexpr unsigned kMaxSlots = 50;
constexpr unsigned kMaxMainSymbols = 256 + 8 * kMaxSlots;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMaxCodeLength = 16;
constexpr int32_t kE8FileSize = 12000000;

struct SlotTables {
    uint32_t base[kMaxSlots];
    uint8_t extra[kMaxSlots];
    SlotTables() {
        uint32_t b = 0;
        for (unsigned s = 0; s < kMaxSlots; ++s) {
            unsigned e = s < 4 ? 0 : (s - 2) / 2;
            if (e > 17) e = 17;
            extra[s] = uint8_t(e);
            base[s] = b;
            b += 1u << e;
        }
    }
};
const SlotTables kSlots;

unsigned SlotCountForOrder(unsigned order) {
    switch (order) {
        case 15:
            return 30;
        case 16:
            return 32;
        case 17:
            return 34;
        case 18:
            return 36;
        case 19:
            return 38;
        case 20:
            return 42;
        case 21:
            return 50;
        default:
            return 0;
    }
}

unsigned OrderOf(uint32_t chunkSize) {
    unsigned order = 0;
    while ((1u << order) < chunkSize && order < 31) ++order;
    return (1u << order) == chunkSize ? order : 0;
}

// Reads code lengths [start, end) as deltas from their previous values.
bool ReadLengths(WordBitReader& br, uint8_t* lens, unsigned start, unsigned end) {
    uint8_t preLens[kPretreeSymbols];
    br.Fill();
    for (unsigned i = 0; i < kPretreeSymbols; ++i) {
        if (i == 12) br.Fill();
        preLens[i] = uint8_t(br.Take(4));
    }
    HuffmanTable pre;
    if (!pre.Build(preLens, kPretreeSymbols, 6, kMaxCodeLength)) return false;
    unsigned i = start;
    while (i < end) {
        br.Fill();
        unsigned len;
        int sym = pre.Decode(br.Peek(kMaxCodeLength), &len);
        if (sym < 0) return false;
        br.Skip(len);
        if (sym <= 16) {
            lens[i] = uint8_t((lens[i] + 17 - sym) % 17);
            ++i;
            continue;
        }
        unsigned run;
        uint8_t value = 0;
        if (sym == 17) {
            run = 4 + br.Take(4);
        } else if (sym == 18) {
            run = 20 + br.Take(5);
        } else {
            run = 4 + br.Take(1);
            int sym2 = pre.Decode(br.Peek(kMaxCodeLength), &len);
            if (sym2 < 0 || sym2 > 16) return false;
            br.Skip(len);
            value = uint8_t((lens[i] + 17 - sym2) % 17);
        }
        if (run > end - i) return false;
        memset(lens + i, value, run);
        i += run;
    }
    return !br.overrun();
}

// Text and most data hold no 0xE8 byte at all: memchr finds the few there are
// far faster than a test per byte.
void UndoE8(uint8_t* data, size_t size) {
    if (size <= 10) return;
    uint8_t* const end = data + size - 10;
    uint8_t* p = data;
    while (p < end) {
        p = static_cast<uint8_t*>(memchr(p, 0xE8, size_t(end - p)));
        if (!p) return;
        int32_t abs = int32_t(LoadLe32(p + 1));
        int32_t pos = int32_t(p - data);
        if (abs >= -pos && abs < kE8FileSize) {
            int32_t rel = abs >= 0 ? abs - pos : abs + kE8FileSize;
            StoreLe32(p + 1, uint32_t(rel));
        }
        p += 5;
    }
}

}  // namespace

bool LzxDecoder::Init(uint32_t chunkSize) {
    unsigned order = OrderOf(chunkSize);
    slotCount_ = SlotCountForOrder(order);
    order_ = order;
    return slotCount_ != 0;
}

bool LzxDecoder::Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (!slotCount_ || outSize > (size_t(1) << order_)) return false;
    const unsigned mainCount = 256 + 8 * slotCount_;
    uint8_t mainLens[kMaxMainSymbols] = {0};
    uint8_t lengthLens[kLengthSymbols] = {0};
    uint8_t alignedLens[kAlignedSymbols];
    uint32_t r0 = 1, r1 = 1, r2 = 1;
    WordBitReader br(in, inSize);
    size_t o = 0;
    while (o < outSize) {
        br.Fill();
        unsigned type = br.Take(3);
        size_t blockSize;
        if (br.Take(1)) {
            blockSize = 32768;
        } else {
            blockSize = br.Take(16);
            if (order_ >= 16) blockSize = (blockSize << 8) | br.Take(8);
        }
        if (blockSize == 0 || blockSize > outSize - o) return false;
        if (type == 3) {
            size_t p = br.AlignToBytes();
            if (p + 12 > inSize || blockSize > inSize - p - 12) return false;
            r0 = LoadLe32(in + p);
            r1 = LoadLe32(in + p + 4);
            r2 = LoadLe32(in + p + 8);
            if (r0 == 0 || r1 == 0 || r2 == 0) return false;
            memcpy(out + o, in + p + 12, blockSize);
            o += blockSize;
            br.Reset(p + 12 + blockSize + (blockSize & 1));
            continue;
        }
        if (type != 1 && type != 2) return false;
        HuffmanTable aligned;
        if (type == 2) {
            br.Fill();
            for (unsigned i = 0; i < kAlignedSymbols; ++i) alignedLens[i] = uint8_t(br.Take(3));
            if (!aligned.Build(alignedLens, kAlignedSymbols, 7, kMaxCodeLength)) return false;
        }
        if (!ReadLengths(br, mainLens, 0, 256) || !ReadLengths(br, mainLens, 256, mainCount) ||
            !ReadLengths(br, lengthLens, 0, kLengthSymbols))
            return false;
        if (!mainTable_.Build(mainLens, mainCount, 12, kMaxCodeLength) ||
            !lengthTable_.Build(lengthLens, kLengthSymbols, 9, kMaxCodeLength))
            return false;
        size_t blockEnd = o + blockSize;
        // The symbol loop works on a copy that never leaves this function, so
        // that the bit buffer stays in registers.
        WordBitReader bits = br;
        while (o < blockEnd) {
            bits.Fill();
            unsigned len;
            int sym = mainTable_.Decode(bits.Peek(kMaxCodeLength), &len);
            if (sym < 0) return false;
            bits.Skip(len);
            if (sym < 256) {
                out[o++] = uint8_t(sym);
                continue;
            }
            sym -= 256;
            size_t length = sym & 7;
            unsigned slot = unsigned(sym) >> 3;
            if (length == 7) {
                int ls = lengthTable_.Decode(bits.Peek(kMaxCodeLength), &len);
                if (ls < 0) return false;
                bits.Skip(len);
                length += ls;
            }
            length += 2;
            uint32_t offset;
            if (slot == 0) {
                offset = r0;
            } else if (slot == 1) {
                offset = r1;
                r1 = r0;
                r0 = offset;
            } else if (slot == 2) {
                offset = r2;
                r2 = r0;
                r0 = offset;
            } else {
                bits.Fill();
                unsigned extra = kSlots.extra[slot];
                uint32_t v;
                if (type == 2 && extra >= 3) {
                    v = bits.Take(extra - 3) << 3;
                    int as = aligned.Decode(bits.Peek(kMaxCodeLength), &len);
                    if (as < 0) return false;
                    bits.Skip(len);
                    v += uint32_t(as);
                } else {
                    v = bits.Take(extra);
                }
                offset = kSlots.base[slot] + v - 2;
                r2 = r1;
                r1 = r0;
                r0 = offset;
            }
            if (offset == 0 || offset > o || length > outSize - o) return false;
            uint8_t* d = out + o;
            const uint8_t* s = d - offset;
            if (offset >= 8 && length <= 16 && outSize - o >= 16) {
                // Short match: two word copies, still inside the buffer.
                uint64_t w0, w1;
                memcpy(&w0, s, 8);
                memcpy(d, &w0, 8);
                memcpy(&w1, s + 8, 8);
                memcpy(d + 8, &w1, 8);
            } else {
                CopyMatch(d, offset, length, outSize - o);
            }
            o += length;
        }
        br = bits;
        if (br.overrun()) return false;
    }
    UndoE8(out, outSize);
    return true;
}

}  // namespace wim
