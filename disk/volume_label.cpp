#include "disk/volume_label.h"

std::string QueryVolumeLabel(Sys& sys, std::string& drive) {
    if (drive.size() != 3) drive += "\\";
    std::string label, fileSystem;
    if (!sys.GetVolumeInformation(drive, &label, &fileSystem)) return std::string();
    return label.substr(0, label.find('\0'));
}
