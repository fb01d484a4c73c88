// The Windows volume source. Read-only: it opens volumes for queries only and, when a
// volume does not describe its own partition, reads sector 0 of its disk. It never
// writes anything.
#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "engines/omnifs/omnifs_cli.h"
#include "common/win_handle.h"

namespace omnifs {

namespace {

using Handle = engine::WinHandle;

std::string ErrorNote(const char* what) {
    return std::string(what) + ": error " + std::to_string(GetLastError());
}

// Reads sector 0 of physical disk `disk` and judges the volume starting at byte `offset`.
void JudgeFromSectorZero(VolumeFacts& f, int disk, LONGLONG offset) {
    std::string path = "\\\\.\\PhysicalDrive" + std::to_string(disk);
    Handle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr));
    if (!h.valid()) {
        f.note = ErrorNote("cannot open the disk");
        return;
    }
    DISK_GEOMETRY geometry = {};
    DWORD got = 0;
    DWORD sectorSize = 512;
    if (DeviceIoControl(h.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                        sizeof geometry, &got, nullptr) &&
        geometry.BytesPerSector >= 512 && geometry.BytesPerSector <= 4096)
        sectorSize = geometry.BytesPerSector;
    std::vector<uint8_t> sector(sectorSize);
    DWORD read = 0;
    if (!ReadFile(h.get(), sector.data(), sectorSize, &read, nullptr) || read < kMbrSectorSize) {
        f.note = ErrorNote("cannot read sector 0");
        return;
    }
    int partition = f.partitionNumber;
    f = FactsFromSector(f.letter, disk, partition, ParseMbr(sector.data(), read),
                        uint64_t(offset) / sectorSize);
}

HANDLE OpenVolume(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) return h;
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

VolumeFacts JudgeVolume(char letter) {
    VolumeFacts f;
    f.letter = letter;
    std::string path = std::string("\\\\.\\") + letter + ":";
    // Read access where the system grants it (some drivers want it for the queries),
    // otherwise none: the queries are all FILE_ANY_ACCESS.
    Handle h(OpenVolume(path));
    if (!h.valid()) {
        f.note = ErrorNote("cannot open the volume");
        return f;
    }
    STORAGE_DEVICE_NUMBER number = {};
    DWORD got = 0;
    if (DeviceIoControl(h.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                        sizeof number, &got, nullptr)) {
        f.diskNumber = int(number.DeviceNumber);
        f.partitionNumber = int(number.PartitionNumber);
    }

    PARTITION_INFORMATION_EX infoEx = {};
    if (DeviceIoControl(h.get(), IOCTL_DISK_GET_PARTITION_INFO_EX, nullptr, 0, &infoEx,
                        sizeof infoEx, &got, nullptr)) {
        if (infoEx.PartitionStyle == PARTITION_STYLE_MBR) {
            f.style = PartitionStyle::Mbr;
            f.active = infoEx.Mbr.BootIndicator != FALSE;
        } else if (infoEx.PartitionStyle == PARTITION_STYLE_GPT) {
            f.style = PartitionStyle::Gpt;
        } else {
            f.note = "not a partitioned disk";
        }
        return f;
    }
    PARTITION_INFORMATION info = {};
    if (DeviceIoControl(h.get(), IOCTL_DISK_GET_PARTITION_INFO, nullptr, 0, &info, sizeof info,
                        &got, nullptr)) {
        f.style = PartitionStyle::Mbr;
        f.active = info.BootIndicator != FALSE;
        return f;
    }
    // Last resort: where the volume lies, then the disk's own table.
    VOLUME_DISK_EXTENTS extents = {};
    if (DeviceIoControl(h.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents,
                        sizeof extents, &got, nullptr) &&
        extents.NumberOfDiskExtents == 1) {
        JudgeFromSectorZero(f, int(extents.Extents[0].DiskNumber),
                            extents.Extents[0].StartingOffset.QuadPart);
        return f;
    }
    f.note = ErrorNote("no partition information");
    return f;
}

class WindowsVolumeSource : public VolumeSource {
  public:
    bool ListVolumes(std::vector<VolumeFacts>& volumes, std::string& error) override {
        // An empty floppy or card reader must not raise a "no disk" box.
        UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        DWORD mask = GetLogicalDrives();
        if (mask == 0) {
            error = ErrorNote("GetLogicalDrives");
            SetErrorMode(oldMode);
            return false;
        }
        for (int i = 0; i < 26; ++i)
            if (mask & (1u << i)) volumes.push_back(JudgeVolume(char('A' + i)));
        SetErrorMode(oldMode);
        return true;
    }
};

}  // namespace

std::unique_ptr<VolumeSource> MakeVolumeSource() {
    return std::make_unique<WindowsVolumeSource>();
}

}  // namespace omnifs
