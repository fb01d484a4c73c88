// Bootice: every command line the program builds, the refusals, the disk report.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engines/bootice/bootice_cli.h"
#include "engines/bootice/diskinfo_report.h"
#include "common/cmdline.h"
#include "tests/engines/memory_disk.h"

namespace {

using bootice::BooticeCommand;
using Action = BooticeCommand::Action;

struct Accepted {
    std::string line;
    Action action;
    std::string device, type;
    bool quiet;
    int drive;
    std::string file;
    bool easyMode;
};

TEST(BooticeCommandLine, AcceptsTheLinesTheProgramBuilds) {
    const std::string w = "C:\\WINDOWS\\";
    const std::vector<Accepted> cases = {
        // Boot files after a WIM apply: the device is a drive root.
        {w + "BOOTICE.EXE /DEVICE=C:\\ /mbr /install  /type=nt60  /quiet", Action::InstallMbr,
         "C:\\", "nt60", true, -1, "", false},
        {w + "BOOTICE.EXE /DEVICE=C:\\ /partitions /activate /quiet", Action::ActivatePartition,
         "C:\\", "", true, -1, "", false},
        // Boot records after a Ghost restore: the device is disk:partition.
        {w + "BOOTICE.EXE /DEVICE=1:2 /mbr /install  /type=nt52  /quiet", Action::InstallMbr, "1:2",
         "nt52", true, -1, "", false},
        {w + "BOOTICE.EXE /DEVICE=1:2 /pbr /install  /type=ntldr /quiet", Action::InstallPbr, "1:2",
         "ntldr", true, -1, "", false},
        {w + "BOOTICE.EXE /DEVICE=2:1 /mbr /install  /type=nt60  /quiet", Action::InstallMbr, "2:1",
         "nt60", true, -1, "", false},
        {w + "BOOTICE.EXE /DEVICE=2:1 /pbr /install  /type=bootmgr /quiet", Action::InstallPbr,
         "2:1", "bootmgr", true, -1, "", false},
        {"bootice.exe /device=d: /PBR /INSTALL /TYPE=BOOTMGR", Action::InstallPbr, "d:", "bootmgr",
         false, -1, "", false},
        // Partition details: the disk report.
        {w + "Bootice.exe /diskinfo /getdrv /drive=0 /file=C:\\WINDOWS\\diskinfo.txt",
         Action::DiskInfo, "", "", false, 0, "C:\\WINDOWS\\diskinfo.txt", false},
        {"\"X:\\Win Dir\\Bootice.exe\" /diskinfo /getdrv /drive=12 /file=X:\\Win "
         "Dir\\diskinfo.txt ",
         Action::DiskInfo, "", "", false, 12, "X:\\Win Dir\\diskinfo.txt", false},
        // Boot configuration editors: quoted paths.
        {w + "BOOTICE.EXE /edit_bcd  /file=\"C:\\Boot\\BCD\"", Action::EditBcd, "", "", false, -1,
         "C:\\Boot\\BCD", false},
        {w + "BOOTICE.EXE /edit_bcd /easymode /file=\"D:\\my boot\\BCD\"", Action::EditBcd, "", "",
         false, -1, "D:\\my boot\\BCD", true},
        {w + "BOOTICE.EXE /edit_g4dmenu  /file=\"E:\\grub menu\\MENU.LST\"",
         Action::EditGrub4dosMenu, "", "", false, -1, "E:\\grub menu\\MENU.LST", false},
        {w + u8"BOOTICE.EXE /edit_g4dmenu  /file=\"E:\\引导\\menu.lst\"", Action::EditGrub4dosMenu,
         "", "", false, -1, u8"E:\\引导\\menu.lst", false},
        // The menu "Bootice扇区维护(&B)" starts it bare.
        {w + "Bootice.exe", Action::Usage, "", "", false, -1, "", false},
    };
    for (const Accepted& c : cases) {
        BooticeCommand cmd;
        std::string error;
        ASSERT_TRUE(bootice::ParseBooticeCommandLine(c.line, cmd, error))
            << c.line << ": " << error;
        EXPECT_EQ(cmd.action, c.action) << c.line;
        EXPECT_EQ(cmd.device, c.device) << c.line;
        EXPECT_EQ(cmd.type, c.type) << c.line;
        EXPECT_EQ(cmd.quiet, c.quiet) << c.line;
        EXPECT_EQ(cmd.drive, c.drive) << c.line;
        EXPECT_EQ(cmd.file, c.file) << c.line;
        EXPECT_EQ(cmd.easyMode, c.easyMode) << c.line;
    }
}

TEST(BooticeCommandLine, RefusalsNameWhatWasNotUnderstood) {
    struct Case {
        const char* args;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"/DEVICE=C:\\ /mbr /install /type=nt61 /quiet", "\"/type=nt61\""},
        {"/DEVICE=C:\\ /pbr /install /type=nt60 /quiet", "\"/type=nt60\""},
        {"/DEVICE=C:\\ /mbr /install /type=ntldr /quiet", "\"/type=ntldr\""},
        {"/mbr /install /type=nt60 /quiet", "/mbr needs /device="},
        {"/DEVICE=C:\\ /mbr /type=nt60 /quiet", "/mbr needs /install"},
        {"/DEVICE=C:\\ /mbr /install /quiet", "/mbr needs /type="},
        {"/DEVICE=C:\\ /mbr /pbr /install /type=nt60", "\"/mbr\" and \"/pbr\" cannot be combined"},
        {"/DEVICE=X /mbr /install /type=nt60", "\"/DEVICE=X\""},
        {"/DEVICE= /partitions /activate", "\"/DEVICE=\""},
        {"/DEVICE=C:\\Windows /partitions /activate", "\"/DEVICE=C:\\Windows\""},
        {"/DEVICE=1:a /partitions /activate", "\"/DEVICE=1:a\""},
        {"/DEVICE=C:\\ /partitions /activate /format", "\"/format\""},
        {"/DEVICE=C:\\ /partitions /install", "/partitions needs /activate"},
        {"/DEVICE=C:\\ /partitions /activate /type=nt60",
         "\"/type=nt60\" does not go with /partitions"},
        {"/DEVICE=C:\\ /mbr /install /type=nt60 /quiet /quiet", "\"/quiet\" given twice"},
        {"/diskinfo /getdrv /drive=a /file=x.txt", "\"/drive=a\""},
        {"/diskinfo /drive=0 /file=x.txt", "/diskinfo needs /getdrv"},
        {"/diskinfo /getdrv /file=x.txt", "/diskinfo needs /drive="},
        {"/diskinfo /getdrv /drive=0", "/diskinfo needs /file="},
        {"/diskinfo /getdrv /drive=0 /quiet /file=x.txt", "\"/quiet\" does not go with /diskinfo"},
        {"/edit_bcd", "/edit_bcd needs /file="},
        {"/edit_bcd /file=", "/file= names no file"},
        {"/edit_g4dmenu /easymode /file=\"x\"", "\"/easymode\" does not go with /edit_g4dmenu"},
        {"/edit_bcd /file=\"C:\\BCD\" /extra", "\"/extra\""},
        {"/quiet", "no operation given"},
        {"-mbr", "\"-mbr\""},
        {"/DEVICE=C:\\ /MBR /install /type=nt60 /mbr", "\"/mbr\" given twice"},
    };
    for (const Case& c : cases) {
        std::string line = std::string("C:\\WINDOWS\\BOOTICE.EXE ") + c.args;
        BooticeCommand cmd;
        std::string error;
        EXPECT_FALSE(bootice::ParseBooticeCommandLine(line, cmd, error)) << line;
        EXPECT_NE(error.find(c.named), std::string::npos) << line << "\n" << error;
    }
}

