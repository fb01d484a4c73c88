// Boot records on disk images made by sfdisk, mkfs.fat and mkntfs: what Bootice writes,
// what it keeps byte for byte, what it refuses. Raw writes are tested on images only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engines/bootice/boot_records.h"
#include "engines/bootice/bootice_cli.h"
#include "engines/bootice/disk_layout.h"
#include "engines/bootice/image_device.h"
#include "tests/engines/memory_disk.h"
#include "tests/engines/shell_run.h"

namespace {

using testshell::Shell;

std::vector<uint8_t> FileBytes(const std::string& path, uint64_t offset, size_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::vector<uint8_t> bytes(size);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
    bytes.resize(size_t(in.gcount()));
    return bytes;
}

// A scratch folder that is Bootice's fake disk folder (disk0.img is disk 1).
class BootImages : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sb-bootrec-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        disk = dir + "/disk0.img";
    }
    void TearDown() override { Shell("rm -rf '" + dir + "'"); }

    // 128 MiB: a FAT32 partition at 2048 and an NTFS one at 83968, label-id 0x1234ABCD.
    void MakeFatAndNtfsDisk() {
        Shell("cd '" + dir +
              "'; truncate -s 128M disk0.img; printf 'label: dos\\nlabel-id: 0x1234abcd\\n"
              "start=2048, size=81920, type=c, bootable\\nstart=83968, size=81920, type=7\\n' "
              "| sfdisk -q disk0.img; truncate -s 41943040 fat.img; mkfs.fat -F 32 -h 2048 "
              "fat.img >/dev/null; echo hello > BOOTMGR; mcopy -i fat.img BOOTMGR ::/BOOTMGR; "
              "truncate -s 41943040 ntfs.img; mkntfs -F -Q -p 83968 -H 255 -S 63 ntfs.img "
              ">/dev/null; ntfscp ntfs.img BOOTMGR BOOTMGR; dd if=fat.img of=disk0.img bs=512 "
              "seek=2048 conv=notrunc status=none; dd if=ntfs.img of=disk0.img bs=512 "
              "seek=83968 conv=notrunc status=none; rm fat.img ntfs.img");
    }

    bootice::RunResult Bootice(const std::string& args) {
        setenv("SB_FAKE_DISKS", dir.c_str(), 1);
        auto backend = bootice::MakeDiskBackend();
        unsetenv("SB_FAKE_DISKS");
        return bootice::RunBootice("C:\\WINDOWS\\BOOTICE.EXE " + args, *backend);
    }

    std::string dir, disk;
};

TEST_F(BootImages, MbrCodeGoesInFrontOfSignatureAndTable) {
    MakeFatAndNtfsDisk();
    std::vector<uint8_t> before = FileBytes(disk, 0, 512);
    for (const char* type : {"nt52", "nt60"}) {
        bootice::RunResult r =
            Bootice(std::string("/DEVICE=1:2 /mbr /install  /type=") + type + "  /quiet");
        ASSERT_EQ(r.exitCode, bootice::kExitOk) << r.output;
        std::vector<uint8_t> after = FileBytes(disk, 0, 512);
        const uint8_t* code = bootice::MbrCode(
            std::string(type) == "nt52" ? bootice::MbrKind::Nt52 : bootice::MbrKind::Nt60);
        EXPECT_TRUE(std::equal(after.begin(), after.begin() + 440, code)) << type;
        EXPECT_TRUE(std::equal(after.begin() + 440, after.end(), before.begin() + 440)) << type;
    }
    EXPECT_NE(std::vector<uint8_t>(bootice::MbrCode(bootice::MbrKind::Nt52),
                                   bootice::MbrCode(bootice::MbrKind::Nt52) + 440),
              std::vector<uint8_t>(bootice::MbrCode(bootice::MbrKind::Nt60),
                                   bootice::MbrCode(bootice::MbrKind::Nt60) + 440));
    // sfdisk still reads the same table and signature.
    std::string dump = Shell("sfdisk -d '" + disk + "'");
    EXPECT_NE(dump.find("label-id: 0x1234abcd"), std::string::npos) << dump;
    EXPECT_NE(dump.find("start=        2048, size=       81920, type=c, bootable"),
              std::string::npos)
        << dump;
}

