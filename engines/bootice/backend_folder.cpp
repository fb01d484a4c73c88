// The native disk backend: disks are the disk<N>.img images of the folder SB_FAKE_DISKS
// names; disk<N>.model, when present, holds the model on its first line.
#include <cstdlib>
#include <fstream>

#include "engines/bootice/bootice_cli.h"

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

  private:
    std::string folder_;
};

}  // namespace

std::unique_ptr<DiskBackend> MakeDiskBackend() {
    const char* folder = std::getenv("SB_FAKE_DISKS");
    return std::make_unique<FolderDiskBackend>(folder ? folder : "");
}

}  // namespace bootice