// Records what Bootice asks of the machine.
class RecordingBackend : public bootice::DiskBackend {
  public:
    std::map<int, bootice::DiskIdentity> disks;
    bool writesFail = false;
    std::vector<int> queried;
    std::map<std::string, std::string> files;
    std::vector<std::string> notices;

    bool QueryDisk(int drive, bootice::DiskIdentity& disk, std::string& error) override {
        queried.push_back(drive);
        auto it = disks.find(drive);
        if (it == disks.end()) {
            error = "cannot open the disk (error 2)";
            return false;
        }
        disk = it->second;
        return true;
    }
    bool WriteTextFile(const std::string& path, const std::string& utf8,
                       std::string& error) override {
        if (writesFail) {
            error = "cannot write the file (error 5)";
            return false;
        }
        files[path] = utf8;
        return true;
    }
    void ShowNotice(const std::string& utf8) override { notices.push_back(utf8); }

    // Boot record writes: one disk in memory, numbered `diskNumber` (from 0).
    testdisk::MemoryDisk* memoryDisk = nullptr;
    int diskNumber = 0;
    bool confirm = true;
    std::vector<std::string> located;
    bool LocateDevice(const std::string& device, Location& where, std::string& error) override {
        located.push_back(device);
        if (device[0] >= '0' && device[0] <= '9')
            return bootice::ParseDiskPartitionText(device, where.disk, where.partitionNumber,
                                                   error);
        where.disk = diskNumber;
        where.offsetKnown = true;
        where.offsetBytes = 2048 * 512;  // every letter is the partition at sector 2048
        return true;
    }
    std::unique_ptr<bootice::BlockDevice> OpenDisk(int disk, bool, std::string& error) override {
        if (!memoryDisk || disk != diskNumber) {
            error = "cannot open disk " + std::to_string(disk + 1) + " (error 2)";
            return nullptr;
        }
        return std::make_unique<testdisk::DiskView>(*memoryDisk);
    }
    bool ConfirmPartition(const Location&, const bootice::Partition&, uint32_t,
                          std::string& error) override {
        if (!confirm) error = "the system does not confirm the partition";
        return confirm;
    }
};

