#include "engines/omnifs/volume_report.h"

namespace omnifs {

VolumeFacts FactsFromSector(char letter, int diskNumber, int partitionNumber, const MbrTable& table,
                            uint64_t firstLba) {
    VolumeFacts f;
    f.letter = letter;
    f.diskNumber = diskNumber;
    f.partitionNumber = partitionNumber;
    switch (table.kind) {
        case MbrKind::NoSignature:
            f.note = "sector 0 holds no MBR signature";
            return f;
        case MbrKind::GptProtective:
            f.style = PartitionStyle::Gpt;
            return f;
        case MbrKind::Mbr:
            break;
    }
    f.style = PartitionStyle::Mbr;
    int entry = FindEntryByStart(table, firstLba);
    // A partition that no primary entry starts at is a logical one: never active.
    f.active = entry >= 0 && entry == table.activeIndex;
    if (f.partitionNumber < 0 && entry >= 0) f.partitionNumber = entry + 1;
    if (!table.bootFlagsValid) f.note = "boot flags invalid";
    return f;
}

static std::string NumberOrQuestion(int n) {
    return n < 0 ? "?" : std::to_string(n);
}

std::string FormatVolumeLine(const VolumeFacts& facts) {
    const char* state = "Unknown ";
    if (facts.style != PartitionStyle::Unknown) state = facts.active ? "Active  " : "Inactive";
    std::string line = "[";
    line += facts.letter;
    line += ":\\] ";
    line += state;
    line += " disk " + NumberOrQuestion(facts.diskNumber);
    line += " partition " + NumberOrQuestion(facts.partitionNumber);
    if (facts.style == PartitionStyle::Mbr) line += " MBR";
    if (facts.style == PartitionStyle::Gpt) line += " GPT";
    if (!facts.note.empty()) line += " (" + facts.note + ")";
    return line + "\r\n";
}

std::string FormatReport(const std::vector<VolumeFacts>& volumes) {
    std::string text =
        "Omnifs32 volume report: " + std::to_string(volumes.size()) + " drive letter(s)\r\n";
    for (const VolumeFacts& v : volumes) text += FormatVolumeLine(v);
    return text;
}

}  // namespace omnifs