TEST_F(BootImages, VolumeBootCodeKeepsTheParameterBlockAndTheFileSystems) {
    MakeFatAndNtfsDisk();
    const uint64_t fat = 2048 * 512ull, ntfs = 83968 * 512ull;
    std::vector<uint8_t> fatBefore = FileBytes(disk, fat, 512);
    std::vector<uint8_t> ntfsBefore = FileBytes(disk, ntfs, 8192);
    bootice::RunResult r = Bootice("/DEVICE=1:1 /pbr /install  /type=ntldr /quiet");
    ASSERT_EQ(r.exitCode, bootice::kExitOk) << r.output;
    EXPECT_EQ(r.output,
              "Bootice: 1:1 (disk 1, partition 1): wrote the FAT32 boot record that loads "
              "NTLDR.\r\n");
    r = Bootice("/DEVICE=1:2 /pbr /install  /type=bootmgr /quiet");
    ASSERT_EQ(r.exitCode, bootice::kExitOk) << r.output;

    size_t size = 0;
    const uint8_t* fatCode =
        bootice::VolumeCode(bootice::VolumeKind::Fat32, bootice::LoaderKind::Ntldr, size);
    std::vector<uint8_t> fatAfter = FileBytes(disk, fat, 512);
    EXPECT_TRUE(std::equal(fatAfter.begin() + 3, fatAfter.begin() + 0x5A, fatBefore.begin() + 3));
    EXPECT_TRUE(std::equal(fatAfter.begin() + 0x5A, fatAfter.end(), fatCode + 0x5A));
    EXPECT_TRUE(std::equal(fatAfter.begin(), fatAfter.begin() + 3, fatCode));
    // The backup boot sector (sector 6) follows the new one.
    EXPECT_EQ(FileBytes(disk, fat + 6 * 512, 512), fatAfter);

    const uint8_t* ntfsCode =
        bootice::VolumeCode(bootice::VolumeKind::Ntfs, bootice::LoaderKind::Bootmgr, size);
    ASSERT_EQ(size, 8192u);
    std::vector<uint8_t> ntfsAfter = FileBytes(disk, ntfs, 8192);
    EXPECT_TRUE(
        std::equal(ntfsAfter.begin() + 3, ntfsAfter.begin() + 0x54, ntfsBefore.begin() + 3));
    EXPECT_TRUE(std::equal(ntfsAfter.begin() + 0x54, ntfsAfter.end(), ntfsCode + 0x54));

    // Both file systems still check clean and hold the file.
    Shell("cd '" + dir +
          "'; dd if=disk0.img of=f.img bs=512 skip=2048 count=81920 status=none; "
          "fsck.fat -n f.img; dd if=disk0.img of=n.img bs=512 skip=83968 count=81920 status=none");
    EXPECT_NE(Shell("mdir -i '" + dir + "/f.img' ::/").find("BOOTMGR"), std::string::npos);
    EXPECT_NE(Shell("ntfsls '" + dir + "/n.img'").find("BOOTMGR"), std::string::npos);
}

TEST_F(BootImages, ActivationLeavesExactlyOneActiveEntry) {
    MakeFatAndNtfsDisk();
    std::vector<uint8_t> before = FileBytes(disk, 0, 512);
    ASSERT_EQ(Bootice("/DEVICE=1:2 /partitions /activate /quiet").exitCode, bootice::kExitOk);
    std::vector<uint8_t> after = FileBytes(disk, 0, 512);
    EXPECT_EQ(after[0x1BE], 0x00);
    EXPECT_EQ(after[0x1CE], 0x80);
    for (size_t i = 0; i < 512; ++i)
        if (i != 0x1BE && i != 0x1CE) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }
    // Activating it again changes nothing and succeeds.
    EXPECT_EQ(Bootice("/DEVICE=1:2 /partitions /activate /quiet").exitCode, bootice::kExitOk);
    EXPECT_EQ(FileBytes(disk, 0, 512), after);
}

