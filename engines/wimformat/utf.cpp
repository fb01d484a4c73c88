#include "engines/wimformat/utf.h"

namespace wim {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string Utf8FromUtf16Le(const uint8_t* data, size_t byteCount) {
    std::string out;
    out.reserve(byteCount);
    size_t n = byteCount / 2;
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
            uint32_t v = data[2 * i + 2] | (data[2 * i + 3] << 8);
            if (v >= 0xDC00 && v < 0xE000) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        // A lone surrogate (Windows names may hold one) is kept as its own
        // three-byte sequence, so that the name comes back the same.
        AppendUtf8(out, u);
    }
    return out;
}

std::string Utf16LeFromUtf8(const std::string& utf8) {
    std::string out;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t n = utf8.size();
    auto put = [&out](uint32_t u) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    };
    for (size_t i = 0; i < n;) {
        uint32_t c = s[i];
        uint32_t cp = 0xFFFD;
        int extra = c < 0x80 ? 0 : c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        if (extra == 0) {
            cp = c;
            i += 1;
        } else if (extra > 0 && i + extra < n + 1) {
            cp = c & (0x3F >> extra);
            bool good = true;
            for (int k = 1; k <= extra; ++k) {
                if ((s[i + k] & 0xC0) != 0x80) good = false;
                cp = (cp << 6) | (s[i + k] & 0x3F);
            }
            if (!good) cp = 0xFFFD;
            i += good ? extra + 1 : 1;
        } else {
            i += 1;
        }
        if (cp >= 0x10000 && cp < 0x110000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp > 0x10FFFF ? 0xFFFD : cp);
        }
    }
    return out;
}

}  // namespace wim
