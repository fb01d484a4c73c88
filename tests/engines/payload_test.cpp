// The boot image's job runner: the job file as the program writes it, the partition
// checks, the volume-state reader on volumes made by mkntfs (ntfsinfo as the oracle),
// and mvjob run end to end on folder volumes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engines/payload/job_file.h"
#include "tests/engines/shell_run.h"

namespace {

using payload::JobLine;
using testshell::Shell;

const char kBackupJob[] =
    "Ghost.exe  -clone,mode=pdump,src=1:1,dst=\"1:2:\\bak\\c.gho\" -z9 -split=2000 -noide "
    "-pwd=ab cd -sure -fx \r\nrestart";
const char kRestoreJob[] =
    "Ghost.exe -clone,mode=pload,src=\"1:3\\MorvekOS\\MorvekOS.GHO\":1,dst=1:1 -crcignore "
    "-noide -sure  -fx -afile=\"GHOSTERR.TXT\"\r\nrestart";

ghost::PartitionId Id(int disk, int part) {
    ghost::PartitionId id;
    id.disk = disk;
    id.part = part;
    return id;
}

ghost::JobRequest RequestOf(const JobLine& line) {
    ghost::JobRequest request;
    EXPECT_TRUE(ghost::ParseJobRequest(line.args, &request).ok()) << line.text;
    return request;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class PayloadScratch : public ::testing::Test {
  protected:
    testshell::ScratchDir scratch;
    const std::string dir = scratch.path;
};

TEST(PayloadJobFile, ReadsTheBackupAndRestoreJobsTheModuleWrites) {
    std::vector<JobLine> lines = payload::ParseJobFile(kBackupJob);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, JobLine::kGhost);
    EXPECT_EQ(lines[1].kind, JobLine::kRestart);
    ghost::JobRequest backup = RequestOf(lines[0]);
    EXPECT_EQ(backup.kind, ghost::JobRequest::kBackup);
    EXPECT_EQ(backup.source, Id(1, 1));
    EXPECT_EQ(backup.image, "1:2:\\bak\\c.gho");
    EXPECT_EQ(backup.level, 9);
    EXPECT_EQ(backup.splitMiB, 2000u);
    EXPECT_EQ(backup.password, "ab cd");
    EXPECT_EQ(payload::WrittenPartition(backup), Id(1, 2));

    lines = payload::ParseJobFile(kRestoreJob);
    ASSERT_EQ(lines.size(), 2u);
    ghost::JobRequest restore = RequestOf(lines[0]);
    EXPECT_EQ(restore.kind, ghost::JobRequest::kRestore);
    EXPECT_EQ(restore.image, "1:3\\MorvekOS\\MorvekOS.GHO");
    EXPECT_EQ(restore.target, Id(1, 1));
    EXPECT_TRUE(restore.crcIgnore);
    EXPECT_EQ(restore.abortFile, "GHOSTERR.TXT");
    EXPECT_EQ(payload::WrittenPartition(restore), Id(1, 1));
    EXPECT_EQ(lines[1].kind, JobLine::kRestart);
}

TEST(PayloadJobFile, LineBreaksBlankLinesCaseAndUnknownLines) {
    const std::vector<JobLine> lines = payload::ParseJobFile(
        "\r\n  GHOST.EXE -clone,mode=pcopy,src=1:1,dst=1:2\n\nRESTART\r\n"
        "format c:\r\nghost -CHKIMG,x.gho");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].kind, JobLine::kGhost);
    EXPECT_EQ(lines[0].args, std::vector<std::string>{"-clone,mode=pcopy,src=1:1,dst=1:2"});
    EXPECT_EQ(lines[1].kind, JobLine::kRestart);
    EXPECT_EQ(lines[2].kind, JobLine::kUnknown);
    EXPECT_EQ(lines[2].text, "format c:");
    EXPECT_EQ(lines[3].kind, JobLine::kGhost);
    EXPECT_TRUE(payload::ParseJobFile("").empty());
}

TEST(PayloadJobFile, WrittenPartitionOfEachImagePathForm) {
    ghost::JobRequest r;
    r.kind = ghost::JobRequest::kBackup;
    r.image = "12:3:\\x.gho";
    EXPECT_EQ(payload::WrittenPartition(r), Id(12, 3));
    r.image = "2:1\\dir\\x.gho";
    EXPECT_EQ(payload::WrittenPartition(r), Id(2, 1));
    r.image = "/srv/images/x.gho";
    EXPECT_FALSE(payload::WrittenPartition(r).valid());
    r.image = "D:\\x.gho";
    EXPECT_FALSE(payload::WrittenPartition(r).valid());
    r.kind = ghost::JobRequest::kCheck;
    r.image = "1:2:\\x.gho";
    EXPECT_FALSE(payload::WrittenPartition(r).valid());
}

