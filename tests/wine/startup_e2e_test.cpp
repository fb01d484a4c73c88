// The real StarBridge.exe under Wine: start-up, the single-instance guard, the tool
// files and the exits, driven from outside as a person would.
#include "base/ids/main_window.h"
#include "base/ids/windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>

#include "tests/wine/automation.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const char kWindowClass[] = "StarBridgeWindow";
const DWORD kStartTimeout = 60000;

const char* const kWindowsTools[] = {"C:\\windows\\ISO.exe", "C:\\windows\\Bootice.exe",
                                     "C:\\windows\\GHOSTEXP.exe", "C:\\windows\\qii32.exe",
                                     "C:\\windows\\Imagex.exe"};
const char* const kSystemTools[] = {"C:\\windows\\system32\\bcdboot.exe",
                                    "C:\\windows\\system32\\omnifs32.exe"};

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

FILETIME WriteTime(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path, GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

std::map<std::string, ULONGLONG> ToolTimes() {
    std::map<std::string, ULONGLONG> times;
    for (const char* path : kWindowsTools) {
        FILETIME t = WriteTime(path);
        times[path] = (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    }
    for (const char* path : kSystemTools) {
        FILETIME t = WriteTime(path);
        times[path] = (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    }
    return times;
}

bool StartsWithMz(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char head[2] = {};
    DWORD got = 0;
    ReadFile(file, head, 2, &got, nullptr);
    CloseHandle(file);
    return got == 2 && head[0] == 'M' && head[1] == 'Z';
}

class StartUpUnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* path : kWindowsTools) DeleteFileA(path);
        for (const char* path : kSystemTools) DeleteFileA(path);
    }
};

TEST_F(StartUpUnderWine, WritesTheToolFilesAndASecondStartWritesNothing) {
    {
        RunningProgram first(kProgram);
        ASSERT_TRUE(first.started());
        HWND window = WaitForWindow(first.id(), kWindowClass, kStartTimeout);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(Text(window), "岚舟软件星桥装机台");
        for (const char* path : kWindowsTools) EXPECT_TRUE(StartsWithMz(path)) << path;
        for (const char* path : kSystemTools) EXPECT_TRUE(StartsWithMz(path)) << path;
        first.Kill();  // an unclean end leaves the files behind
    }
    for (const char* path : kWindowsTools) ASSERT_TRUE(Exists(path)) << path;
    const auto before = ToolTimes();
    Sleep(1100);  // so that a rewrite would show in the times
    RunningProgram again(kProgram);
    ASSERT_NE(WaitForWindow(again.id(), kWindowClass, kStartTimeout), nullptr);
    EXPECT_EQ(ToolTimes(), before);
}

TEST_F(StartUpUnderWine, ASecondCopyIsRefusedAndLeavesTheFirstAlone) {
    RunningProgram first(kProgram);
    HWND window = WaitForWindow(first.id(), kWindowClass, kStartTimeout);
    ASSERT_NE(window, nullptr);
    const auto before = ToolTimes();

    RunningProgram second(kProgram);
    HWND box = WaitForMessageBox(second.id(), kStartTimeout);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "请勿重复运行！！");
    EXPECT_EQ(Text(box), "提示");
    EXPECT_TRUE(MessageBoxHasIcon(box));
    EXPECT_EQ(WaitForWindow(second.id(), kWindowClass, 0), nullptr);
    AnswerMessageBox(box, IDOK);
    ASSERT_TRUE(second.WaitForExit(20000));
    EXPECT_EQ(second.ExitCode(), 0u);

    EXPECT_TRUE(first.IsRunning());
    EXPECT_EQ(ToolTimes(), before);
    for (const char* path : kWindowsTools) EXPECT_TRUE(Exists(path)) << path;
}

TEST_F(StartUpUnderWine, TheCloseButtonRemovesTheToolFiles) {
    RunningProgram program(kProgram);
    HWND window = WaitForWindow(program.id(), kWindowClass, kStartTimeout);
    ASSERT_NE(window, nullptr);
    Click(window, kCloseButton);
    ASSERT_TRUE(program.WaitForExit(20000));
    EXPECT_EQ(program.ExitCode(), 0u);
    for (const char* path : kWindowsTools) EXPECT_FALSE(Exists(path)) << path;
    for (const char* path : kSystemTools) EXPECT_TRUE(Exists(path)) << path;
}

TEST_F(StartUpUnderWine, TheExitMenuItemEndsTheProgramAndCleansUp) {
    RunningProgram program(kProgram);
    HWND window = WaitForWindow(program.id(), kWindowClass, kStartTimeout);
    ASSERT_NE(window, nullptr);
    ChooseMenuItem(window, kMenuExit);
    ASSERT_TRUE(program.WaitForExit(20000));
    for (const char* path : kWindowsTools) EXPECT_FALSE(Exists(path)) << path;
}

TEST_F(StartUpUnderWine, ThePartitionListShowsTheSandboxDrives) {
    RunningProgram program(kProgram);
    HWND window = WaitForWindow(program.id(), kWindowClass, kStartTimeout);
    ASSERT_NE(window, nullptr);
    std::map<std::string, std::string> numbers;
    const int rows = ListRowCount(window, kPartitionList);
    for (int row = 0; row < rows; ++row) {
        numbers[ListCell(window, kPartitionList, row, 0)] =
            ListCell(window, kPartitionList, row, 1);
        EXPECT_EQ(ListCell(window, kPartitionList, row, 3), "硬盘驱动器");
        std::string total = ListCell(window, kPartitionList, row, 4);
        EXPECT_TRUE(total.size() > 3 && (total.compare(total.size() - 3, 3, " GB") == 0 ||
                                         total.compare(total.size() - 3, 3, " TB") == 0 ||
                                         total.compare(total.size() - 3, 3, " MB") == 0))
            << total;
    }
    // Drives mapped to folders are partitions 1, 2, 3 ... of disk 0, in letter order.
    EXPECT_EQ(numbers["C:\\"], "1:1");
    EXPECT_EQ(numbers["D:\\"], "1:2");
    EXPECT_EQ(numbers["E:\\"], "1:3");
    EXPECT_EQ(numbers["F:\\"], "1:4");
}

}  // namespace
