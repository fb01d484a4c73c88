// The Windows disk backend. Disk queries are read-only: the disk is opened without
// access rights, which the identity and geometry queries do not need.
//
// Boot record writes open \\.\PhysicalDriveN only after the system confirms the named
// volume: a drive letter's volume must lie in one extent on that disk, and the disk's
// layout as the system reports it must hold a partition with the same number (D:P),
// start and length as the table we read. Under Wine drive letters are folders and
// \\.\PhysicalDrive0 is the host's own disk, so no write is ever attempted there.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <vector>

#include "engines/bootice/bootice_cli.h"
#include "common/console_out.h"
#include "common/win_handle.h"

namespace bootice {

namespace {

using Handle = engine::WinHandle;

std::string ErrorText(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

// A NUL-terminated text at `offset` of the descriptor, or empty when it lies outside.
std::string DescriptorText(const std::vector<char>& buffer, DWORD got, DWORD offset) {
    if (offset == 0 || offset >= got) return std::string();
    std::string text;
    for (DWORD i = offset; i < got && buffer[i] != '\0'; ++i) text += buffer[i];
    return text;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

const char kWineRefusal[] =
    "boot records are not written under Wine, where disks are not what they name";

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// A physical disk opened for reading and writing, read and written through a
// page-aligned buffer in whole sectors.
class PhysicalDisk : public BlockDevice {
  public:
    PhysicalDisk(HANDLE h, uint32_t sectorSize, uint64_t sectors)
        : h_(h), sectorSize_(sectorSize), sectors_(sectors) {}
    uint32_t SectorSize() const override { return sectorSize_; }
    uint64_t SectorCount() const override { return sectors_; }
    bool Read(uint64_t lba, uint32_t count, uint8_t* out, std::string& error) override {
        return Transfer(lba, count, false, out, error);
    }
    bool Write(uint64_t lba, uint32_t count, const uint8_t* data, std::string& error) override {
        return Transfer(lba, count, true, const_cast<uint8_t*>(data), error);
    }

  private:
    // `data` is read into (write false) or written from (write true), through a
    // page-aligned buffer as the disk driver wants.
    bool Transfer(uint64_t lba, uint32_t count, bool write, uint8_t* data, std::string& error) {
        if (lba + count > sectors_) {
            error = "outside the disk";
            return false;
        }
        DWORD bytes = count * sectorSize_;
        uint8_t* buffer = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!buffer) {
            error = ErrorText("out of memory");
            return false;
        }
        LARGE_INTEGER at;
        at.QuadPart = LONGLONG(lba * sectorSize_);
        DWORD done = 0;
        bool ok = SetFilePointerEx(h_.get(), at, nullptr, FILE_BEGIN) != 0;
        if (ok && write) {
            std::copy(data, data + bytes, buffer);
            ok = WriteFile(h_.get(), buffer, bytes, &done, nullptr) && done == bytes;
            if (ok) FlushFileBuffers(h_.get());
        } else if (ok) {
            ok = ReadFile(h_.get(), buffer, bytes, &done, nullptr) && done == bytes;
            if (ok) std::copy(buffer, buffer + bytes, data);
        }
        if (!ok)
            error = ErrorText(write ? "the disk refused the write" : "the disk refused the read");
        VirtualFree(buffer, 0, MEM_RELEASE);
        return ok;
    }
    Handle h_;
    uint32_t sectorSize_;
    uint64_t sectors_;
};

class WindowsDiskBackend : public DiskBackend {
  public:
    bool QueryDisk(int drive, DiskIdentity& disk, std::string& error) override {
        std::string path = "\\\\.\\PhysicalDrive" + std::to_string(drive);
        Handle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
        if (!h.valid()) {
            error = ErrorText("cannot open the disk");
            return false;
        }
        DWORD got = 0;
        STORAGE_PROPERTY_QUERY query = {};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        std::vector<char> buffer(4096);
        std::string vendor, product;
        if (DeviceIoControl(h.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                            buffer.data(), DWORD(buffer.size()), &got, nullptr) &&
            got >= sizeof(STORAGE_DEVICE_DESCRIPTOR)) {
            auto* d = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
            vendor = Trimmed(DescriptorText(buffer, got, d->VendorIdOffset));
            product = Trimmed(DescriptorText(buffer, got, d->ProductIdOffset));
        }
        // "ATA" is the bus, not a maker.
        if (vendor == "ATA" || (!vendor.empty() && product.compare(0, vendor.size(), vendor) == 0))
            vendor.clear();
        disk.model = vendor.empty() ? product : vendor + " " + product;

        DISK_GEOMETRY_EX geometryEx = {};
        DISK_GEOMETRY geometry = {};
        if (DeviceIoControl(h.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, &geometryEx,
                            sizeof geometryEx, &got, nullptr)) {
            disk.sizeBytes = uint64_t(geometryEx.DiskSize.QuadPart);
        } else if (DeviceIoControl(h.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                                   sizeof geometry, &got, nullptr)) {
            disk.sizeBytes = uint64_t(geometry.Cylinders.QuadPart) * geometry.TracksPerCylinder *
                             geometry.SectorsPerTrack * geometry.BytesPerSector;
        } else if (product.empty()) {
            error = ErrorText("the disk answers no query");
            return false;
        }
        return true;
    }

    bool WriteTextFile(const std::string& path, const std::string& utf8,
                       std::string& error) override {
        // The program reads the report in the ANSI code page.
        std::string bytes = engine::AnsiFromUtf8(utf8);
        Handle h(CreateFileW(engine::WideFromUtf8(path).c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!h.valid() ||
            !WriteFile(h.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            error = ErrorText("cannot write the file");
            return false;
        }
        return true;
    }

    bool LocateDevice(const std::string& device, Location& where, std::string& error) override {
        if (RunningUnderWine()) {
            error = kWineRefusal;
            return false;
        }
        if (device.size() >= 2 && device[0] >= '0' && device[0] <= '9') {
            return ParseDiskPartitionText(device, where.disk, where.partitionNumber, error);
        }
        std::string path = "\\\\.\\" + device.substr(0, 2);
        Handle volume(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
        std::vector<char> buffer(sizeof(VOLUME_DISK_EXTENTS) + 8 * sizeof(DISK_EXTENT));
        DWORD got = 0;
        if (!volume.valid() ||
            !DeviceIoControl(volume.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                             buffer.data(), DWORD(buffer.size()), &got, nullptr)) {
            error = ErrorText(
                ("the system cannot tell which disk holds " + device.substr(0, 2)).c_str());
            return false;
        }
        auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
        if (extents->NumberOfDiskExtents != 1) {
            error = device.substr(0, 2) + " spans several disks";
            return false;
        }
        where.disk = int(extents->Extents[0].DiskNumber);
        where.offsetKnown = true;
        where.offsetBytes = uint64_t(extents->Extents[0].StartingOffset.QuadPart);
        return true;
    }

    std::unique_ptr<BlockDevice> OpenDisk(int disk, bool forWrite, std::string& error) override {
        if (RunningUnderWine()) {
            error = kWineRefusal;
            return nullptr;
        }
        std::string path = "\\\\.\\PhysicalDrive" + std::to_string(disk);
        DWORD access = GENERIC_READ | (forWrite ? GENERIC_WRITE : 0);
        HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = ErrorText(("cannot open disk " + std::to_string(disk + 1)).c_str());
            return nullptr;
        }
        DISK_GEOMETRY_EX geometry = {};
        DWORD got = 0;
        if (!DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, &geometry,
                             sizeof geometry, &got, nullptr) ||
            geometry.Geometry.BytesPerSector < 512) {
            error = ErrorText("the disk does not report its geometry");
            CloseHandle(h);
            return nullptr;
        }
        uint32_t sector = geometry.Geometry.BytesPerSector;
        return std::make_unique<PhysicalDisk>(h, sector,
                                              uint64_t(geometry.DiskSize.QuadPart) / sector);
    }

    bool ConfirmPartition(const Location& where, const Partition& partition, uint32_t sectorSize,
                          std::string& error) override {
        std::string path = "\\\\.\\PhysicalDrive" + std::to_string(where.disk);
        Handle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
        std::vector<char> buffer(sizeof(DRIVE_LAYOUT_INFORMATION_EX) +
                                 256 * sizeof(PARTITION_INFORMATION_EX));
        DWORD got = 0;
        if (!h.valid() || !DeviceIoControl(h.get(), IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0,
                                           buffer.data(), DWORD(buffer.size()), &got, nullptr)) {
            error = ErrorText("the system does not report the disk's partitions");
            return false;
        }
        auto* layout = reinterpret_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(buffer.data());
        const uint64_t start = partition.firstLba * sectorSize;
        const uint64_t length = partition.sectorCount * sectorSize;
        for (DWORD i = 0; i < layout->PartitionCount; ++i) {
            const PARTITION_INFORMATION_EX& p = layout->PartitionEntry[i];
            if (uint64_t(p.StartingOffset.QuadPart) != start ||
                uint64_t(p.PartitionLength.QuadPart) != length)
                continue;
            if (where.partitionNumber > 0 && int(p.PartitionNumber) != where.partitionNumber)
                continue;
            if (where.offsetKnown && where.offsetBytes != start) continue;
            LockVolumeAt(where.disk, start);
            return true;
        }
        error = "the system's view of disk " + std::to_string(where.disk + 1) +
                " does not confirm the partition; nothing is written";
        return false;
    }

    void ShowNotice(const std::string& utf8) override {
        // Started from the program's menu Bootice gets a console of its own that closes
        // at once; only then is a message box the way to be read.
        DWORD processes[2];
        if (GetConsoleProcessList(processes, 2) > 1) return;
        MessageBoxW(nullptr, engine::WideFromUtf8(utf8).c_str(), L"Bootice",
                    MB_OK | MB_ICONINFORMATION);
    }

  private:
    // A mounted volume's own boot sectors are written only while the volume is locked;
    // the lock is held until Bootice ends. When it cannot be locked the write is tried
    // anyway and the system's refusal is reported.
    void LockVolumeAt(int disk, uint64_t start) {
        for (char letter = 'C'; letter <= 'Z'; ++letter) {
            std::string path = std::string("\\\\.\\") + letter + ":";
            HANDLE h =
                CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) continue;
            VOLUME_DISK_EXTENTS extents = {};
            DWORD got = 0;
            if (DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents,
                                sizeof extents, &got, nullptr) &&
                extents.NumberOfDiskExtents == 1 && int(extents.Extents[0].DiskNumber) == disk &&
                uint64_t(extents.Extents[0].StartingOffset.QuadPart) == start) {
                DeviceIoControl(h, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &got, nullptr);
                locked_.push_back(h);
                return;
            }
            CloseHandle(h);
        }
    }
    std::vector<HANDLE> locked_;

  public:
    ~WindowsDiskBackend() override {
        for (HANDLE h : locked_) CloseHandle(h);
    }
};

}  // namespace

std::unique_ptr<DiskBackend> MakeDiskBackend() {
    return std::make_unique<WindowsDiskBackend>();
}

}  // namespace bootice
