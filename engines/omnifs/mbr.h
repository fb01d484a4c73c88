// Master boot record: the on-disk layout of sector 0 and what it says about the
// partitions it lists (which entry is active, whether it only protects a GPT disk).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace omnifs {

// On-disk structures. Multi-byte fields are little-endian byte arrays so the layout
// does not depend on the host's alignment or byte order.
struct MbrEntryOnDisk {
    uint8_t bootIndicator;   // +0x00: 0x80 active, 0x00 inactive
    uint8_t chsFirst[3];     // +0x01
    uint8_t type;            // +0x04: partition type, 0x00 unused, 0xEE GPT protective
    uint8_t chsLast[3];      // +0x05
    uint8_t firstLba[4];     // +0x08: little-endian
    uint8_t sectorCount[4];  // +0x0C: little-endian
};
static_assert(sizeof(MbrEntryOnDisk) == 16, "MBR partition entry is 16 bytes");

struct MbrSectorOnDisk {
    uint8_t bootCode[446];      // +0x000
    MbrEntryOnDisk entries[4];  // +0x1BE
    uint8_t signature[2];       // +0x1FE: 0x55 0xAA
};
static_assert(sizeof(MbrSectorOnDisk) == 512, "MBR sector is 512 bytes");

constexpr size_t kMbrSectorSize = sizeof(MbrSectorOnDisk);
constexpr uint8_t kBootActive = 0x80;
constexpr uint8_t kTypeGptProtective = 0xEE;

// In-memory view of one entry.
struct MbrEntry {
    uint8_t bootIndicator = 0;
    uint8_t type = 0;
    uint32_t firstLba = 0;
    uint32_t sectorCount = 0;
    bool Used() const { return type != 0 && sectorCount != 0; }
};

enum class MbrKind {
    NoSignature,    // not an MBR (short read, blank disk, or no 55AA)
    GptProtective,  // an 0xEE entry: the real table is GPT
    Mbr,
};

struct MbrTable {
    MbrKind kind = MbrKind::NoSignature;
    std::array<MbrEntry, 4> entries{};
    // Index of the active entry, or -1. Boot code refuses a table whose boot flags
    // are not one 0x80 among 0x00s, so such a table has no active entry.
    int activeIndex = -1;
    bool bootFlagsValid = true;
};

// Parses the first sector of a disk. `size` below 512 gives NoSignature.
MbrTable ParseMbr(const uint8_t* sector, size_t size);

// The used entry that starts at `firstLba`, or -1 (a logical partition, or none).
int FindEntryByStart(const MbrTable& table, uint64_t firstLba);

}  // namespace omnifs
