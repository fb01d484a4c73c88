#include "engines/bootice/boot_records.h"

#include <cstring>

#include "common/le.h"

namespace bootice {

extern const uint8_t kMbrNt52[];
extern const uint8_t kMbrNt60[];
extern const uint8_t kFat32Bootmgr[];
extern const uint8_t kFat32Ntldr[];
extern const uint8_t kNtfsBootmgr[];
extern const uint8_t kNtfsNtldr[];
extern const size_t kFat32BootmgrSize;
extern const size_t kNtfsBootmgrSize;

using common::LoadLe16;
using common::LoadLe32;
using common::LoadLe64;

namespace {

// Bytes of the volume's own parameter block that the boot code leaves alone.
constexpr size_t kFat32BpbEnd = 0x5A;
constexpr size_t kNtfsBpbEnd = 0x54;
constexpr size_t kNtfsBootBytes = 8192;  // the $Boot area the NTFS code fills

bool PowerOfTwo(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

bool ReadDisk(BlockDevice& disk, DiskLayout& layout, std::string& message) {
    std::string why;
    if (!ReadDiskLayout(disk, layout, why)) {
        message = "the partition table cannot be read: " + why;
        return false;
    }
    if (layout.style == PartitionStyle::Gpt) {
        message = "the disk is a GPT disk; boot records of MBR disks do not apply";
        return false;
    }
    if (layout.style == PartitionStyle::None) {
        message = "the disk has no MBR partition table";
        return false;
    }
    return true;
}

WriteResult CannotRead(const std::string& what, const std::string& why, std::string& message) {
    message = what + " cannot be read: " + why;
    return WriteResult::Refused;
}

}  // namespace

VolumeKind DetectVolume(const uint8_t* s) {
    if (s[510] != 0x55 || s[511] != 0xAA) return VolumeKind::Unknown;
    uint32_t bps = LoadLe16(s + 0x0B);
    uint8_t spc = s[0x0D];
    if (bps < 512 || bps > 4096 || !PowerOfTwo(bps) || !PowerOfTwo(spc)) return VolumeKind::Unknown;
    if (std::memcmp(s + 3, "NTFS    ", 8) == 0) return VolumeKind::Ntfs;
    // FAT32: no fixed root directory, a 32-bit FAT size, the extended signature.
    if (LoadLe16(s + 0x11) == 0 && LoadLe16(s + 0x16) == 0 && LoadLe32(s + 0x24) != 0 &&
        LoadLe16(s + 0x0E) != 0 && s[0x10] != 0)
        return VolumeKind::Fat32;
    return VolumeKind::Unknown;
}

const uint8_t* MbrCode(MbrKind kind) {
    return kind == MbrKind::Nt52 ? kMbrNt52 : kMbrNt60;
}

const uint8_t* VolumeCode(VolumeKind volume, LoaderKind loader, size_t& size) {
    bool ntldr = loader == LoaderKind::Ntldr;
    if (volume == VolumeKind::Fat32) {
        size = kFat32BootmgrSize;
        return ntldr ? kFat32Ntldr : kFat32Bootmgr;
    }
    if (volume == VolumeKind::Ntfs) {
        size = kNtfsBootmgrSize;
        return ntldr ? kNtfsNtldr : kNtfsBootmgr;
    }
    size = 0;
    return nullptr;
}

WriteResult InstallMbr(BlockDevice& disk, MbrKind kind, std::string& message) {
    DiskLayout layout;
    if (!ReadDisk(disk, layout, message)) return WriteResult::Refused;
    std::string why;
    std::vector<uint8_t> old = ReadSectors(disk, 0, 1, why);
    if (old.empty()) return CannotRead("sector 0", why, message);
    // Our code in front; signature, the two bytes after it, the table and 55 AA stay.
    std::vector<uint8_t> sector = old;
    std::memcpy(sector.data(), MbrCode(kind), kMbrCodeBytes);
    if (!WriteVerified(disk, 0, sector, old, why)) {
        message = why;
        return WriteResult::Failed;
    }
    message = std::string("wrote the ") + (kind == MbrKind::Nt52 ? "NT 5.x" : "NT 6.x") +
              " master boot record";
    return WriteResult::Written;
}

WriteResult InstallPbr(BlockDevice& disk, const Partition& partition, LoaderKind loader,
                       std::string& message) {
    DiskLayout layout;
    if (!ReadDisk(disk, layout, message)) return WriteResult::Refused;
    const uint32_t size = disk.SectorSize();
    std::string why;
    std::vector<uint8_t> boot = ReadSectors(disk, partition.firstLba, 1, why);
    if (boot.empty()) {
        message = "the partition's boot sector cannot be read: " + why;
        return WriteResult::Refused;
    }
    VolumeKind volume = DetectVolume(boot.data());
    if (volume == VolumeKind::Unknown) {
        message = "the partition holds neither a FAT32 nor an NTFS volume";
        return WriteResult::Refused;
    }
    if (LoadLe16(&boot[0x0B]) != size) {
        message = "the volume's sector size differs from the disk's";
        return WriteResult::Refused;
    }
    size_t codeSize = 0;
    const uint8_t* code = VolumeCode(volume, loader, codeSize);
    size_t keepEnd = volume == VolumeKind::Ntfs ? kNtfsBpbEnd : kFat32BpbEnd;
    uint32_t sectors = uint32_t((codeSize + size - 1) / size);
    if (sectors > partition.sectorCount) {
        message = "the partition is too small";
        return WriteResult::Refused;
    }
    if (volume == VolumeKind::Ntfs) {
        // The code fills the volume's first 8 KiB; the MFT and its mirror lie beyond.
        uint64_t cluster = uint64_t(size) * boot[0x0D];
        if (LoadLe64(&boot[0x30]) * cluster < kNtfsBootBytes ||
            LoadLe64(&boot[0x38]) * cluster < kNtfsBootBytes) {
            message = "the NTFS volume keeps file system data in its first 8 KiB";
            return WriteResult::Refused;
        }
    } else if (LoadLe16(&boot[0x0E]) < sectors) {
        message = "the FAT32 volume has too few reserved sectors";
        return WriteResult::Refused;
    }
    std::vector<uint8_t> old = ReadSectors(disk, partition.firstLba, sectors, why);
    if (old.empty()) {
        message = "the partition's boot sectors cannot be read: " + why;
        return WriteResult::Refused;
    }
    std::vector<uint8_t> fresh(old.size(), 0);
    std::memcpy(fresh.data(), code, codeSize);
    std::memcpy(fresh.data() + 3, old.data() + 3, keepEnd - 3);  // the parameter block
    // Past 512 bytes of a larger first sector, keep what the volume has.
    if (volume == VolumeKind::Fat32 && size > 512)
        std::memcpy(fresh.data() + 512, old.data() + 512, size - 512);
    if (!WriteVerified(disk, partition.firstLba, fresh, old, why)) {
        message = why;
        return WriteResult::Failed;
    }
    // FAT32 keeps a copy of its boot sector; refresh it when it was a true copy.
    if (volume == VolumeKind::Fat32) {
        uint16_t backup = LoadLe16(&boot[0x32]);
        if (backup != 0 && backup < LoadLe16(&boot[0x0E])) {
            std::vector<uint8_t> copy = ReadSectors(disk, partition.firstLba + backup, 1, why);
            std::vector<uint8_t> first(fresh.begin(), fresh.begin() + size);
            if (!copy.empty() && std::equal(copy.begin(), copy.end(), old.begin()) &&
                !WriteVerified(disk, partition.firstLba + backup, first, copy, why)) {
                message = "the boot sector was written but its backup copy was not: " + why;
                return WriteResult::Failed;
            }
        }
    }
    message = std::string("wrote the ") + (volume == VolumeKind::Ntfs ? "NTFS" : "FAT32") +
              " boot record that loads " + (loader == LoaderKind::Ntldr ? "NTLDR" : "BOOTMGR");
    return WriteResult::Written;
}

WriteResult ActivatePartition(BlockDevice& disk, const Partition& partition, std::string& message) {
    DiskLayout layout;
    if (!ReadDisk(disk, layout, message)) return WriteResult::Refused;
    if (partition.primarySlot < 0) {
        message = "partition " + std::to_string(partition.number) +
                  " is a logical partition, which cannot be active";
        return WriteResult::Refused;
    }
    std::string why;
    std::vector<uint8_t> old = ReadSectors(disk, 0, 1, why);
    if (old.empty()) return CannotRead("sector 0", why, message);
    std::vector<uint8_t> sector = old;
    for (int slot = 0; slot < 4; ++slot)
        sector[kMbrTableOffset + 16 * slot] = slot == partition.primarySlot ? 0x80 : 0x00;
    if (sector != old && !WriteVerified(disk, 0, sector, old, why)) {
        message = why;
        return WriteResult::Failed;
    }
    message = "partition " + std::to_string(partition.number) + " is the active partition";
    return WriteResult::Written;
}

}  // namespace bootice