// An MBR disk of 64 MiB with one FAT32-looking partition at sector 2048 (1:1) and an
// empty second entry; nothing else on it.
testdisk::MemoryDisk SmallMbrDisk() {
    testdisk::MemoryDisk disk(131072);
    uint8_t* mbr = disk.Sector(0);
    mbr[0x1B8] = 0x78;
    mbr[0x1B9] = 0x56;
    testdisk::PutEntry(mbr, 0, 0x00, 0x0C, 2048, 100000);
    testdisk::PutSignature(mbr);
    return disk;
}

TEST(BooticeRun, BootRecordWritesGoOnlyToAConfirmedPartition) {
    const std::string w = "C:\\WINDOWS\\BOOTICE.EXE /DEVICE=";
    {
        // The system does not confirm: refused, not one write.
        testdisk::MemoryDisk disk = SmallMbrDisk();
        RecordingBackend backend;
        backend.memoryDisk = &disk;
        backend.confirm = false;
        bootice::RunResult r =
            bootice::RunBootice(w + "C:\\ /mbr /install  /type=nt60  /quiet", backend);
        EXPECT_EQ(r.exitCode, bootice::kExitRefused);
        EXPECT_EQ(r.output,
                  "Bootice: C:\\: the system does not confirm the partition; nothing was "
                  "written.\r\n");
        EXPECT_EQ(disk.writes, 0);
    }
    {
        // A partition the table does not have, a disk that does not exist.
        testdisk::MemoryDisk disk = SmallMbrDisk();
        RecordingBackend backend;
        backend.memoryDisk = &disk;
        bootice::RunResult r = bootice::RunBootice(w + "1:2 /partitions /activate /quiet", backend);
        EXPECT_EQ(r.exitCode, bootice::kExitRefused);
        EXPECT_EQ(r.output,
                  "Bootice: 1:2: no partition of disk 1 matches the device; nothing was "
                  "written.\r\n");
        r = bootice::RunBootice(w + "2:1 /partitions /activate /quiet", backend);
        EXPECT_EQ(r.output, "Bootice: 2:1: cannot open disk 2 (error 2); nothing was written.\r\n");
        r = bootice::RunBootice(w + "0:1 /partitions /activate /quiet", backend);
        EXPECT_EQ(r.output,
                  "Bootice: 0:1: \"0:1\" counts disks and partitions from 1; nothing was "
                  "written.\r\n");
        EXPECT_EQ(disk.writes, 0);
    }
    {
        // Confirmed: the drive letter's partition becomes active; quiet means no notice.
        testdisk::MemoryDisk disk = SmallMbrDisk();
        RecordingBackend backend;
        backend.memoryDisk = &disk;
        bootice::RunResult r =
            bootice::RunBootice(w + "C:\\ /partitions /activate /quiet", backend);
        EXPECT_EQ(r.exitCode, bootice::kExitOk) << r.output;
        EXPECT_EQ(r.output,
                  "Bootice: C:\\ (disk 1, partition 1): partition 1 is the active "
                  "partition.\r\n");
        EXPECT_FALSE(r.forPerson);
        EXPECT_EQ(disk.Sector(0)[0x1BE], 0x80);
        EXPECT_EQ(backend.located, std::vector<std::string>{"C:\\"});
        r = bootice::RunBootice(w + "1:1 /partitions /activate", backend);
        EXPECT_TRUE(r.forPerson);
    }
    {
        // A disk that does not keep what is written: reported, the old sector put back.
        testdisk::MemoryDisk disk = SmallMbrDisk();
        disk.corruptWrites = true;
        RecordingBackend backend;
        backend.memoryDisk = &disk;
        bootice::RunResult r =
            bootice::RunBootice(w + "1:1 /mbr /install  /type=nt52  /quiet", backend);
        EXPECT_EQ(r.exitCode, bootice::kExitWriteFailed);
        EXPECT_EQ(r.output,
                  "Bootice: 1:1: writing sector 0 failed: the sectors read back differ from what "
                  "was written.\r\n");
        EXPECT_EQ(disk.writes, 2);
    }
}

