// The report file of "/diskinfo /getdrv /drive=N /file=<path>". The program reads line
// 2 and takes the model between "SET USBDRIVEDESC=" and " (". Lines end "\r\n":
//   SET USBDRIVENUM=0
//   SET USBDRIVEDESC=ACME DISK 1000 (931.5 GB)
//   SET USBDRIVESIZE=1000204886016
// When the disk cannot be read the file is still rewritten, without a model line, so the
// program never shows the model of a disk read earlier:
//   SET USBDRIVENUM=3
//   REM disk 3 could not be read: <why>
#pragma once

#include <cstdint>
#include <string>

namespace bootice {

struct DiskIdentity {
    std::string model;  // as the device reports it
    uint64_t sizeBytes = 0;
};

// Keeps printable ASCII, turns anything else into blanks, joins runs of blanks and trims,
// so the model stays on its line.
std::string CleanModel(const std::string& raw);

// "931.5 GB" (binary units, one decimal); below 1 GiB in MB.
std::string SizeText(uint64_t bytes);

std::string FormatDiskInfoReport(int drive, const DiskIdentity& disk);
std::string FormatDiskInfoFailure(int drive, const std::string& why);

}  // namespace bootice
