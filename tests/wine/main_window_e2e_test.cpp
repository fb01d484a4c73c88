// The real main window under Wine: refresh, modes and the partition menu's guard.
// Run by main_window_e2e.sh, which maps drive G: and takes it away on request.
#include "base/ids/main_window.h"
#include "base/ids/windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "tests/wine/automation.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";

std::set<std::string> Roots(HWND window) {
    std::set<std::string> roots;
    for (int row = 0; row < ListRowCount(window, kPartitionList); ++row)
        roots.insert(ListCell(window, kPartitionList, row, 0));
    return roots;
}

int RowOf(HWND window, const std::string& root) {
    for (int row = 0; row < ListRowCount(window, kPartitionList); ++row)
        if (ListCell(window, kPartitionList, row, 0) == root) return row;
    return -1;
}

struct MainWindowUnderWine : ::testing::Test {
    RunningProgram program{kProgram};
    HWND window = nullptr;
    void SetUp() override {
        window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
        ASSERT_NE(window, nullptr);
    }
};

TEST_F(MainWindowUnderWine, RefreshKeepsThePartitions) {
    const std::set<std::string> before = Roots(window);
    ASSERT_TRUE(before.count("D:\\"));
    ClickLabel(window, kRefreshLabel);
    // The list is emptied and filled again; wait until it settles.
    Sleep(500);
    ASSERT_TRUE(WaitUntil([&] { return Roots(window) == before; }, 20000));
    EXPECT_TRUE(IsEnabled(window, kStartButton));
    EXPECT_EQ(WaitForMessageBox(program.id(), 300), nullptr);
}

TEST_F(MainWindowUnderWine, CopyModeShowsTwoListsInTheExpandedWindow) {
    Click(window, kCopyMode);
    // The handler runs in the program; wait for its last step, the copied rows.
    ASSERT_TRUE(WaitUntil(
        [&] { return ListRowCount(window, kTargetList) == ListRowCount(window, kPartitionList); },
        10000));
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 666);
    EXPECT_TRUE(IsVisible(window, kTargetList));
    EXPECT_EQ(Text(window, kPromptLabel), "请选择源分区： 未选择");
    EXPECT_FALSE(IsVisible(window, kImagePathBox));
    EXPECT_FALSE(IsEnabled(window, kCollapseButton));
    Click(window, kBackupMode);
    ASSERT_TRUE(WaitUntil([&] { return !IsVisible(window, kTargetList); }, 10000));
    EXPECT_EQ(Text(window, kPromptLabel), "请保存Gho、WIM映像文件：");
    EXPECT_TRUE(IsVisible(window, kSavePathBox));
}

TEST_F(MainWindowUnderWine, OpeningAVanishedDriveNamesIt) {
    const int row = RowOf(window, "G:\\");
    ASSERT_GE(row, 0) << "the script maps G:";
    const std::string numbers = ListCell(window, kPartitionList, row, 1);
    ClickListRow(window, kPartitionList, row);
    ASSERT_TRUE(WaitUntil([&] { return Text(window, kSelectedRoot) == "G:\\"; }, 10000));

    // The script removes G: when asked.
    CloseHandle(CreateFileA("D:\\sb\\vanish.request", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    ASSERT_TRUE(WaitUntil(
        [] { return GetFileAttributesA("D:\\sb\\vanish.done") != INVALID_FILE_ATTRIBUTES; },
        20000));

    ChooseMenuItem(window, kMenuPartOpen);
    HWND box = WaitForMessageBox(program.id(), 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "G:\\(" + numbers + ") 不存在！");
    EXPECT_EQ(Text(box), "提示");
    AnswerMessageBox(box, IDOK);
}

}  // namespace
