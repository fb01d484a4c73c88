// The native disk backend: disks are the disk<N>.img images (N from 0) of the folder
// SB_FAKE_DISKS names; disk<N>.model, when present, holds the model on its first line;
// volumes.txt, when present, gives drive letters as lines "C: 1:2" (letter, D:P).
#include <cstdlib>
#include <fstream>

#include "engines/bootice/bootice_cli.h"
#include "engines/bootice/image_device.h"

namespace bootice {

namespace {

class FolderDiskBackend : public DiskBackend {
  public:
    explicit FolderDiskBackend(std::string folder) : folder_(std::move(folder)) {}

    bool QueryDisk(int drive, DiskIdentity& disk, std::string& error) override {
        if (folder_.empty()) {
            error = "SB_FAKE_DISKS is not set";
            return false;
        }
        std::string base = folder_ + "/disk" + std::to_string(drive);
        std::ifstream image(base + ".img", std::ios::binary | std::ios::ate);
        if (!image) {
            error = "no disk " + std::to_string(drive);
            return false;
        }
        disk.sizeBytes = uint64_t(image.tellg());
        std::ifstream model(base + ".model");
        disk.model = "FAKE DISK " + std::to_string(drive);
        std::string line;
        if (model && std::getline(model, line)) disk.model = line;
        return true;
    }

    bool WriteTextFile(const std::string& path, const std::string& utf8,
                       std::string& error) override {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(utf8.data(), std::streamsize(utf8.size()))) {
            error = "cannot create the file";
            return false;
        }
        return true;
    }

    void ShowNotice(const std::string&) override {}

    bool LocateDevice(const std::string& device, Location& where, std::string& error) override {
        std::string dp = device;
        if (dp.size() >= 2 && dp[1] == ':' && !(dp[0] >= '0' && dp[0] <= '9')) {
            dp.clear();
            std::ifstream volumes(folder_ + "/volumes.txt");
            std::string letter, number;
            while (volumes >> letter >> number)
                if (!letter.empty() && (letter[0] | 0x20) == (device[0] | 0x20)) dp = number;
            if (dp.empty()) {
                error = "no volume has the drive letter " + device.substr(0, 2);
                return false;
            }
        }
        return ParseDiskPartitionText(dp, where.disk, where.partitionNumber, error);
    }

    std::unique_ptr<BlockDevice> OpenDisk(int disk, bool forWrite, std::string& error) override {
        if (folder_.empty()) {
            error = "SB_FAKE_DISKS is not set";
            return nullptr;
        }
        std::unique_ptr<ImageDevice> device =
            ImageDevice::Open(folder_ + "/disk" + std::to_string(disk) + ".img", forWrite, error);
        if (!device) error = "no disk " + std::to_string(disk + 1);
        return device;
    }

    // The image file is the disk the command line names; there is nothing to cross-check.
    bool ConfirmPartition(const Location&, const Partition&, uint32_t, std::string&) override {
        return true;
    }

  private:
    std::string folder_;
};

}  // namespace

std::unique_ptr<DiskBackend> MakeDiskBackend() {
    const char* folder = std::getenv("SB_FAKE_DISKS");
    return std::make_unique<FolderDiskBackend>(folder ? folder : "");
}

}  // namespace bootice