TEST(PayloadJobFile, OnlyTheModulePartitionIsBackedUpOrRestored) {
    ghost::JobRequest r;
    r.kind = ghost::JobRequest::kBackup;
    r.source = Id(1, 1);
    EXPECT_EQ(payload::CheckJobPartition(r, Id(1, 1)), "");
    const std::string refusal = payload::CheckJobPartition(r, Id(2, 1));
    EXPECT_NE(refusal.find("1:1"), std::string::npos);
    EXPECT_NE(refusal.find("2:1"), std::string::npos);

    r.kind = ghost::JobRequest::kRestore;
    r.source = ghost::PartitionId();
    r.target = Id(1, 2);
    EXPECT_EQ(payload::CheckJobPartition(r, Id(1, 2)), "");
    EXPECT_NE(payload::CheckJobPartition(r, Id(1, 1)), "");

    r.kind = ghost::JobRequest::kCopy;
    r.source = Id(1, 2);
    r.target = Id(1, 2);
    EXPECT_NE(payload::CheckJobPartition(r, Id(1, 2)), "");
}

TEST(PayloadJobFile, UnsafeVolumeList) {
    const std::string list = "1:2=dirty;2:10=hibernated";
    EXPECT_EQ(payload::UnsafeReason(list, Id(1, 2)), "dirty");
    EXPECT_EQ(payload::UnsafeReason(list, Id(2, 10)), "hibernated");
    EXPECT_EQ(payload::UnsafeReason(list, Id(2, 1)), "");
    EXPECT_EQ(payload::UnsafeReason("", Id(1, 2)), "");
    EXPECT_EQ(payload::UnsafeReason(list, ghost::PartitionId()), "");
    EXPECT_NE(payload::UnsafeVolumeText(Id(1, 2), "hibernated").find(u8"休眠"), std::string::npos);
    EXPECT_NE(payload::UnsafeVolumeText(Id(1, 2), "mount-failed").find(u8"无法以写入方式挂载"),
              std::string::npos);
}

// The dirty flag set through the volume's $Volume record; ntfsinfo confirms it by refusing
// the volume as scheduled for a check.
TEST_F(PayloadScratch, VolumeStateOfCleanDirtyAndOtherVolumes) {
    const std::string ntfs = dir + "/ntfs.img";
    Shell("truncate -s 20M '" + ntfs + "' && mkntfs -F -Q '" + ntfs + "' >/dev/null 2>&1");
    ASSERT_NE(Shell("ntfsinfo -m '" + ntfs + "'").find("Volume Flags: 0x0000"), std::string::npos);
    EXPECT_EQ(payload::NtfsVolumeState(ntfs), payload::VolumeState::kClean);

    // The resident $VOLUME_INFORMATION attribute (type 0x70, 0x28 bytes long) in the
    // MFT and in its mirror: its flags word sits 10 bytes into the value at offset 0x18.
    std::string bytes = ReadAll(ntfs);
    const std::string header("\x70\0\0\0\x28\0\0\0", 8);
    int copies = 0;
    for (size_t at = bytes.find(header); at != std::string::npos;
         at = bytes.find(header, at + 1), ++copies)
        bytes[at + 0x18 + 10] = 1;
    ASSERT_EQ(copies, 2);
    WriteAll(ntfs, bytes);
    ASSERT_NE(
        Shell("ntfsinfo -m '" + ntfs + "' 2>&1 || true").find("Volume is scheduled for check"),
        std::string::npos);
    EXPECT_EQ(payload::NtfsVolumeState(ntfs), payload::VolumeState::kDirty);

    const std::string fat = dir + "/fat.img";
    Shell("truncate -s 8M '" + fat + "' && mkfs.fat '" + fat + "' >/dev/null");
    EXPECT_EQ(payload::NtfsVolumeState(fat), payload::VolumeState::kNotNtfs);
    EXPECT_EQ(payload::NtfsVolumeState(dir + "/missing.img"), payload::VolumeState::kUnreadable);
    Shell("head -c 8192 '" + ntfs + "' > '" + dir + "/short.img'");
    EXPECT_EQ(payload::NtfsVolumeState(dir + "/short.img"), payload::VolumeState::kUnreadable);
}

