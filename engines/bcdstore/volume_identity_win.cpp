#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "common/win_handle.h"
#include "engines/bcdstore/volume_identity.h"

namespace bcd {

namespace {

// The disk number and starting offset of a lettered volume in one extent.
bool VolumeExtent(const std::string& drive, DWORD& disk, uint64_t& offset) {
    std::string path = "\\\\.\\" + drive;
    engine::WinHandle volume(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> buffer(sizeof(VOLUME_DISK_EXTENTS) + 8 * sizeof(DISK_EXTENT));
    DWORD got = 0;
    if (!volume.valid() ||
        !DeviceIoControl(volume.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                         buffer.data(), DWORD(buffer.size()), &got, nullptr))
        return false;
    auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
    if (extents->NumberOfDiskExtents != 1) return false;
    disk = extents->Extents[0].DiskNumber;
    offset = uint64_t(extents->Extents[0].StartingOffset.QuadPart);
    return true;
}

bool DiskLayout(DWORD disk, std::vector<char>& buffer) {
    std::string path = "\\\\.\\PhysicalDrive" + std::to_string(disk);
    engine::WinHandle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    buffer.assign(sizeof(DRIVE_LAYOUT_INFORMATION_EX) + 256 * sizeof(PARTITION_INFORMATION_EX), 0);
    DWORD got = 0;
    return h.valid() && DeviceIoControl(h.get(), IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0,
                                        buffer.data(), DWORD(buffer.size()), &got, nullptr);
}

}  // namespace

bool IdentifyVolume(const std::string& letter, Device& device, std::string& error) {
    const std::string drive = letter.substr(0, 1) + ":";
    error = "the partition of " + drive + " cannot be identified";
    DWORD diskNumber = 0;
    uint64_t offset = 0;
    std::vector<char> layoutBuffer;
    if (!VolumeExtent(drive, diskNumber, offset) || !DiskLayout(diskNumber, layoutBuffer))
        return false;
    auto* layout = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(layoutBuffer.data());
    for (DWORD i = 0; i < layout->PartitionCount; ++i) {
        const PARTITION_INFORMATION_EX& p = layout->PartitionEntry[i];
        if (uint64_t(p.StartingOffset.QuadPart) != offset) continue;
        if (layout->PartitionStyle == PARTITION_STYLE_MBR) {
            device.kind = Device::Kind::MbrPartition;
            device.mbrSignature = layout->Mbr.Signature;
            device.partitionOffset = offset;
        } else if (layout->PartitionStyle == PARTITION_STYLE_GPT) {
            device.kind = Device::Kind::GptPartition;
            std::memcpy(device.diskGuid.data(), &layout->Gpt.DiskId, 16);
            std::memcpy(device.partitionGuid.data(), &p.Gpt.PartitionId, 16);
        } else {
            return false;
        }
        error.clear();
        return true;
    }
    return false;
}

bool ActivePartitionLetter(const std::string& letter, std::string& active, std::string& error) {
    error = "the disk of " + letter.substr(0, 1) + ": has no active partition with a drive letter";
    DWORD disk = 0;
    uint64_t offset = 0;
    std::vector<char> buffer;
    if (!VolumeExtent(letter.substr(0, 1) + ":", disk, offset) || !DiskLayout(disk, buffer))
        return false;
    auto* layout = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(buffer.data());
    if (layout->PartitionStyle != PARTITION_STYLE_MBR) return false;
    for (DWORD i = 0; i < layout->PartitionCount; ++i) {
        const PARTITION_INFORMATION_EX& p = layout->PartitionEntry[i];
        if (!p.Mbr.BootIndicator) continue;
        for (char c = 'C'; c <= 'Z'; ++c) {
            DWORD otherDisk = 0;
            uint64_t otherOffset = 0;
            if (VolumeExtent(std::string(1, c) + ":", otherDisk, otherOffset) &&
                otherDisk == disk && otherOffset == uint64_t(p.StartingOffset.QuadPart)) {
                active = std::string(1, c);
                error.clear();
                return true;
            }
        }
    }
    return false;
}

}  // namespace bcd
