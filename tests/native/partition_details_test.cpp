// The partition details window: its thirteen lines, the usage percent, the Windows
// version table and Bootice's disk model.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/ids/partition_details.h"
#include "disk/partition_details.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

const char kBootice[] =
    "cmd.exe /c C:\\Windows\\Bootice.exe /diskinfo /getdrv /drive=0 "
    "/file=C:\\Windows\\diskinfo.txt";

struct DetailsHarness : Harness {
    DetailsHarness() {
        FakeDrive d;
        d.deviceNumber = 0;
        d.partitionNumber = 2;
        d.totalBytes = 25ull << 29;  // 12.5 GiB
        d.freeBytes = 10ull << 30;
        d.label = "";
        d.fileSystem = "NTFS";
        sys.AddDrive('D', d);
        sys.physicalSectors[0] = std::string(512, '\0');
        sys.onCommand = [this](const std::string& line) {
            if (line == kBootice && !booticeReport.empty())
                sys.AddFile("C:\\Windows\\diskinfo.txt", booticeReport);
        };
        EXPECT_TRUE(Start());
        ui.ClickRow(kMainWindow, kPartitionList, 1);
        ui.balloons.clear();
    }
    std::string booticeReport = "[Disk]\r\nSET USBDRIVEDESC=ACME DISK 1000 (931.5 GB)\r\n";
    std::string Open() {
        ui.ChooseMenu(kMainWindow, kMenuPartInfo);
        return ui.GetText(kPartitionDetailsWindow, kDetailsText);
    }
};

TEST(PartitionDetails, ThirteenLinesForADataPartition) {
    DetailsHarness h;
    EXPECT_EQ(h.Open(),
              "盘    符：D:\\\\\r\n"
              "位    置：第 1 个硬盘的第 2 分区\r\n"
              "总 大 小：12.5 GB \r\n"
              "可用大小：10 GB\r\n"
              "已用大小：2.5 GB \r\n"
              "使 用 率：20%\r\n"
              "磁盘卷标：空\r\n"
              "操作系统：无\r\n"
              "文件系统：NTFS\r\n"
              "磁盘类型：硬盘驱动器\r\n"
              "活动分区：否\r\n"
              "磁盘型号：ACME DISK 1000\r\n"
              "GPT 分区：否");
    ASSERT_EQ(h.ui.balloons.size(), 2u);
    EXPECT_EQ(h.ui.balloons[0].text, "正在加载分区信息.....");
    EXPECT_EQ(h.ui.balloons[1].text, "加载分区信息完成。");
    h.ui.Click(kPartitionDetailsWindow, kDetailsSmallLabel);
    EXPECT_TRUE(h.ui.GetWindow(kPartitionDetailsWindow).destroyed);
}

TEST(PartitionDetails, WindowsVersionLabelGptAndAFailedBooticeRun) {
    DetailsHarness h;
    h.sys.drives['D'].label = "SYS";
    h.sys.AddFile("D:\\windows\\system32\\cmd.exe", "x");
    h.sys.fileVersions["D:\\WINDOWS\\SYSTEM32\\CMD.EXE"] = "6.1.7601.17514";
    std::string gpt(512, '\0');
    gpt[450] = char(0xEE);
    h.sys.physicalSectors[0] = gpt;
    const std::string first = h.Open();
    EXPECT_NE(first.find("操作系统：Windows 7\r\n"), std::string::npos);
    EXPECT_NE(first.find("磁盘卷标：SYS\r\n"), std::string::npos);
    EXPECT_NE(first.find("\r\nGPT 分区：是"), std::string::npos);

    // Bootice fails this time: no model, not the one of the run before.
    h.ui.Click(kPartitionDetailsWindow, kDetailsClose);
    h.booticeReport.clear();
    h.sys.physicalSectors.erase(0);
    const std::string second = h.Open();
    EXPECT_NE(second.find("磁盘型号：\r\n"), std::string::npos) << second;
    EXPECT_NE(second.find("\r\nGPT 分区：获取失败"), std::string::npos);
}

TEST(PartitionDetails, UsagePercentIsNotCutBelowItsRoundedValue) {
    for (int percent : {29, 57, 58, 0, 100}) {
        DetailsHarness h;
        h.sys.drives['D'].totalBytes = 100ull << 20;
        h.sys.drives['D'].freeBytes = std::uint64_t(100 - percent) << 20;
        EXPECT_EQ(UsagePercent(h.program, "D:\\"), percent);
    }
}

TEST(PartitionDetails, WindowsVersionTable) {
    const std::pair<const char*, const char*> table[] = {
        {"5.0.2195.1", "Windows 2000"},
        {"5.1.2600.0", "Windows XP"},
        {"5.2.3790.0", "Windows 2003"},
        {"6.0.6002.1", "Windows Vista"},
        {"6.2.9200.0", "Windows 8"},
        {"6.3.9600.0", "Windows 8.1"},
        {"6.4.9841.0", "Windows 10技术预览版"},
        {"10.0.19041.1", "Windows 10"},
        {"7.0.1.1", "未知的Windows版本"},
    };
    DetailsHarness h;
    h.sys.AddFile("D:\\windows\\system32\\cmd.exe", "x");
    for (const auto& row : table) {
        h.sys.fileVersions["D:\\WINDOWS\\SYSTEM32\\CMD.EXE"] = row.first;
        EXPECT_EQ(WindowsVersionOfDrive(h.program, "D:\\"), row.second) << row.first;
    }
}

TEST(PartitionDetails, ReportLinesAndModelText) {
    DetailsHarness h;
    h.sys.AddFile("C:\\r.txt", "one\r\nset usbdrivedesc=Disk X (1 GB)\r\nthree");
    EXPECT_EQ(ReadTextLine(h.program, "C:\\r.txt", 1), "one");
    EXPECT_EQ(ReadTextLine(h.program, "C:\\r.txt", 3), "three");
    EXPECT_EQ(ReadTextLine(h.program, "C:\\r.txt", 4), "");
    EXPECT_EQ(ReadTextLine(h.program, "C:\\r.txt", 0), "");
    EXPECT_EQ(GigabyteText(2ull << 30), "2");
    h.booticeReport = "x\r\nSET USBDRIVEDESC=NO PARENTHESIS\r\n";
    EXPECT_EQ(DiskModelFromBootice(h.program, "C:\\Windows\\Bootice.exe", 1), "");
    h.booticeReport = "x\r\nset USBDriveDesc=Disk X (1 GB)\r\n";
    EXPECT_EQ(DiskModelFromBootice(h.program, "C:\\Windows\\Bootice.exe", 1), "Disk X");
}

}  // namespace
