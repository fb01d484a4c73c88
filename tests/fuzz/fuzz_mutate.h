// The mutations of the bounded fuzz drivers: byte changes and bit flips, numbers that
// sit on limits, insertions of bytes that mean something to text parsers, cuts,
// erasures and copies of another stretch of the input.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

namespace fuzz {

inline void Store32(std::string& s, size_t pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[pos + size_t(i)] = char(v >> (8 * i));
}

inline void Mutate(std::string& s, std::mt19937& rng, bool keepFirstByte) {
    static const uint32_t kNumbers[] = {0,    1,    2,          7,          8,          0x7F,
                                        0x80, 0xFF, 0x800,      0x10000,    56,         208,
                                        512,  2048, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
    constexpr size_t kCount = sizeof kNumbers / sizeof kNumbers[0];
    const int ops = 1 + int(rng() % 4);
    for (int k = 0; k < ops; ++k) {
        if (s.size() <= (keepFirstByte ? 1u : 0u)) {
            s.push_back(char(rng()));
            continue;
        }
        // The first byte picks a mode in most targets: it changes only now and then.
        const bool first = !keepFirstByte && (s.size() == 1 || rng() % 16 == 0);
        const size_t pos = first ? 0 : 1 + rng() % (s.size() - 1);
        switch (rng() % 7) {
            case 0:
                s[pos] = char(rng());
                break;
            case 1:
                s[pos] ^= char(1u << (rng() % 8));
                break;
            case 2:
                if (rng() % 4 == 0) s.resize(pos + 1);
                break;
            case 3:
                s.insert(pos, 1 + rng() % 8, char(rng() % 2 ? rng() : "\"\\ \t\r\n<>"[rng() % 8]));
                break;
            case 4:
                if (pos + 4 <= s.size()) Store32(s, pos, kNumbers[rng() % kCount]);
                break;
            case 5:
                s.erase(pos, std::min<size_t>(s.size() - pos, 1 + rng() % 16));
                break;
            default: {  // a copy of another stretch of the input
                const size_t from = rng() % s.size();
                const size_t len = std::min<size_t>(s.size() - from, 1 + rng() % 32);
                s.insert(pos, s.substr(from, len));
                break;
            }
        }
    }
}

}  // namespace fuzz
