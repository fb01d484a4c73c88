// The real main window under Wine: refresh, modes and the partition menu's guard.
// Run by main_window_e2e.sh, which maps drive G: and takes it away on request.
#include "app/main_window.h"

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
    ASSERT_TRUE(WaitUntil([&] {
        return ListRowCount(window, kTargetList) == ListRowCount(window, kPartitionList);
    }, 10000));
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
    CloseHandle(CreateFileA("D:\\sb\\vanish.request", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(WaitUntil([] { return GetFileAttributesA("D:\\sb\\vanish.done") != INVALID_FILE_ATTRIBUTES; }, 20000));

    ChooseMenuItem(window, kMenuPartOpen);
    HWND box = WaitForMessageBox(program.id(), 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "G:\\(" + numbers + ") 不存在！");
    EXPECT_EQ(Text(box), "提示");
    AnswerMessageBox(box, IDOK);
}

}  // namespace

namespace {

bool SameFileContents(const char* a, const char* b) {
    auto read = [](const char* path, std::string* out) {
        HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out->append(buffer, got);
        CloseHandle(f);
        return true;
    };
    std::string x, y;
    return read(a, &x) && read(b, &y) && x == y;
}

HWND FindOwnWindowWithCaption(DWORD processId, const std::string& caption, DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil([&] {
        found = nullptr;
        for (HWND w = FindWindowA("StarBridgeWindow", nullptr); w; w = FindWindowExA(nullptr, w, "StarBridgeWindow", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == processId && IsWindowVisible(w) && Text(w) == caption) found = w;
        }
        return found != nullptr;
    }, milliseconds);
    return found;
}

TEST_F(MainWindowUnderWine, RestoresAGhostImageThroughTheWindow) {
    // An image of D: made by the engine the program wrote out.
    CreateDirectoryA("D:\\sample", nullptr);
    HANDLE f = CreateFileA("D:\\sample\\restore-me.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "restored through the window\r\n", 29, &written, nullptr);
    CloseHandle(f);
    DeleteFileA("F:\\window.gho");
    {
        RunningProgram backup("cmd.exe /c C:\\windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"F:\\window.gho\" -z1 -sure -fx");
        ASSERT_TRUE(backup.WaitForExit(120000));
    }
    ASSERT_NE(GetFileAttributesA("F:\\window.gho"), INVALID_FILE_ATTRIBUTES);
    DeleteFileA("E:\\sample\\restore-me.txt");

    Type(window, kImagePathBox, "F:\\window.gho");
    const int row = RowOf(window, "E:\\");
    ASSERT_GE(row, 0);
    ClickListRow(window, kPartitionList, row);
    ASSERT_TRUE(WaitUntil([&] { return Text(window, kSelectedRoot) == "E:\\"; }, 10000));
    Click(window, kStartButton);
    HWND confirm = FindOwnWindowWithCaption(program.id(), "Allset Ghost", 20000);
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(Text(confirm, 2), "注意：本操作将删除 E:\\(" + ListCell(window, kPartitionList, row, 1) + ") 上的所有数据。");
    Click(confirm, 5);  // OK
    HWND report = WaitForMessageBox(program.id(), 180000);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(MessageBoxText(report).rfind("Ghost应用映像到磁盘完成！\r\n映像名称：window.gho", 0), 0u)
        << MessageBoxText(report);
    AnswerMessageBox(report, IDOK);
    EXPECT_TRUE(SameFileContents("D:\\sample\\restore-me.txt", "E:\\sample\\restore-me.txt"));
}

}  // namespace
