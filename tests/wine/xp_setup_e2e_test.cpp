// Windows XP setup through the real window under Wine: the winnt32 stand-in in a setup
// folder on D: installs onto E:, and the line it was given, the answer file and the
// first-phase folders are checked on the sandbox drives.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/ids/main_window.h"
#include "base/ids/xp_setup.h"
#include "tests/wine/automation.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const char kLine[] =
    "D:\\I386\\winnt32.exe  /syspart:E:\\ /dudisable /s:D:\\I386  /unattend:E:\\unattend.txt "
    "/makelocalsource /tempdrive:E:\\ /noreboot";
const char kSerial[] = "ABCDE-12345-FGHIJ-67890-KLMNO";

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const std::string& path) {
    std::string text;
    return ReadStoreFile(path, &text) ? text : "(unreadable " + path + ")";
}

// The setup folder D:\I386 holds the stand-in as winnt32.EXE; E: holds nothing of setup.
void PrepareMedia() {
    CreateDirectoryA("D:\\I386", nullptr);
    ASSERT_TRUE(CopyFileA("D:\\sb\\winnt32_standin.exe", "D:\\I386\\winnt32.EXE", FALSE));
    DeleteFileA("D:\\I386\\winnt32-line.txt");
    DeleteFileA("E:\\unattend.txt");
    RemoveDirectoryA("E:\\$WIN_NT$.~BT");
    RemoveDirectoryA("E:\\$WIN_NT$.~LS");
}

int RowOf(HWND window, const std::string& root) {
    for (int row = 0; row < ListRowCount(window, kPartitionList); ++row)
        if (ListCell(window, kPartitionList, row, 0) == root) return row;
    return -1;
}

TEST(XpSetupUnderWine, SetupFolderOnDInstallsOntoE) {
    PrepareMedia();
    RunningProgram program(kProgram);
    HWND window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
    ASSERT_NE(window, nullptr);
    Click(window, kRestoreMode);
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(window, kImagePathBox); }, 10000));
    Type(window, kImagePathBox, "D:\\I386");
    const int row = RowOf(window, "E:\\");
    ASSERT_GE(row, 0);
    ClickListRow(window, kPartitionList, row);
    ASSERT_TRUE(WaitUntil([&] { return Text(window, kSelectedRoot) == "E:\\"; }, 10000));
    const std::string display = "E:\\(" + ListCell(window, kPartitionList, row, 1) + ")";

    Click(window, kStartButton);
    HWND setup =
        WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "安装 WindowsXP", 20000);
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(Text(setup, kXpQuestion), "将 WindowsXP 安装到 " + display + " ？");
    EXPECT_EQ(ComboItems(setup, kXpFormatChoice),
              (std::vector<std::string>{"手动 Format", "自动 NTFS", "自动 FAT32", "跳过 None"}));
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (sizeof(void*) == 8 || wow64) EXPECT_FALSE(IsEnabled(setup, kXpFormatChoice));
    Type(setup, kXpSerial, kSerial);
    Click(setup, kXpOk);

    HWND box = WaitForMessageBox(program.id(), 120000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "WindowsXP安装第一阶段完成，是否重启计算机进行第二阶段的安装？");
    AnswerMessageBox(box, IDNO);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));

    EXPECT_EQ(Contents("D:\\I386\\winnt32-line.txt"), kLine);
    const std::string answers = Contents("E:\\unattend.txt");
    EXPECT_EQ(answers.substr(0, 14), ";SetupMgrTag\r\n");
    char serial[64] = {};
    GetPrivateProfileStringA("UserData", "ProductID", "", serial, sizeof serial,
                             "E:\\unattend.txt");
    EXPECT_STREQ(serial, kSerial);
    char workgroup[64] = {};
    GetPrivateProfileStringA("Identification", "JoinWorkgroup", "", workgroup, sizeof workgroup,
                             "E:\\unattend.txt");
    EXPECT_STREQ(workgroup, "WORKGROUP");
    EXPECT_TRUE(Exists("E:\\$WIN_NT$.~BT"));
    EXPECT_TRUE(Exists("E:\\$WIN_NT$.~LS"));

    // The window stays open after No, ready again.
    EXPECT_TRUE(IsWindow(setup));
    EXPECT_TRUE(IsVisible(setup, kXpOk));
    Click(setup, kXpCancel);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(setup); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));
}

}  // namespace
