// omnifs32's native volume source: a folder of disk images and a volume list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engines/omnifs/backend_folder.h"
#include "tests/engines/synthetic_disk.h"

namespace {

using testdisk::Sector0;

class FakeDiskFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sb-omnifs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }
    omnifs::RunResult Run() {
        auto source = omnifs::MakeFolderVolumeSource(dir_);
        return omnifs::RunOmnifs("omnifs32.exe info", *source);
    }

    std::string dir_;
};

TEST_F(FakeDiskFolder, ReportsEveryListedLetterInLetterOrder) {
    std::vector<uint8_t> disk0 = Sector0(
        {{0x80, 0x07, 2048, 204800}, {0x00, 0x07, 206848, 409600}, {0x00, 0x0F, 616448, 100000}});
    disk0.resize(8192, 0);  // more than sector 0 is fine
    Write("disk0.img", disk0);
    Write("disk1.img", Sector0({{0x00, 0xEE, 1, 0xFFFFFFFF}}));
    Write("disk2.img", Sector0({{0x80, 0x07, 63, 1000}}, false));
    Write("volumes.txt",
          "# letter disk first-sector\n"
          "D 0 206848\r\n"
          "c 0 2048\n"
          "\n"
          "E 1 2048\n"
          "F 2 63\n"
          "G 0 616511\n"
          "H 5 2048\n");
    omnifs::RunResult r = Run();
    EXPECT_EQ(r.exitCode, omnifs::kExitOk);
    EXPECT_EQ(r.output,
              "Omnifs32 volume report: 6 drive letter(s)\r\n"
              "[C:\\] Active   disk 0 partition 1 MBR\r\n"
              "[D:\\] Inactive disk 0 partition 2 MBR\r\n"
              "[E:\\] Inactive disk 1 partition ? GPT\r\n"
              "[F:\\] Unknown  disk 2 partition ? (sector 0 holds no MBR signature)\r\n"
              "[G:\\] Inactive disk 0 partition ? MBR\r\n"
              "[H:\\] Unknown  disk 5 partition ? (cannot read sector 0 of disk5.img)\r\n");
}

TEST_F(FakeDiskFolder, ShortImageIsNotRead) {
    Write("disk0.img", std::vector<uint8_t>(100, 0x55));
    Write("volumes.txt", "C 0 2048\n");
    EXPECT_EQ(Run().output,
              "Omnifs32 volume report: 1 drive letter(s)\r\n"
              "[C:\\] Unknown  disk 0 partition ? (cannot read sector 0 of disk0.img)\r\n");
}

TEST_F(FakeDiskFolder, MalformedListFailsNamingTheLine) {
    for (const char* list :
         {"C 0\n", "C 0 2048 extra\n", "CD 0 2048\n", "1 0 2048\n", "C -1 2048\n", "C x 2048\n"}) {
        Write("volumes.txt", std::string("# ok\n") + list);
        omnifs::RunResult r = Run();
        EXPECT_EQ(r.exitCode, omnifs::kExitNoVolumes) << list;
        EXPECT_NE(r.output.find("line 2"), std::string::npos) << r.output;
    }
}

TEST_F(FakeDiskFolder, MissingListOrFolder) {
    EXPECT_EQ(Run().exitCode, omnifs::kExitNoVolumes);
    auto unset = omnifs::MakeFolderVolumeSource("");
    omnifs::RunResult r = omnifs::RunOmnifs("omnifs32.exe info", *unset);
    EXPECT_EQ(r.exitCode, omnifs::kExitNoVolumes);
    EXPECT_NE(r.output.find("SB_FAKE_DISKS"), std::string::npos);
}

}  // namespace
