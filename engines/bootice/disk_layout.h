// Partition tables: MBR (with the logical partitions of an extended partition) and
// GPT, and the partition numbers the program uses in D:P texts.
//
// Numbering contract: disks count from 1 in /DEVICE=D:P (the inventory's numbering) and
// from 0 in /drive= of /diskinfo. Partition numbers count from 1 as Windows numbers
// them: on an MBR disk the used primary entries in table order (the extended entry
// itself and empty entries get no number), then the logical partitions in the order of
// the extended chain; on a GPT disk the used entries in table order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engines/bootice/block_device.h"

namespace bootice {

constexpr size_t kMbrCodeBytes = 440;  // boot code; the disk signature follows
constexpr size_t kMbrTableOffset = 0x1BE;

enum class PartitionStyle { None, Mbr, Gpt };

struct Partition {
    int number = 0;  // from 1, see above
    uint64_t firstLba = 0;
    uint64_t sectorCount = 0;
    // MBR only
    uint8_t mbrType = 0;
    bool active = false;
    int primarySlot = -1;  // 0..3 for a primary entry, -1 for a logical partition
    // GPT only
    std::array<uint8_t, 16> typeGuid{};
    std::array<uint8_t, 16> uniqueGuid{};
};

struct DiskLayout {
    PartitionStyle style = PartitionStyle::None;
    uint32_t mbrSignature = 0;           // MBR disk signature (sector 0, 0x1B8)
    std::array<uint8_t, 16> diskGuid{};  // GPT
    std::vector<Partition> partitions;

    const Partition* ByNumber(int number) const;
    const Partition* ByFirstLba(uint64_t lba) const;
};

// Reads the partition table. A disk without 55 AA in sector 0 has style None (not an
// error); a damaged GPT header or entry array is an error.
bool ReadDiskLayout(BlockDevice& device, DiskLayout& layout, std::string& error);

// "D:P" -> disk (from 0) and partition number; false when either is not a number >= 1.
bool ParseDiskPartitionText(const std::string& text, int& disk, int& partition, std::string& error);

}  // namespace bootice
