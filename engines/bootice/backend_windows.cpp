// The Windows disk backend. Disk queries are read-only: the disk is opened without
// access rights, which the identity and geometry queries do not need.
#include <windows.h>
#include <winioctl.h>

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

    void ShowNotice(const std::string& utf8) override {
        // Started from the program's menu Bootice gets a console of its own that closes
        // at once; only then is a message box the way to be read.
        DWORD processes[2];
        if (GetConsoleProcessList(processes, 2) > 1) return;
        MessageBoxW(nullptr, engine::WideFromUtf8(utf8).c_str(), L"Bootice",
                    MB_OK | MB_ICONINFORMATION);
    }
};

}  // namespace

std::unique_ptr<DiskBackend> MakeDiskBackend() {
    return std::make_unique<WindowsDiskBackend>();
}

}  // namespace bootice
