#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/inventory.h"
#include "tests/native/harness.h"

namespace {

constexpr std::int64_t kMiB = 1024;  // in KiB
constexpr std::int64_t kGiB = 1024 * kMiB;
constexpr std::int64_t kTiB = 1024 * kGiB;

TEST(SizeText, UnitBoundaries) {
    EXPECT_EQ(SizeText(512 * kMiB), "512.00 MB");
    EXPECT_EQ(SizeText(1024 * kMiB), "1024.00 MB");
    EXPECT_EQ(SizeText(1025 * kMiB), "1.00 GB");
    EXPECT_EQ(SizeText(1536 * kMiB), "1.50 GB");
    EXPECT_EQ(SizeText(1024 * kGiB), "1024.00 GB");
    EXPECT_EQ(SizeText(1024 * kGiB + kGiB), "1.00 TB");
    EXPECT_EQ(SizeText(0), "0.00 MB");
    EXPECT_EQ(SizeText(1), "0.00 MB");
    EXPECT_EQ(SizeText(100 * kMiB + 512), "100.50 MB");
    EXPECT_EQ(SizeText(10 * kMiB + 5 * 1024 / 1000), "10.00 MB");
}

TEST(SizeText, VolumesOfTwoTebibytesAndMoreShowTheirRealSize) {
    EXPECT_EQ(SizeText(2 * kTiB), "2.00 TB");
    EXPECT_EQ(SizeText(3 * kTiB + kTiB / 2), "3.50 TB");
    EXPECT_EQ(SizeText(16 * kTiB), "16.00 TB");
}

TEST(SizeText, RoundsHalfUpToTwoDecimals) {
    // 1.005 GiB and 1.125 GiB: the guard keeps binary fractions from rounding down.
    EXPECT_EQ(SizeText(kGiB + kGiB / 8), "1.13 GB");
    EXPECT_EQ(SizeText(kGiB * 2 + kGiB / 200), "2.00 GB");
    EXPECT_EQ(SizeText(999 * kMiB + 1023), "1000.00 MB");
}

struct InventoryHarness : Harness {
    InventoryHarness() {
        sys.drives.clear();
        ui.CreateWindowFrom(MainWindowDesc(), nullptr);
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> cells;
        for (int r = 0; r < ui.RowCount(kMainWindow, kPartitionList); ++r)
            cells.push_back(ui.Cell(kMainWindow, kPartitionList, r, column));
        return cells;
    }
    void Load() { LoadPartitionInventory(program, kPartitionList); }
};

TEST(Inventory, RowsHoldRootNumbersTypeAndSizes) {
    InventoryHarness h;
    h.AddFixedDrive('C', 0, 1, 60ull << 30, 512ull << 20);
    h.AddFixedDrive('D', 0, 3, 1536ull << 20, (1025ull << 20));
    h.Load();
    ASSERT_EQ(h.ui.RowCount(kMainWindow, kPartitionList), 2);
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 0, 0), "C:\\");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 0, 1), "1:1");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 0, 3), "硬盘驱动器");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 0, 4), "60.00 GB");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 0, 5), "512.00 MB");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 1, 1), "1:3");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 1, 4), "1.50 GB");
    EXPECT_EQ(h.ui.Cell(kMainWindow, kPartitionList, 1, 5), "1.00 GB");
}

TEST(Inventory, UnusableVolumesAreDropped) {
    InventoryHarness h;
    h.AddFixedDrive('C', 0, 1);
    FakeDrive cd;
    cd.type = kDriveCdRom;
    h.sys.AddDrive('E', cd);
    FakeDrive network;
    network.type = kDriveRemote;
    network.hasDeviceNumber = false;
    h.sys.AddDrive('N', network);
    h.AddFixedDrive('P', 0, -1);  // no partition number
    h.AddFixedDrive('X', 0, 4);   // the preinstallation environment's own drive
    h.Load();
    EXPECT_EQ(h.Column(0), std::vector<std::string>{"C:\\"});
}

