#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engines/bcdstore/volume_identity.h"

namespace bcd {

bool IdentifyVolume(const std::string& letter, Device& device, std::string& error) {
    const char* list = std::getenv("SB_FAKE_VOLUMES");
    std::ifstream in(list ? list : "");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name, style;
        words >> name >> style;
        if (name.empty() || letter.empty() || (name[0] | 0x20) != (letter[0] | 0x20)) continue;
        if (style == "mbr") {
            std::string signature;
            unsigned long long offset = 0;
            words >> signature >> offset;
            device.kind = Device::Kind::MbrPartition;
            device.mbrSignature = uint32_t(std::strtoul(signature.c_str(), nullptr, 16));
            device.partitionOffset = offset;
            return true;
        }
        std::string disk, partition;
        if (style == "gpt" && (words >> disk >> partition) && ParseGuid(disk, device.diskGuid) &&
            ParseGuid(partition, device.partitionGuid)) {
            device.kind = Device::Kind::GptPartition;
            return true;
        }
        break;
    }
    error = "the partition of " + letter.substr(0, 1) + ": cannot be identified";
    return false;
}

bool ActivePartitionLetter(const std::string& letter, std::string& active, std::string& error) {
    Device windows;
    if (!IdentifyVolume(letter, windows, error)) return false;
    const char* list = std::getenv("SB_FAKE_VOLUMES");
    std::ifstream in(list ? list : "");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name, style, signature, offset, flag;
        words >> name >> style >> signature >> offset >> flag;
        if (style == "mbr" && windows.kind == Device::Kind::MbrPartition && flag == "active" &&
            uint32_t(std::strtoul(signature.c_str(), nullptr, 16)) == windows.mbrSignature) {
            active = name.substr(0, 1);
            return true;
        }
    }
    error = "the disk of " + letter.substr(0, 1) + ": has no active partition with a drive letter";
    return false;
}

}  // namespace bcd
