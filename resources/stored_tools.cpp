#include "resources/stored_tools.h"

#include <cstdint>

static std::uint32_t ReadLe32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

StoredBytes StoredToolBytes(StoredTool tool) {
    const unsigned char* block = StoredToolBlock(tool);
    StoredBytes bytes;
    if (!block || ReadLe32(block) != 1) return bytes;
    bytes.size = ReadLe32(block + 4);
    bytes.data = block + 8;
    return bytes;
}
