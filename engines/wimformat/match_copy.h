// Copying an LZ match inside the output buffer. Overlapping matches (offset
// shorter than length) repeat the bytes they have just written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wim {

// room: the bytes of the output buffer from d on (at least length). With 8 bytes to
// spare and an offset of 8 or more the match is copied in whole words: each read ends
// before the bytes it writes, and the few bytes written past the match are rewritten
// by the output that follows.
inline void CopyMatch(uint8_t* d, size_t offset, size_t length, size_t room) {
    const uint8_t* s = d - offset;
    if (offset >= 8 && room - length >= 8) {
        uint8_t* const stop = d + length;
        do {
            uint64_t w;
            memcpy(&w, s, 8);
            memcpy(d, &w, 8);
            d += 8;
            s += 8;
        } while (d < stop);
        return;
    }
    if (offset >= length) {
        memcpy(d, s, length);
    } else if (offset >= 8) {
        // Each 8-byte read ends before the bytes it writes.
        while (length >= 8) {
            uint64_t w;
            memcpy(&w, s, 8);
            memcpy(d, &w, 8);
            d += 8;
            s += 8;
            length -= 8;
        }
        while (length--) *d++ = *s++;
    } else if (offset == 1) {
        memset(d, *s, length);
    } else {
        for (size_t i = 0; i < length; ++i) d[i] = s[i];
    }
}

}  // namespace wim
