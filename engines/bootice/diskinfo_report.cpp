#include "engines/bootice/diskinfo_report.h"

#include <cstdio>

namespace bootice {

std::string CleanModel(const std::string& raw) {
    std::string out;
    for (unsigned char c : raw) {
        bool printable = c > 0x20 && c < 0x7F;
        if (printable) {
            out += char(c);
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string SizeText(uint64_t bytes) {
    char text[64];
    const double gib = 1024.0 * 1024.0 * 1024.0;
    if (double(bytes) >= gib)
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / gib);
    else
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string FormatDiskInfoReport(int drive, const DiskIdentity& disk) {
    return "SET USBDRIVENUM=" + std::to_string(drive) + "\r\n" +
           "SET USBDRIVEDESC=" + CleanModel(disk.model) + " (" + SizeText(disk.sizeBytes) +
           ")\r\n" + "SET USBDRIVESIZE=" + std::to_string(disk.sizeBytes) + "\r\n";
}

std::string FormatDiskInfoFailure(int drive, const std::string& why) {
    return "SET USBDRIVENUM=" + std::to_string(drive) + "\r\n" + "REM disk " +
           std::to_string(drive) + " could not be read: " + CleanModel(why) + "\r\n";
}

}  // namespace bootice