TEST(BooticeRun, EditorsAndUsageAreForAPerson) {
    RecordingBackend backend;
    const std::vector<std::pair<std::string, bootice::EditorKind>> editors = {
        {"/edit_bcd  /file=\"D:\\my boot\\BCD\"", bootice::EditorKind::BcdProfessional},
        {"/edit_bcd /easymode /file=\"D:\\my boot\\BCD\"", bootice::EditorKind::BcdEasy},
        {"/edit_g4dmenu  /file=\"D:\\my boot\\BCD\"", bootice::EditorKind::Grub4dosMenu},
    };
    for (const auto& e : editors) {
        bootice::RunResult r = bootice::RunBootice("C:\\WINDOWS\\BOOTICE.EXE " + e.first, backend);
        EXPECT_EQ(r.exitCode, bootice::kExitOk) << e.first;
        EXPECT_EQ(r.editor, e.second) << e.first;
        EXPECT_EQ(r.editorFile, "D:\\my boot\\BCD") << e.first;
        EXPECT_TRUE(r.forPerson);
    }
    EXPECT_TRUE(backend.queried.empty());
    bootice::RunResult bare = bootice::RunBootice("C:\\WINDOWS\\Bootice.exe", backend);
    EXPECT_EQ(bare.exitCode, bootice::kExitOk);
    EXPECT_TRUE(bare.forPerson);
    EXPECT_EQ(bare.output.rfind("usage: Bootice /DEVICE=", 0), 0u);
    bootice::RunResult refused = bootice::RunBootice("C:\\WINDOWS\\Bootice.exe /what", backend);
    EXPECT_EQ(refused.exitCode, bootice::kExitBadCommandLine);
    EXPECT_FALSE(refused.forPerson);
    EXPECT_EQ(refused.output.rfind("Bootice: unrecognised option \"/what\"\r\nusage:", 0), 0u);
}

// The partition details window's reading of the report: line 2, between
// "SET USBDRIVEDESC=" (any case) and the first " (" after it.
std::string ModelAsTheProgramReadsIt(const std::string& report) {
    size_t lineStart = report.find("\r\n");
    if (lineStart == std::string::npos) return "";
    lineStart += 2;
    size_t lineEnd = report.find("\r\n", lineStart);
    std::string line = report.substr(lineStart, lineEnd - lineStart);
    size_t tag = engine::LowerAscii(line).find("set usbdrivedesc=");
    if (tag == std::string::npos) return "";
    size_t from = tag + 17;
    size_t to = line.find(" (", from);
    if (to == std::string::npos) return "";
    return line.substr(from, to - from);
}

TEST(BooticeRun, DiskInfoWritesTheReportTheProgramReads) {
    RecordingBackend backend;
    backend.disks[1] = {"  ACME DISK 1000\t", 1000204886016ull};
    bootice::RunResult r = bootice::RunBootice(
        "C:\\WINDOWS\\Bootice.exe /diskinfo /getdrv /drive=1 /file=C:\\WINDOWS\\diskinfo.txt",
        backend);
    EXPECT_EQ(r.exitCode, bootice::kExitOk);
    EXPECT_EQ(backend.queried, std::vector<int>{1});
    const std::string& report = backend.files["C:\\WINDOWS\\diskinfo.txt"];
    EXPECT_EQ(report,
              "SET USBDRIVENUM=1\r\n"
              "SET USBDRIVEDESC=ACME DISK 1000 (931.5 GB)\r\n"
              "SET USBDRIVESIZE=1000204886016\r\n");
    EXPECT_EQ(ModelAsTheProgramReadsIt(report), "ACME DISK 1000");
}

