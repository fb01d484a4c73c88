// Windows XP setup through the real window under Wine: the winnt32 stand-in, in a setup
// folder on D: or chosen directly from a folder with a blank in its name, installs onto
// E:, and the line it was given, the answer file and the first-phase folders are checked
// on the sandbox drives.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/ids/main_window.h"
#include "base/ids/xp_setup.h"
#include "tests/wine/automation.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const char kSerial[] = "ABCDE-12345-FGHIJ-67890-KLMNO";
const char kRestartQuestion[] = "WindowsXP安装第一阶段完成，是否重启计算机进行第二阶段的安装？";

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const std::string& path) {
    std::string text;
    return ReadStoreFile(path, &text) ? text : "(unreadable " + path + ")";
}

std::string Profile(const char* section, const char* key, const char* path) {
    char value[128] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
    return value;
}

struct XpSetupUnderWine : ::testing::Test {
    // Puts the stand-in into the folder as winnt32.EXE; E: holds nothing of setup.
    void PrepareMedia(const std::string& folder) {
        CreateDirectoryA(folder.substr(0, folder.find('\\', 3)).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileA("D:\\sb\\winnt32_standin.exe", (folder + "\\winnt32.EXE").c_str(), FALSE));
        DeleteFileA((folder + "\\winnt32-line.txt").c_str());
        DeleteFileA("E:\\unattend.txt");
        RemoveDirectoryA("E:\\$WIN_NT$.~BT");
        RemoveDirectoryA("E:\\$WIN_NT$.~LS");
    }

    int RowOf(const std::string& root) {
        for (int row = 0; row < ListRowCount(window, kPartitionList); ++row)
            if (ListCell(window, kPartitionList, row, 0) == root) return row;
        return -1;
    }

    // Chooses the media and E: and presses start; the setup window, checked as it opens.
    void OpenSetupWindow(const std::string& media) {
        window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
        ASSERT_NE(window, nullptr);
        Click(window, kRestoreMode);
        ASSERT_TRUE(WaitUntil([&] { return IsVisible(window, kImagePathBox); }, 10000));
        Type(window, kImagePathBox, media);
        const int row = RowOf("E:\\");
        ASSERT_GE(row, 0);
        ClickListRow(window, kPartitionList, row);
        ASSERT_TRUE(WaitUntil([&] { return Text(window, kSelectedRoot) == "E:\\"; }, 10000));
        const std::string display = "E:\\(" + ListCell(window, kPartitionList, row, 1) + ")";

        Click(window, kStartButton);
        setup = WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "安装 WindowsXP", 20000);
        ASSERT_NE(setup, nullptr);
        EXPECT_EQ(Text(setup, kXpQuestion), "将 WindowsXP 安装到 " + display + " ？");
        EXPECT_EQ(
            ComboItems(setup, kXpFormatChoice),
            (std::vector<std::string>{"手动 Format", "自动 NTFS", "自动 FAT32", "跳过 None"}));
        // A 64-bit Windows never formats here.
        BOOL wow64 = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow64);
        const bool host64 = sizeof(void*) == 8 || wow64;
        EXPECT_EQ(IsEnabled(setup, kXpFormatChoice), !host64);
    }

    // Presses OK and answers the restart question with No; false when it never came.
    bool InstallAndDeclineRestart() {
        Click(setup, kXpOk);
        HWND box = WaitForMessageBox(program.id(), 120000);
        if (!box) return false;
        EXPECT_EQ(MessageBoxText(box), kRestartQuestion);
        AnswerMessageBox(box, IDNO);
        return WaitUntil([&] { return !IsWindow(box); }, 10000);
    }

    void ExpectFirstPhaseOnE() {
        EXPECT_TRUE(Exists("E:\\$WIN_NT$.~BT"));
        EXPECT_TRUE(Exists("E:\\$WIN_NT$.~LS"));
    }

    RunningProgram program{kProgram};
    HWND window = nullptr;
    HWND setup = nullptr;
};

TEST_F(XpSetupUnderWine, SetupFolderOnDInstallsOntoE) {
    PrepareMedia("D:\\I386");
    OpenSetupWindow("D:\\I386");
    Type(setup, kXpSerial, kSerial);
    ASSERT_TRUE(InstallAndDeclineRestart());

    EXPECT_EQ(Contents("D:\\I386\\winnt32-line.txt"),
              "D:\\I386\\winnt32.exe  /syspart:E:\\ /dudisable /s:D:\\I386  "
              "/unattend:E:\\unattend.txt /makelocalsource /tempdrive:E:\\ /noreboot");
    EXPECT_EQ(Contents("E:\\unattend.txt").substr(0, 14), ";SetupMgrTag\r\n");
    EXPECT_EQ(Profile("UserData", "ProductID", "E:\\unattend.txt"), kSerial);
    EXPECT_EQ(Profile("Identification", "JoinWorkgroup", "E:\\unattend.txt"), "WORKGROUP");
    ExpectFirstPhaseOnE();

    // After No the window stays open, ready again; Cancel frees the main window.
    EXPECT_TRUE(IsWindow(setup));
    EXPECT_TRUE(IsVisible(setup, kXpOk));
    Click(setup, kXpCancel);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(setup); }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));
}

TEST_F(XpSetupUnderWine, ASetupProgramInAFolderWithABlankGetsItsSourceQuoted) {
    PrepareMedia("D:\\XP CD\\I386");
    OpenSetupWindow("D:\\XP CD\\I386\\winnt32.EXE");
    PickComboItem(setup, kXpModeChoice, kXpManual);
    ASSERT_TRUE(WaitUntil([&] { return !IsEnabled(setup, kXpSerial); }, 10000));
    ASSERT_TRUE(InstallAndDeclineRestart());

    EXPECT_EQ(Contents("D:\\XP CD\\I386\\winnt32-line.txt"),
              "\"D:\\XP CD\\I386\\winnt32.EXE\"  /syspart:E:\\ /dudisable /s:\"D:\\XP CD\\I386\" "
              "/makelocalsource /tempdrive:E:\\ /noreboot");
    EXPECT_FALSE(Exists("E:\\unattend.txt"));
    ExpectFirstPhaseOnE();
}

}  // namespace
