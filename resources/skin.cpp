#include "resources/skin.h"

#include <cstdint>
#include <cstring>

extern "C" {
extern const unsigned char sbSkinPack[] __asm__("sb_skin_pack");
extern const unsigned char sbSkinPackEnd[] __asm__("sb_skin_pack_end");
}

static std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

bool FindInSkinPack(const unsigned char* pack, size_t size, const std::string& name,
                    SkinPicture* picture) {
    if (size < 8 || std::memcmp(pack, "SKN1", 4) != 0) return false;
    const std::uint32_t count = Le32(pack + 4);
    size_t at = 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 4) return false;
        const std::uint32_t nameLength = Le32(pack + at);
        at += 4;
        if (size - at < size_t(nameLength) + 8) return false;
        const std::string entry(reinterpret_cast<const char*>(pack + at), nameLength);
        at += nameLength;
        const std::uint32_t width = Le32(pack + at), height = Le32(pack + at + 4);
        at += 8;
        const std::uint64_t bytes = std::uint64_t(width) * height * 4;
        if (bytes > size - at) return false;
        if (entry == name) {
            picture->width = width;
            picture->height = height;
            picture->bgra = pack + at;
            return true;
        }
        at += size_t(bytes);
    }
    return false;
}

bool FindSkinPicture(const std::string& name, SkinPicture* picture) {
    return FindInSkinPack(sbSkinPack, size_t(sbSkinPackEnd - sbSkinPack), name, picture);
}