TEST(BooticeRun, UnreadableDiskRewritesTheReportWithoutAModel) {
    RecordingBackend backend;
    bootice::RunResult r = bootice::RunBootice(
        "C:\\WINDOWS\\Bootice.exe /diskinfo /getdrv /drive=3 /file=C:\\WINDOWS\\diskinfo.txt",
        backend);
    EXPECT_EQ(r.exitCode, bootice::kExitDiskQueryFailed);
    EXPECT_EQ(r.output, "Bootice: disk 3 could not be read: cannot open the disk (error 2)\r\n");
    const std::string& report = backend.files["C:\\WINDOWS\\diskinfo.txt"];
    EXPECT_EQ(report,
              "SET USBDRIVENUM=3\r\n"
              "REM disk 3 could not be read: cannot open the disk (error 2)\r\n");
    EXPECT_EQ(ModelAsTheProgramReadsIt(report), "");
}

TEST(BooticeRun, ReportThatCannotBeWrittenFails) {
    RecordingBackend backend;
    backend.disks[0] = {"X", 1};
    backend.writesFail = true;
    bootice::RunResult r =
        bootice::RunBootice("Bootice.exe /diskinfo /getdrv /drive=0 /file=R:\\d.txt", backend);
    EXPECT_EQ(r.exitCode, bootice::kExitReportNotWritten);
    EXPECT_EQ(r.output, "Bootice: cannot write \"R:\\d.txt\": cannot write the file (error 5)\r\n");
}

TEST(DiskInfoReport, ModelCleaningAndSizeText) {
    const std::vector<std::pair<std::string, std::string>> models = {
        {"ACME DISK 1000", "ACME DISK 1000"}, {"  ST1000DM003-1CH162   ", "ST1000DM003-1CH162"},
        {"Two\r\nLines", "Two Lines"},        {"Tab\t\tand  blanks", "Tab and blanks"},
        {"\xC4\xE3\xBA\xC3 disk", "disk"},    {"", ""},
    };
    for (const auto& m : models) EXPECT_EQ(bootice::CleanModel(m.first), m.second) << m.first;

    const std::vector<std::pair<uint64_t, std::string>> sizes = {
        {1000204886016ull, "931.5 GB"},  {1ull << 30, "1.0 GB"},
        {512ull << 20, "512.0 MB"},      {0, "0.0 MB"},
        {2000398934016ull, "1863.0 GB"},
    };
    for (const auto& s : sizes) EXPECT_EQ(bootice::SizeText(s.first), s.second) << s.first;
}

TEST(BooticeFolderBackend, DisksFromTheFakeDiskFolder) {
    char pattern[] = "/tmp/sb-bootice-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern;
    std::ofstream(dir + "/disk0.img", std::ios::binary) << std::string(3 << 20, '\0');
    std::ofstream(dir + "/disk0.model") << "ACME DISK 1000\n";
    std::ofstream(dir + "/disk1.img", std::ios::binary) << std::string(1024, '\0');
    setenv("SB_FAKE_DISKS", dir.c_str(), 1);
    auto backend = bootice::MakeDiskBackend();
    unsetenv("SB_FAKE_DISKS");

    bootice::RunResult r = bootice::RunBootice(
        "Bootice.exe /diskinfo /getdrv /drive=0 /file=" + dir + "/my report.txt", *backend);
    EXPECT_EQ(r.exitCode, bootice::kExitOk) << r.output;
    std::ifstream in(dir + "/my report.txt", std::ios::binary);
    std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(report,
              "SET USBDRIVENUM=0\r\nSET USBDRIVEDESC=ACME DISK 1000 (3.0 MB)\r\n"
              "SET USBDRIVESIZE=3145728\r\n");

    bootice::DiskIdentity disk;
    std::string error;
    EXPECT_TRUE(backend->QueryDisk(1, disk, error));
    EXPECT_EQ(disk.model, "FAKE DISK 1");
    EXPECT_FALSE(backend->QueryDisk(2, disk, error));
    EXPECT_EQ(error, "no disk 2");
    std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
