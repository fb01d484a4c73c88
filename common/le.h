// Little-endian loads and stores for on-disk structures: the format is
// little-endian whatever the host is, and fields are often unaligned.
#pragma once

#include <cstdint>
#include <cstring>

namespace common {

inline uint16_t LoadLe16(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint16_t(b[0] | (b[1] << 8));
}
inline uint32_t LoadLe32(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
inline uint64_t LoadLe64(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return uint64_t(LoadLe32(b)) | (uint64_t(LoadLe32(b + 4)) << 32);
}
inline void StoreLe16(void* p, uint16_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
}
inline void StoreLe32(void* p, uint32_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    for (int i = 0; i < 4; ++i) b[i] = uint8_t(v >> (8 * i));
}
inline void StoreLe64(void* p, uint64_t v) {
    StoreLe32(p, uint32_t(v));
    StoreLe32(static_cast<uint8_t*>(p) + 4, uint32_t(v >> 32));
}

// A little-endian field of an on-disk structure, read through Get().
template <typename T>
struct Le {
    uint8_t bytes[sizeof(T)];
    T Get() const {
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) v |= uint64_t(bytes[i]) << (8 * i);
        return T(v);
    }
    void Set(T v) {
        for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = uint8_t(uint64_t(v) >> (8 * i));
    }
};
using Le16 = Le<uint16_t>;
using Le32 = Le<uint32_t>;
using Le64 = Le<uint64_t>;

}  // namespace common
