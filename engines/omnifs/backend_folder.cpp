#include "engines/omnifs/backend_folder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace omnifs {

namespace {

class FolderVolumeSource : public VolumeSource {
  public:
    explicit FolderVolumeSource(std::string folder) : folder_(std::move(folder)) {}

    bool ListVolumes(std::vector<VolumeFacts>& volumes, std::string& error) override {
        if (folder_.empty()) {
            error =
                "SB_FAKE_DISKS is not set (natively the drive letters come from a folder "
                "of disk images)";
            return false;
        }
        std::ifstream list(folder_ + "/volumes.txt");
        if (!list) {
            error = "cannot read " + folder_ + "/volumes.txt";
            return false;
        }
        std::string line;
        int lineNumber = 0;
        while (std::getline(list, line)) {
            ++lineNumber;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            std::istringstream fields(line);
            std::string letter;
            long disk = -1;
            unsigned long long firstLba = 0;
            std::string extra;
            if (!(fields >> letter >> disk >> firstLba) || (fields >> extra) ||
                letter.size() != 1 || disk < 0 || disk > 255) {
                error = "volumes.txt line " + std::to_string(lineNumber) +
                        " is not \"<letter> "
                        "<disk> <first sector>\": " +
                        line;
                return false;
            }
            char l = letter[0];
            if (l >= 'a' && l <= 'z') l = char(l - 'a' + 'A');
            if (l < 'A' || l > 'Z') {
                error = "volumes.txt line " + std::to_string(lineNumber) + ": bad drive letter";
                return false;
            }
            volumes.push_back(Judge(l, int(disk), firstLba));
        }
        std::stable_sort(
            volumes.begin(), volumes.end(),
            [](const VolumeFacts& a, const VolumeFacts& b) { return a.letter < b.letter; });
        return true;
    }

  private:
    VolumeFacts Judge(char letter, int disk, uint64_t firstLba) const {
        std::string image = "disk" + std::to_string(disk) + ".img";
        std::ifstream in(folder_ + "/" + image, std::ios::binary);
        uint8_t sector[kMbrSectorSize] = {};
        if (!in || !in.read(reinterpret_cast<char*>(sector), sizeof sector)) {
            VolumeFacts f;
            f.letter = letter;
            f.diskNumber = disk;
            f.note = "cannot read sector 0 of " + image;
            return f;
        }
        return FactsFromSector(letter, disk, -1, ParseMbr(sector, sizeof sector), firstLba);
    }

    std::string folder_;
};

}  // namespace

std::unique_ptr<VolumeSource> MakeFolderVolumeSource(const std::string& folder) {
    return std::make_unique<FolderVolumeSource>(folder);
}

std::unique_ptr<VolumeSource> MakeVolumeSource() {
    const char* folder = std::getenv("SB_FAKE_DISKS");
    return MakeFolderVolumeSource(folder ? folder : "");
}

}  // namespace omnifs