TEST(Inventory, FixedDrivesComeFirstThenRemovableThenOthers) {
    InventoryHarness h;
    FakeDrive usb;
    usb.type = kDriveRemovable;
    usb.deviceNumber = 1;
    usb.totalBytes = 8ull << 30;
    usb.freeBytes = 1ull << 30;
    h.sys.AddDrive('D', usb);
    FakeDrive ram;
    ram.type = kDriveRamDisk;
    ram.deviceNumber = 2;
    ram.totalBytes = 1ull << 30;
    ram.freeBytes = 1ull << 29;
    h.sys.AddDrive('B', ram);
    h.AddFixedDrive('C', 0, 1);
    h.AddFixedDrive('F', 0, 2);
    h.Load();
    EXPECT_EQ(h.Column(0), (std::vector<std::string>{"C:\\", "F:\\", "D:\\", "B:\\"}));
    EXPECT_EQ(h.Column(3),
              (std::vector<std::string>{"硬盘驱动器", "硬盘驱动器", "可移动驱动器", "RAM驱动器"}));
    EXPECT_EQ(ListDriveRoots(h.sys, 1), (std::vector<std::string>{"C:\\", "F:\\"}));
    EXPECT_EQ(ListDriveRoots(h.sys, 3), std::vector<std::string>{"D:\\"});
    EXPECT_TRUE(ListDriveRoots(h.sys, 2).empty());
}

TEST(Inventory, UnreadableSizesShowFailure) {
    InventoryHarness h;
    FakeDrive unknown;
    unknown.sizeKnown = false;
    h.sys.AddDrive('C', unknown);
    h.AddFixedDrive('D', 0, 2, 1000, 0);  // under 10 KiB reads 0.00 MB
    h.Load();
    EXPECT_EQ(h.Column(4), (std::vector<std::string>{"获取失败", "获取失败"}));
    EXPECT_EQ(h.Column(5), (std::vector<std::string>{"获取失败", "获取失败"}));
}

std::string Sector(unsigned char firstType) {
    std::string sector(512, '\0');
    sector[450] = char(firstType);
    sector[510] = char(0x55);
    sector[511] = char(0xAA);
    return sector;
}

TEST(Inventory, GptAndActiveAreDecidedPerRow) {
    InventoryHarness h;
    h.AddFixedDrive('C', 0, 1);  // disk 1: GPT
    h.AddFixedDrive('D', 1, 1);  // disk 2: MBR, active
    h.AddFixedDrive('E', 1, 2);  // disk 2: MBR, not active
    h.AddFixedDrive('F', 2, 1);  // disk 3: unreadable sector
    h.sys.physicalSectors[0] = Sector(0xEE);
    h.sys.physicalSectors[1] = Sector(0x07);
    h.sys.commandOutputs["cmd.exe /c omnifs32.exe info"] =
        "[C:\\] Active\r\n[d:\\] ACTIVE\r\n[E:\\] Inactive\r\n[F:\\] Active\r\n";
    h.Load();
    EXPECT_EQ(h.Column(2), (std::vector<std::string>{"GPT", "活动,Mbr", "", "活动,Mbr"}));
}

TEST(Inventory, ActiveTestSearchesTheKeptReport) {
    ProgramState state;
    state.omnifsReport = "x [C:\\] active y";
    EXPECT_TRUE(IsActivePartition(state, "c:\\"));
    EXPECT_TRUE(IsActivePartition(state, ""));  // no root counts as C
    EXPECT_FALSE(IsActivePartition(state, "D:\\"));
}

TEST(Inventory, LoadingShowsItsBalloonsAndRunsOmnifs) {
    InventoryHarness h;
    h.AddFixedDrive('C', 0, 1);
    h.Load();
    ASSERT_EQ(h.ui.balloons.size(), 2u);
    EXPECT_EQ(h.ui.balloons[0].text, "正在加载磁盘信息，请稍候.....");
    EXPECT_EQ(h.ui.balloons[1].text, "磁盘信息加载完成。");
    EXPECT_EQ(h.sys.commandsRun, std::vector<std::string>{"cmd.exe /c omnifs32.exe info"});
}

}  // namespace
