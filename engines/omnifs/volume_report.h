// The "info" report: one line per drive letter saying whether its partition is the
// active entry of its disk's MBR.
//
// Format (lines end "\r\n"):
//   Omnifs32 volume report: <n> drive letter(s)
//   [C:\] Active   disk 0 partition 1 MBR
//   [D:\] Inactive disk 0 partition 2 MBR
//   [E:\] Inactive disk 1 partition 2 GPT
//   [F:\] Unknown  disk ? partition ? (<why>)
// The program looks for letter + ":\] Active" (any case); only the line of an active
// MBR partition holds it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engines/omnifs/mbr.h"

namespace omnifs {

enum class PartitionStyle { Unknown, Mbr, Gpt };

struct VolumeFacts {
    char letter = 'C';
    int diskNumber = -1;  // storage device number, counted from 0; -1 not known
    int partitionNumber = -1;
    PartitionStyle style = PartitionStyle::Unknown;
    bool active = false;
    std::string note;  // why the style is unknown, or what is odd about the table
};

// Judges a volume that starts at sector `firstLba` of a disk whose sector 0 is `table`.
VolumeFacts FactsFromSector(char letter, int diskNumber, int partitionNumber, const MbrTable& table,
                            uint64_t firstLba);

std::string FormatVolumeLine(const VolumeFacts& facts);
std::string FormatReport(const std::vector<VolumeFacts>& volumes);

}  // namespace omnifs
