// XPRESS Huffman: a 256-byte table of 512 four-bit code lengths, then a stream
// of 16-bit little-endian words read most significant bit first, with the long
// match length bytes taken from the byte stream between them.
#include <cstring>

#include "engines/wimformat/decompress.h"
#include "engines/wimformat/huffman.h"
#include "common/le.h"
#include "engines/wimformat/match_copy.h"

namespace wim {

using namespace common;

bool DecompressXpress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (inSize < 256 + 4 || outSize > 65536) return false;
    uint8_t lengths[512];
    for (int i = 0; i < 256; ++i) {
        lengths[2 * i] = in[i] & 15;
        lengths[2 * i + 1] = in[i] >> 4;
    }
    HuffmanTable table;
    if (!table.Build(lengths, 512, 11, 15)) return false;

    size_t pos = 256;
    uint32_t nextBits = (uint32_t(LoadLe16(in + pos)) << 16) | LoadLe16(in + pos + 2);
    pos += 4;
    int extraBits = 16;
    // Consumes n (<= 16) bits; the words past the end read as zero, as the
    // stream may legitimately end with unused bits still unloaded.
    auto consume = [&](unsigned n) -> void {
        nextBits <<= n;
        extraBits -= int(n);
        if (extraBits < 0) {
            uint32_t w = pos + 2 <= inSize ? LoadLe16(in + pos) : 0;
            pos += 2;
            nextBits |= w << unsigned(-extraBits);
            extraBits += 16;
        }
    };
    size_t o = 0;
    while (o < outSize) {
        unsigned len;
        int sym = table.Decode(nextBits >> 17, &len);
        if (sym < 0) return false;
        consume(len);
        if (sym < 256) {
            out[o++] = uint8_t(sym);
            continue;
        }
        sym -= 256;
        size_t length = sym & 15;
        unsigned offBits = unsigned(sym) >> 4;
        if (length == 15) {
            if (pos >= inSize) return false;
            length = in[pos++];
            if (length == 255) {
                if (pos + 2 > inSize) return false;
                length = LoadLe16(in + pos);
                pos += 2;
                if (length < 15) return false;
                length -= 15;
            }
            length += 15;
        }
        length += 3;
        size_t offset = 1;
        if (offBits) {
            offset = (size_t(1) << offBits) | (nextBits >> (32 - offBits));
            consume(offBits);
        }
        if (offset > o || length > outSize - o) return false;
        CopyMatch(out + o, offset, length, outSize - o);
        o += length;
    }
    return true;
}

}  // namespace wim
