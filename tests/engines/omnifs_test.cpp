// omnifs32: MBR parsing, the active-entry judgement, the report and its command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/cmdline.h"
#include "engines/omnifs/mbr.h"
#include "engines/omnifs/omnifs_cli.h"
#include "engines/omnifs/volume_report.h"
#include "tests/engines/synthetic_disk.h"

namespace {

using namespace omnifs;
using testdisk::Sector0;

MbrTable Parse(const std::vector<uint8_t>& s) {
    return ParseMbr(s.data(), s.size());
}

// The partition inventory's test: letter + ":\] Active" anywhere, ignoring case.
bool InventorySeesActive(const std::string& report, char letter) {
    std::string needle = engine::LowerAscii(std::string(1, letter) + ":\\] Active");
    return engine::LowerAscii(report).find(needle) != std::string::npos;
}

TEST(ParseMbr, FindsTheActiveEntryAndDecodesLittleEndianFields) {
    MbrTable t = Parse(Sector0({{0x00, 0x07, 2048, 204800},
                                {0x80, 0x07, 0x12345678, 0x01020304},
                                {0x00, 0x0B, 300000, 1000}}));
    EXPECT_EQ(t.kind, MbrKind::Mbr);
    EXPECT_EQ(t.activeIndex, 1);
    EXPECT_TRUE(t.bootFlagsValid);
    EXPECT_EQ(t.entries[1].firstLba, 0x12345678u);
    EXPECT_EQ(t.entries[1].sectorCount, 0x01020304u);
    EXPECT_EQ(t.entries[2].type, 0x0B);
    EXPECT_FALSE(t.entries[3].Used());
}

TEST(ParseMbr, TablesWithoutAnActiveEntry) {
    struct Case {
        const char* what;
        std::vector<uint8_t> sector;
        MbrKind kind;
        bool flagsValid;
    };
    const std::vector<Case> cases = {
        {"none flagged", Sector0({{0, 0x07, 2048, 100}, {0, 0x07, 4096, 100}}), MbrKind::Mbr, true},
        {"two flagged", Sector0({{0x80, 0x07, 2048, 100}, {0x80, 0x07, 4096, 100}}), MbrKind::Mbr,
         false},
        {"flag 0x81", Sector0({{0x81, 0x07, 2048, 100}}), MbrKind::Mbr, false},
        {"flag on an unused entry", Sector0({{0, 0x07, 2048, 100}, {0x80, 0x00, 0, 0}}),
         MbrKind::Mbr, true},
        {"GPT protective", Sector0({{0x80, 0xEE, 1, 0xFFFFFFFF}}), MbrKind::GptProtective, true},
        {"GPT protective in a later entry", Sector0({{0x80, 0x07, 2048, 100}, {0, 0xEE, 1, 50}}),
         MbrKind::GptProtective, true},
        {"bad signature", Sector0({{0x80, 0x07, 2048, 100}}, false), MbrKind::NoSignature, true},
    };
    for (const Case& c : cases) {
        MbrTable t = Parse(c.sector);
        EXPECT_EQ(t.kind, c.kind) << c.what;
        EXPECT_EQ(t.activeIndex, -1) << c.what;
        EXPECT_EQ(t.bootFlagsValid, c.flagsValid) << c.what;
    }
}

TEST(ParseMbr, ShortOrMissingBuffersAreNotTables) {
    std::vector<uint8_t> s = Sector0({{0x80, 0x07, 2048, 100}});
    EXPECT_EQ(ParseMbr(s.data(), 511).kind, MbrKind::NoSignature);
    EXPECT_EQ(ParseMbr(nullptr, 512).kind, MbrKind::NoSignature);
    s.resize(4096, 0xCC);  // a 4096-byte sector: the table is still in its first 512 bytes
    EXPECT_EQ(ParseMbr(s.data(), s.size()).activeIndex, 0);
}

TEST(FactsFromSector, JudgesEachVolumeByWhereItStarts) {
    MbrTable mbr = Parse(
        Sector0({{0x00, 0x07, 2048, 100}, {0x80, 0x07, 206848, 100}, {0x00, 0x0F, 500000, 9000}}));
    MbrTable gpt = Parse(Sector0({{0x00, 0xEE, 1, 0xFFFFFFFF}}));
    MbrTable blank = Parse(std::vector<uint8_t>(512, 0));
    MbrTable twoActive = Parse(Sector0({{0x80, 0x07, 2048, 100}, {0x80, 0x07, 4096, 100}}));

    VolumeFacts active = FactsFromSector('C', 0, -1, mbr, 206848);
    EXPECT_EQ(active.style, PartitionStyle::Mbr);
    EXPECT_TRUE(active.active);
    EXPECT_EQ(active.partitionNumber, 2);  // taken from the entry when not known

    VolumeFacts other = FactsFromSector('D', 0, 1, mbr, 2048);
    EXPECT_FALSE(other.active);
    EXPECT_EQ(other.partitionNumber, 1);

    VolumeFacts logical = FactsFromSector('E', 0, 5, mbr, 500063);
    EXPECT_EQ(logical.style, PartitionStyle::Mbr);
    EXPECT_FALSE(logical.active);
    EXPECT_EQ(logical.partitionNumber, 5);

    VolumeFacts onGpt = FactsFromSector('F', 1, 2, gpt, 2048);
    EXPECT_EQ(onGpt.style, PartitionStyle::Gpt);
    EXPECT_FALSE(onGpt.active);

    VolumeFacts unknown = FactsFromSector('G', 2, -1, blank, 2048);
    EXPECT_EQ(unknown.style, PartitionStyle::Unknown);
    EXPECT_EQ(unknown.note, "sector 0 holds no MBR signature");

    VolumeFacts invalid = FactsFromSector('H', 3, -1, twoActive, 2048);
    EXPECT_FALSE(invalid.active);
    EXPECT_EQ(invalid.note, "boot flags invalid");
}

VolumeFacts Facts(char letter, int disk, int part, PartitionStyle style, bool active,
                  std::string note = "") {
    VolumeFacts f;
    f.letter = letter;
    f.diskNumber = disk;
    f.partitionNumber = part;
    f.style = style;
    f.active = active;
    f.note = note;
    return f;
}

TEST(VolumeReport, LinesByteForByte) {
    struct Case {
        VolumeFacts facts;
        std::string line;
    };
    const std::vector<Case> cases = {
        {Facts('C', 0, 1, PartitionStyle::Mbr, true), "[C:\\] Active   disk 0 partition 1 MBR\r\n"},
        {Facts('D', 0, 2, PartitionStyle::Mbr, false),
         "[D:\\] Inactive disk 0 partition 2 MBR\r\n"},
        {Facts('E', 1, 2, PartitionStyle::Gpt, false),
         "[E:\\] Inactive disk 1 partition 2 GPT\r\n"},
        {Facts('F', -1, -1, PartitionStyle::Unknown, false, "cannot open the volume: error 21"),
         "[F:\\] Unknown  disk ? partition ? (cannot open the volume: error 21)\r\n"},
        {Facts('H', 3, 1, PartitionStyle::Mbr, false, "boot flags invalid"),
         "[H:\\] Inactive disk 3 partition 1 MBR (boot flags invalid)\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatVolumeLine(c.facts), c.line);
}

TEST(VolumeReport, InventoryFindsExactlyTheActiveLetters) {
    std::vector<VolumeFacts> volumes = {Facts('C', 0, 1, PartitionStyle::Mbr, false),
                                        Facts('D', 0, 2, PartitionStyle::Mbr, true),
                                        Facts('E', 1, 1, PartitionStyle::Gpt, false),
                                        Facts('F', 2, 1, PartitionStyle::Unknown, false),
                                        Facts('G', 3, 1, PartitionStyle::Mbr, true)};
    std::string report = FormatReport(volumes);
    EXPECT_EQ(report.rfind("Omnifs32 volume report: 5 drive letter(s)\r\n", 0), 0u);
    for (const VolumeFacts& v : volumes)
        EXPECT_EQ(InventorySeesActive(report, v.letter), v.active) << v.letter;
    EXPECT_TRUE(InventorySeesActive(report, 'd'));  // the inventory ignores case
    EXPECT_FALSE(InventorySeesActive(report, 'Z'));
}

class ScriptedSource : public VolumeSource {
  public:
    bool ok = true;
    std::vector<VolumeFacts> volumes;
    int calls = 0;
    bool ListVolumes(std::vector<VolumeFacts>& out, std::string& error) override {
        ++calls;
        if (!ok) {
            error = "access denied";
            return false;
        }
        out = volumes;
        return true;
    }
};

TEST(OmnifsCommandLine, InfoInAnyCase) {
    for (const char* line : {"omnifs32.exe info", "OMNIFS32.EXE INFO", "omnifs32.exe Info  ",
                             "C:\\WINDOWS\\system32\\omnifs32.exe info"}) {
        ScriptedSource source;
        source.volumes = {Facts('C', 0, 1, PartitionStyle::Mbr, true)};
        RunResult r = RunOmnifs(line, source);
        EXPECT_EQ(r.exitCode, kExitOk) << line;
        EXPECT_EQ(r.output,
                  "Omnifs32 volume report: 1 drive letter(s)\r\n"
                  "[C:\\] Active   disk 0 partition 1 MBR\r\n")
            << line;
    }
}

TEST(OmnifsCommandLine, RefusesEverythingElseWithoutListing) {
    struct Case {
        const char* line;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"omnifs32.exe", "no command given"}, {"omnifs32.exe list", "\"list\""},
        {"omnifs32.exe /info", "\"/info\""},  {"omnifs32.exe info C:", "\"C:\""},
        {"omnifs32.exe infos", "\"infos\""},
    };
    for (const Case& c : cases) {
        ScriptedSource source;
        RunResult r = RunOmnifs(c.line, source);
        EXPECT_EQ(r.exitCode, kExitBadCommandLine) << c.line;
        EXPECT_NE(r.output.find(c.named), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("usage: omnifs32 info"), std::string::npos);
        EXPECT_EQ(source.calls, 0);
    }
}

TEST(OmnifsCommandLine, UnreadableVolumesFailLoudly) {
    ScriptedSource source;
    source.ok = false;
    RunResult r = RunOmnifs("omnifs32.exe info", source);
    EXPECT_EQ(r.exitCode, kExitNoVolumes);
    EXPECT_EQ(r.output, "omnifs32: cannot list the volumes: access denied\r\n");
}

}  // namespace
