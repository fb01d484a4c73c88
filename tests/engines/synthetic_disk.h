// Synthetic sector-0 images for the MBR tests.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testdisk {

struct Entry {
    uint8_t boot;
    uint8_t type;
    uint32_t firstLba;
    uint32_t sectors;
};

inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A 512-byte sector 0 with up to four entries and, unless told otherwise, 55 AA.
inline std::vector<uint8_t> Sector0(std::initializer_list<Entry> entries, bool signature = true) {
    std::vector<uint8_t> s(512, 0);
    for (size_t i = 0; i < 446; ++i) s[i] = uint8_t(0x90 + i % 7);  // boot code noise
    size_t at = 0x1BE;
    for (const Entry& e : entries) {
        s[at] = e.boot;
        s[at + 4] = e.type;
        PutLe32(&s[at + 8], e.firstLba);
        PutLe32(&s[at + 12], e.sectors);
        at += 16;
    }
    if (signature) {
        s[510] = 0x55;
        s[511] = 0xAA;
    }
    return s;
}

}  // namespace testdisk
