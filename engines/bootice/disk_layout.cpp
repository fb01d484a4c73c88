#include "engines/bootice/disk_layout.h"

#include <cstdio>
#include <cstdlib>

#include "common/le.h"

namespace bootice {

using common::LoadLe16;
using common::LoadLe32;
using common::LoadLe64;

std::vector<uint8_t> ReadSectors(BlockDevice& device, uint64_t lba, uint32_t count,
                                 std::string& error) {
    std::vector<uint8_t> data(size_t(count) * device.SectorSize());
    if (!device.Read(lba, count, data.data(), error)) data.clear();
    return data;
}

bool WriteVerified(BlockDevice& device, uint64_t lba, const std::vector<uint8_t>& data,
                   const std::vector<uint8_t>& previous, std::string& error) {
    const uint32_t size = device.SectorSize();
    if (data.empty() || data.size() % size != 0 || previous.size() != data.size()) {
        error = "internal error: a write must cover whole sectors";
        return false;
    }
    const uint32_t count = uint32_t(data.size() / size);
    if (lba + count > device.SectorCount()) {
        error = "the write would run past the end of the disk";
        return false;
    }
    std::string why;
    bool written = device.Write(lba, count, data.data(), why);
    std::vector<uint8_t> back;
    if (written) {
        back = ReadSectors(device, lba, count, why);
        if (back == data) return true;
        if (!back.empty()) why = "the sectors read back differ from what was written";
    }
    std::string ignored;
    device.Write(lba, count, previous.data(), ignored);
    error = "writing sector " + std::to_string(lba) + " failed: " + why;
    return false;
}

const Partition* DiskLayout::ByNumber(int number) const {
    for (const Partition& p : partitions)
        if (p.number == number) return &p;
    return nullptr;
}

const Partition* DiskLayout::ByFirstLba(uint64_t lba) const {
    for (const Partition& p : partitions)
        if (p.firstLba == lba) return &p;
    return nullptr;
}

bool ParseDiskPartitionText(const std::string& text, int& disk, int& partition,
                            std::string& error) {
    size_t colon = text.find(':');
    int d = std::atoi(text.substr(0, colon).c_str());
    int p = colon == std::string::npos ? 0 : std::atoi(text.substr(colon + 1).c_str());
    if (d < 1 || p < 1) {
        error = "\"" + text + "\" counts disks and partitions from 1";
        return false;
    }
    disk = d - 1;
    partition = p;
    return true;
}

namespace {

bool IsExtendedType(uint8_t type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

bool ReadGpt(BlockDevice& device, DiskLayout& layout, std::string& error) {
    const uint32_t size = device.SectorSize();
    std::vector<uint8_t> header = ReadSectors(device, 1, 1, error);
    if (header.empty()) return false;
    if (std::string(header.begin(), header.begin() + 8) != "EFI PART") {
        error = "the disk has a protective MBR but no GPT header";
        return false;
    }
    uint64_t entriesLba = LoadLe64(&header[72]);
    uint32_t entryCount = LoadLe32(&header[80]);
    uint32_t entrySize = LoadLe32(&header[84]);
    if (entrySize < 128 || entrySize > 4096 || entryCount > 4096) {
        error = "the GPT header is damaged";
        return false;
    }
    for (int i = 0; i < 16; ++i) layout.diskGuid[i] = header[56 + i];
    uint64_t bytes = uint64_t(entryCount) * entrySize;
    uint32_t sectors = uint32_t((bytes + size - 1) / size);
    std::vector<uint8_t> entries = ReadSectors(device, entriesLba, sectors, error);
    if (entries.empty()) return false;
    int number = 0;
    for (uint32_t i = 0; i < entryCount; ++i) {
        const uint8_t* e = &entries[size_t(i) * entrySize];
        bool used = false;
        for (int k = 0; k < 16; ++k) used |= e[k] != 0;
        if (!used) continue;
        Partition p;
        p.number = ++number;
        for (int k = 0; k < 16; ++k) {
            p.typeGuid[k] = e[k];
            p.uniqueGuid[k] = e[16 + k];
        }
        p.firstLba = LoadLe64(e + 32);
        uint64_t last = LoadLe64(e + 40);
        p.sectorCount = last >= p.firstLba ? last - p.firstLba + 1 : 0;
        layout.partitions.push_back(p);
    }
    return true;
}

}  // namespace

bool ReadDiskLayout(BlockDevice& device, DiskLayout& layout, std::string& error) {
    layout = DiskLayout();
    std::vector<uint8_t> mbr = ReadSectors(device, 0, 1, error);
    if (mbr.empty()) return false;
    if (mbr[510] != 0x55 || mbr[511] != 0xAA) return true;  // no partition table
    for (int slot = 0; slot < 4; ++slot)
        if (mbr[kMbrTableOffset + 16 * slot + 4] == 0xEE) {
            layout.style = PartitionStyle::Gpt;
            return ReadGpt(device, layout, error);
        }
    layout.style = PartitionStyle::Mbr;
    layout.mbrSignature = LoadLe32(&mbr[0x1B8]);
    int number = 0;
    uint64_t extendedStart = 0;
    for (int slot = 0; slot < 4; ++slot) {
        const uint8_t* e = &mbr[kMbrTableOffset + 16 * slot];
        uint8_t type = e[4];
        uint32_t first = LoadLe32(e + 8), count = LoadLe32(e + 12);
        if (type == 0 || count == 0) continue;
        if (IsExtendedType(type)) {
            if (extendedStart == 0) extendedStart = first;
            continue;
        }
        Partition p;
        p.number = ++number;
        p.firstLba = first;
        p.sectorCount = count;
        p.mbrType = type;
        p.active = e[0] == 0x80;
        p.primarySlot = slot;
        layout.partitions.push_back(p);
    }
    // Logical partitions: each EBR holds the partition (relative to the EBR) and the
    // link to the next EBR (relative to the extended partition). A loop ends the walk.
    uint64_t ebr = extendedStart;
    for (int hops = 0; ebr != 0 && hops < 128; ++hops) {
        std::vector<uint8_t> sector = ReadSectors(device, ebr, 1, error);
        if (sector.empty()) return false;
        if (sector[510] != 0x55 || sector[511] != 0xAA) break;
        const uint8_t* e = &sector[kMbrTableOffset];
        if (e[4] != 0 && LoadLe32(e + 12) != 0) {
            Partition p;
            p.number = ++number;
            p.firstLba = ebr + LoadLe32(e + 8);
            p.sectorCount = LoadLe32(e + 12);
            p.mbrType = e[4];
            p.active = e[0] == 0x80;
            layout.partitions.push_back(p);
        }
        const uint8_t* link = e + 16;
        ebr = IsExtendedType(link[4]) && LoadLe32(link + 8) != 0
                  ? extendedStart + LoadLe32(link + 8)
                  : 0;
    }
    return true;
}

}  // namespace bootice