TEST_F(BootImages, GptDisksAreRefusedAndKeepEveryByte) {
    Shell("cd '" + dir +
          "'; truncate -s 64M disk0.img; printf 'label: gpt\\nstart=2048, size=40960\\n' | "
          "sfdisk -q disk0.img");
    std::vector<uint8_t> before = FileBytes(disk, 0, 64 * 1024);
    for (const char* args : {"/DEVICE=1:1 /mbr /install  /type=nt60  /quiet",
                             "/DEVICE=1:1 /pbr /install  /type=bootmgr /quiet",
                             "/DEVICE=1:1 /partitions /activate /quiet"}) {
        bootice::RunResult r = Bootice(args);
        EXPECT_EQ(r.exitCode, bootice::kExitRefused) << args;
        EXPECT_NE(r.output.find("GPT disk"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("nothing was written"), std::string::npos) << r.output;
    }
    EXPECT_EQ(FileBytes(disk, 0, 64 * 1024), before);
    bootice::DiskLayout layout;
    std::string error;
    auto device = bootice::ImageDevice::Open(disk, false, error);
    ASSERT_TRUE(device && bootice::ReadDiskLayout(*device, layout, error)) << error;
    EXPECT_EQ(layout.style, bootice::PartitionStyle::Gpt);
    ASSERT_EQ(layout.partitions.size(), 1u);
    EXPECT_EQ(layout.partitions[0].firstLba, 2048u);
    EXPECT_EQ(layout.partitions[0].sectorCount, 40960u);
}

TEST_F(BootImages, UnsuitableVolumesAreRefused) {
    // A FAT16 volume and an unformatted partition.
    Shell("cd '" + dir +
          "'; truncate -s 64M disk0.img; printf 'label: dos\\nstart=2048, size=40960, "
          "type=6\\nstart=43008, size=20480, type=7\\n' | sfdisk -q disk0.img; truncate -s "
          "20971520 p.img; mkfs.fat -F 16 -h 2048 p.img >/dev/null; dd if=p.img of=disk0.img "
          "bs=512 seek=2048 conv=notrunc status=none");
    std::vector<uint8_t> before = FileBytes(disk, 0, 64 << 20);
    for (const char* device : {"1:1", "1:2"}) {
        bootice::RunResult r =
            Bootice(std::string("/DEVICE=") + device + " /pbr /install  /type=bootmgr /quiet");
        EXPECT_EQ(r.exitCode, bootice::kExitRefused);
        EXPECT_EQ(r.output, std::string("Bootice: ") + device +
                                ": the partition holds neither a FAT32 nor an NTFS volume; "
                                "nothing was written.\r\n");
    }
    EXPECT_TRUE(FileBytes(disk, 0, 64 << 20) == before);
}

TEST(DiskLayout, LogicalPartitionsAreNumberedAfterThePrimaries) {
    // Entry 0: extended at 1000; entry 1: primary at 100; entry 3: primary at 50000.
    // The chain: logical at 1000+63, next EBR at 1000+20000, logical at 21000+63.
    testdisk::MemoryDisk disk(100000);
    uint8_t* mbr = disk.Sector(0);
    testdisk::PutEntry(mbr, 0, 0, 0x0F, 1000, 40000);
    testdisk::PutEntry(mbr, 1, 0x80, 0x07, 100, 800);
    testdisk::PutEntry(mbr, 3, 0, 0x0C, 50000, 1000);
    testdisk::PutSignature(mbr);
    uint8_t* ebr1 = disk.Sector(1000);
    testdisk::PutEntry(ebr1, 0, 0, 0x07, 63, 10000);
    testdisk::PutEntry(ebr1, 1, 0, 0x05, 20000, 20000);
    testdisk::PutSignature(ebr1);
    uint8_t* ebr2 = disk.Sector(21000);
    testdisk::PutEntry(ebr2, 0, 0, 0x0B, 63, 5000);
    testdisk::PutEntry(ebr2, 1, 0, 0x05, 0, 0);  // end of the chain
    testdisk::PutSignature(ebr2);

    bootice::DiskLayout layout;
    std::string error;
    ASSERT_TRUE(bootice::ReadDiskLayout(disk, layout, error)) << error;
    ASSERT_EQ(layout.partitions.size(), 4u);
    const uint64_t starts[] = {100, 50000, 1063, 21063};
    const int slots[] = {1, 3, -1, -1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(layout.partitions[i].number, i + 1);
        EXPECT_EQ(layout.partitions[i].firstLba, starts[i]) << i;
        EXPECT_EQ(layout.partitions[i].primarySlot, slots[i]) << i;
    }
    EXPECT_TRUE(layout.partitions[0].active);

    // A logical partition cannot be made active; sector 0 stays.
    std::vector<uint8_t> before(mbr, mbr + 512);
    std::string message;
    EXPECT_EQ(bootice::ActivatePartition(disk, layout.partitions[2], message),
              bootice::WriteResult::Refused);
    EXPECT_EQ(message, "partition 3 is a logical partition, which cannot be active");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), disk.Sector(0)));
    // Primary 2 (slot 3) becomes the only active one.
    ASSERT_EQ(bootice::ActivatePartition(disk, layout.partitions[1], message),
              bootice::WriteResult::Written)
        << message;
    EXPECT_EQ(mbr[0x1BE], 0);
    EXPECT_EQ(mbr[0x1CE], 0);
    EXPECT_EQ(mbr[0x1EE], 0x80);

    // An EBR chain that points back at itself ends instead of looping.
    testdisk::PutEntry(ebr2, 1, 0, 0x05, 0, 1);
    ASSERT_TRUE(bootice::ReadDiskLayout(disk, layout, error));
    EXPECT_LE(layout.partitions.size(), 130u);
}

