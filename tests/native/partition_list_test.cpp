#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/partition_list.h"
#include "disk/volume_label.h"
#include "tests/native/harness.h"

namespace {

struct ListHarness : Harness {
    ListHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 1, 1);
        EXPECT_TRUE(Start());
    }
    std::string Text(int control) { return ui.GetText(kMainWindow, control); }
};

TEST(PartitionList, ClickWritesTheSelectionFields) {
    ListHarness h;
    h.ui.ClickRow(kMainWindow, kPartitionList, 1);
    EXPECT_EQ(h.Text(kSelectedRoot), "D:\\");
    EXPECT_EQ(h.Text(kSelectedDiskPartition), "1:2");
    EXPECT_EQ(h.Text(kSelectedDisplay), "D:\\(1:2)");
    EXPECT_EQ(h.Text(kSelectedDeviceType), "硬盘驱动器");
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    EXPECT_TRUE(h.ui.popups.empty());
}

TEST(PartitionList, UnknownSizesGateTheStartButton) {
    ListHarness h;
    h.ui.SetCell(kMainWindow, kPartitionList, 0, 5, "未知");
    h.ui.ClickRow(kMainWindow, kPartitionList, 0);
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));
    h.ui.ClickRow(kMainWindow, kPartitionList, 1, true);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    ASSERT_EQ(h.ui.popups.size(), 1u);
    EXPECT_EQ(h.ui.popups[0].menu, kPartitionMenu);
    h.ui.SetCell(kMainWindow, kPartitionList, 2, 4, "未知");
    h.ui.ClickRow(kMainWindow, kPartitionList, 2, true);
    EXPECT_EQ(h.ui.popups.size(), 1u);
}

TEST(PartitionList, CopyModeClicksChooseSourceAndTarget) {
    ListHarness h;
    h.ui.Click(kMainWindow, kCopyMode);
    h.ui.ClickRow(kMainWindow, kPartitionList, 1);
    EXPECT_EQ(h.Text(kPromptLabel), "请选择源分区： D:\\(1:2)");
    EXPECT_EQ(h.program.state.copySourceDiskPartition, "1:2");
    h.ui.ClickRow(kMainWindow, kTargetList, 2);
    EXPECT_EQ(h.Text(kTargetLabel), "请选择目标分区： E:\\(2:1)");
    EXPECT_EQ(h.program.state.copyTargetRoot, "E:\\");
    // Any mode change clears both.
    h.ui.Click(kMainWindow, kBackupMode);
    EXPECT_TRUE(h.program.state.copySourceRoot.empty());
    EXPECT_TRUE(h.program.state.copyTargetRoot.empty());
}

TEST(PartitionList, RefreshKeepsRowsAndCopiesThemInCopyMode) {
    ListHarness h;
    h.ui.Click(kMainWindow, kCopyMode);
    h.AddFixedDrive('F', 1, 2);
    h.ui.balloons.clear();
    h.ui.Click(kMainWindow, kRefreshLabel);
    EXPECT_EQ(h.ui.RowCount(kMainWindow, kPartitionList), 4);
    EXPECT_EQ(h.ui.RowCount(kMainWindow, kTargetList), 4);
    EXPECT_EQ(h.ui.Cell(kMainWindow, kTargetList, 3, 0), "F:\\");
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kCollapseButton));
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    ASSERT_GE(h.ui.balloons.size(), 2u);
    EXPECT_EQ(h.ui.balloons.front().text, "正在刷新分区，请稍候.....");
    EXPECT_EQ(h.ui.balloons.front().title, "提示");
    EXPECT_EQ(h.ui.balloons.back().text, "刷新分区完成！");
}

TEST(PartitionList, RefreshWithNoPartitionsWarnsAgain) {
    ListHarness h;
    for (auto& drive : h.sys.drives) drive.second.hasDeviceNumber = false;
    h.ui.Click(kMainWindow, kRefreshLabel);
    EXPECT_EQ(h.ui.RowCount(kMainWindow, kPartitionList), 0);
    ASSERT_EQ(h.ui.messageBoxes.size(), 1u);
    EXPECT_EQ(h.ui.messageBoxes[0].text.rfind("未检测到可用的硬盘分区！", 0), 0u);
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kPartitionList));
}

TEST(PartitionMenu, OpenRunsStartOnTheDrive) {
    ListHarness h;
    h.ui.ClickRow(kMainWindow, kPartitionList, 1, true);
    h.ui.ChooseMenu(kMainWindow, kMenuPartOpen);
    EXPECT_EQ(h.sys.commandsRun.back(), "cmd.exe /c Start D:\\");
    EXPECT_TRUE(h.ui.messageBoxes.empty());
}

TEST(PartitionMenu, FormatAndPropertiesUseTheSystemsDialogs) {
    ListHarness h;
    h.ui.ClickRow(kMainWindow, kPartitionList, 2, true);  // E:
    h.ui.ChooseMenu(kMainWindow, kMenuPartFormat);
    h.ui.ChooseMenu(kMainWindow, kMenuPartProperties);
    EXPECT_EQ(h.sys.shellLog, (std::vector<std::string>{"format 4", "properties E:\\"}));
}

TEST(PartitionMenu, AVanishedDriveIsNamedAndNothingRuns) {
    ListHarness h;
    h.ui.ClickRow(kMainWindow, kPartitionList, 1, true);
    h.sys.drives.erase('D');
    const size_t runs = h.sys.commandsRun.size();
    h.ui.ChooseMenu(kMainWindow, kMenuPartOpen);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"D:\\(1:2) 不存在！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));
    EXPECT_EQ(h.sys.commandsRun.size(), runs);
}

TEST(PartitionMenu, APartitionWithoutALetterSaysSo) {
    ListHarness h;
    int row = h.ui.AddRow(kMainWindow, kPartitionList,
                          {"无", "2 : 3", "", "硬盘驱动器", "1.00 GB", "1.00 GB"});
    h.ui.ClickRow(kMainWindow, kPartitionList, row, true);
    h.ui.ChooseMenu(kMainWindow, kMenuPartInfo);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"分区 2:3 未分配盘符，无法操作！"});
}

TEST(VolumeLabel, RootPathRuleByLength) {
    FakeSys sys;
    sys.drives['C'].label = "系统";
    std::string drive = "C:\\";
    EXPECT_EQ(QueryVolumeLabel(sys, drive), "系统");
    EXPECT_EQ(drive, "C:\\");
    drive = "C:";
    EXPECT_EQ(QueryVolumeLabel(sys, drive), "系统");
    EXPECT_EQ(drive, "C:\\");
    drive = "C:\\\\";
    QueryVolumeLabel(sys, drive);
    EXPECT_EQ(drive, "C:\\\\\\");
    drive = "Q:";
    EXPECT_EQ(QueryVolumeLabel(sys, drive), "");
    sys.drives['C'].label = "";
    drive = "C:\\";
    EXPECT_EQ(QueryVolumeLabel(sys, drive), "");
}

}  // namespace