TEST_F(PayloadScratch, HibernationFile) {
    EXPECT_FALSE(payload::HibernationFilePresent(dir));
    WriteAll(dir + "/hiberfil.sys", std::string(4096, '\0'));
    EXPECT_FALSE(payload::HibernationFilePresent(dir));
    for (const char* magic : {"HIBR", "hibr", "WAKE", "RSTR"}) {
        WriteAll(dir + "/hiberfil.sys", std::string(magic) + std::string(4092, '\0'));
        EXPECT_TRUE(payload::HibernationFilePresent(dir)) << magic;
    }
}

// mvjob run on folder volumes, in the module partition's folder as the image runs it.
class PayloadJobRun : public PayloadScratch {
  protected:
    void SetUp() override {
        Shell("mkdir -p '" + dir + "/sys/Windows' '" + dir + "/img/bak' && seq 1 5000 > '" + dir +
              "/sys/Windows/numbers.txt'");
        setenv("SB_GHOST_VOLUMES", ("1:1=" + dir + "/sys;1:2=" + dir + "/img").c_str(), 1);
        setenv("SB_GHOST_SYSTEM", "0:0", 1);
        unsetenv("SB_PAYLOAD_UNSAFE");
    }
    void TearDown() override {
        unsetenv("SB_GHOST_VOLUMES");
        unsetenv("SB_GHOST_SYSTEM");
        unsetenv("SB_PAYLOAD_UNSAFE");
    }
    int Run(const std::string& job, const std::string& module) {
        WriteAll(dir + "/sys/ghost.bat", job);
        const std::string command = "cd '" + dir + "/sys' && '" SB_MVJOB "' run ghost.bat " +
                                    module + " >/dev/null 2>&1 || echo $?";
        return std::atoi(Shell(command).c_str());
    }
    std::string ErrorFile() { return ReadAll(dir + "/sys/GHOSTERR.TXT"); }
};

TEST_F(PayloadJobRun, BackupRunsAndAsksForTheRestart) {
    EXPECT_EQ(Run(kBackupJob, "1:1"), 0);
    EXPECT_EQ(access((dir + "/img/bak/c.gho").c_str(), F_OK), 0);
    EXPECT_EQ(access((dir + "/sys/GHOSTERR.TXT").c_str(), F_OK), -1);
    EXPECT_EQ(Shell("'" SB_MVJOB "' writes '" + dir + "/sys/ghost.bat'"), "1:2\n");
}

TEST_F(PayloadJobRun, WrongPartitionNumbersStopTheJobBeforeItWrites) {
    EXPECT_EQ(Run(kBackupJob, "1:2"), 1);
    EXPECT_EQ(access((dir + "/img/bak/c.gho").c_str(), F_OK), -1);
    const std::string error = ErrorFile();
    EXPECT_EQ(error.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_NE(error.find(u8"磁盘编号与 Windows 中不同"), std::string::npos);
    EXPECT_NE(error.find("-clone,mode=pdump"), std::string::npos);
}

TEST_F(PayloadJobRun, AnUnsafeTargetVolumeIsNotWritten) {
    setenv("SB_PAYLOAD_UNSAFE", "1:2=dirty", 1);
    EXPECT_EQ(Run(kBackupJob, "1:1"), 1);
    EXPECT_EQ(access((dir + "/img/bak/c.gho").c_str(), F_OK), -1);
    EXPECT_NE(ErrorFile().find(u8"分区 1:2 未正常卸载（dirty）"), std::string::npos);
}

TEST_F(PayloadJobRun, AFailedRestoreWritesItsErrorFileAndKeepsTheTarget) {
    // The image does not exist: the engine's error lands in GHOSTERR.TXT, 1:1 stays.
    EXPECT_EQ(Run(kRestoreJob, "1:1"), 1);
    EXPECT_EQ(access((dir + "/sys/Windows/numbers.txt").c_str(), F_OK), 0);
    EXPECT_NE(ErrorFile().find("GHOSTERR.TXT"), std::string::npos);
    EXPECT_NE(ErrorFile().find(u8"错误"), std::string::npos);
}

TEST_F(PayloadJobRun, UnknownLinesAndAMissingRestartAreReported) {
    EXPECT_EQ(Run("Ghost.exe -CHKIMG,x.gho -sure\r\nrestart", "1:1"), 1);
    EXPECT_EQ(Run("del c:\\*.*\r\nrestart", "1:1"), 1);
    EXPECT_NE(ErrorFile().find("del c:\\*.*"), std::string::npos);
    EXPECT_EQ(Run("", "1:1"), 3);
}

}  // namespace
