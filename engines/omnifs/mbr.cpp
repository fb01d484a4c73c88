#include "engines/omnifs/mbr.h"

#include <cstring>

namespace omnifs {

static uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

MbrTable ParseMbr(const uint8_t* sector, size_t size) {
    MbrTable table;
    if (!sector || size < kMbrSectorSize) return table;
    MbrSectorOnDisk raw;
    std::memcpy(&raw, sector, sizeof raw);
    if (raw.signature[0] != 0x55 || raw.signature[1] != 0xAA) return table;

    int flagged = 0;
    for (int i = 0; i < 4; ++i) {
        const MbrEntryOnDisk& e = raw.entries[i];
        MbrEntry& out = table.entries[i];
        out.bootIndicator = e.bootIndicator;
        out.type = e.type;
        out.firstLba = Le32(e.firstLba);
        out.sectorCount = Le32(e.sectorCount);
        if (out.type == kTypeGptProtective) table.kind = MbrKind::GptProtective;
        if (out.bootIndicator == kBootActive) {
            ++flagged;
            if (out.Used()) table.activeIndex = i;
        } else if (out.bootIndicator != 0) {
            table.bootFlagsValid = false;
        }
    }
    if (table.kind != MbrKind::GptProtective) table.kind = MbrKind::Mbr;
    if (flagged > 1) table.bootFlagsValid = false;
    if (!table.bootFlagsValid || table.kind == MbrKind::GptProtective) table.activeIndex = -1;
    return table;
}

int FindEntryByStart(const MbrTable& table, uint64_t firstLba) {
    if (table.kind != MbrKind::Mbr) return -1;
    for (int i = 0; i < 4; ++i) {
        const MbrEntry& e = table.entries[i];
        if (e.Used() && e.firstLba == firstLba) return i;
    }
    return -1;
}

}  // namespace omnifs