TEST(DiskLayout, AWriteThatDoesNotReadBackPutsTheOldSectorBack) {
    testdisk::MemoryDisk disk(4096);
    uint8_t* mbr = disk.Sector(0);
    testdisk::PutEntry(mbr, 0, 0, 0x0C, 2048, 2000);
    testdisk::PutSignature(mbr);
    std::vector<uint8_t> before(mbr, mbr + 512);
    disk.corruptWrites = true;
    std::string message;
    EXPECT_EQ(bootice::InstallMbr(disk, bootice::MbrKind::Nt60, message),
              bootice::WriteResult::Failed);
    EXPECT_EQ(message.rfind("writing sector 0 failed: the sectors read back differ", 0), 0u)
        << message;
    // The restore is written through the same faulty device: all but its last byte.
    EXPECT_TRUE(std::equal(before.begin(), before.end() - 1, disk.Sector(0)));
    EXPECT_EQ(disk.writes, 2);
}

TEST(DiskLayout, DiskPartitionTexts) {
    int d = -1, p = -1;
    std::string error;
    EXPECT_TRUE(bootice::ParseDiskPartitionText("1:2", d, p, error));
    EXPECT_EQ(d, 0);
    EXPECT_EQ(p, 2);
    EXPECT_TRUE(bootice::ParseDiskPartitionText("12:7", d, p, error));
    EXPECT_EQ(d, 11);
    EXPECT_FALSE(bootice::ParseDiskPartitionText("0:1", d, p, error));
    EXPECT_FALSE(bootice::ParseDiskPartitionText("1:0", d, p, error));
    EXPECT_EQ(error, "\"1:0\" counts disks and partitions from 1");
}

}  // namespace
