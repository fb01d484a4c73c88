// Ghost jobs through the real window under Wine, with the Ghost engine the program
// writes out: restore, backup (through the save dialog) and partition copy, each
// checked on the files of the sandbox drives, and an engine failure's text.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "base/ids/countdown.h"
#include "base/ids/ghost_confirmation.h"
#include "base/ids/main_window.h"
#include "base/ids/windows.h"
#include "tests/wine/automation.h"
#include "tests/wine/main_window_steps.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const DWORD kGhostRun = 180000;

struct GhostJobsUnderWine : ::testing::Test {
    RunningProgram program{kProgram};
    HWND window = nullptr;

    void SetUp() override {
        window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
        ASSERT_NE(window, nullptr);
    }

    int RowOf(int list, const std::string& root) { return RowOfRoot(window, list, root); }
    std::string Named(const std::string& root) { return NamedPartition(window, root); }
    void SelectSource(const std::string& root) {
        ASSERT_TRUE(ChoosePartition(window, root)) << root;
    }
    void SwitchMode(int radio, int visibleControl) {
        ASSERT_TRUE(ChooseMode(window, radio, visibleControl));
    }
    HWND PressStartForConfirmation() {
        Click(window, kStartButton);
        return WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Ghost", 20000);
    }
    // Presses OK and returns the message box that ends the run.
    std::string RunConfirmed(HWND confirm) {
        Click(confirm, kConfirmOk);
        HWND box = WaitForMessageBox(program.id(), kGhostRun);
        if (!box) return "(no message)";
        std::string text = MessageBoxText(box);
        AnswerMessageBox(box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
        return text;
    }
    void RestoreOnto(const std::string& image, const std::string& root) {
        SwitchMode(kRestoreMode, kImagePathBox);
        Type(window, kImagePathBox, image);
        SelectSource(root);
        HWND confirm = PressStartForConfirmation();
        ASSERT_NE(confirm, nullptr);
        EXPECT_EQ(Text(confirm, kConfirmWarning),
                  "注意：本操作将删除 " + Named(root) + " 上的所有数据。");
        const std::string report = RunConfirmed(confirm);
        const std::string title = image.substr(image.find_last_of('\\') + 1);
        EXPECT_EQ(report, "Ghost应用映像到磁盘完成！\r\n映像名称：" + title + "\r\n安装分区：" +
                              Named(root));
    }
};

std::string Contents(const std::string& path) {
    std::string text;
    return ReadStoreFile(path, &text) ? text : "(unreadable " + path + ")";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(GhostJobsUnderWine, RestoresAnImageFromDOntoE) {
    CreateDirectoryA("D:\\sample", nullptr);
    ASSERT_TRUE(WriteWholeFile("D:\\sample\\restore-me.txt", "restored through the window\r\n"));
    DeleteFileA("F:\\window.gho");
    {
        RunningProgram backup(
            "cmd.exe /c C:\\windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"F:\\window.gho\" "
            "-z1 -sure -fx");
        ASSERT_TRUE(backup.WaitForExit(kGhostRun));
    }
    // The sample image then lies on D:, as a technician's image would.
    ASSERT_TRUE(MoveFileExA("F:\\window.gho", "D:\\sample.gho",
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    DeleteFileA("E:\\sample\\restore-me.txt");
    RestoreOnto("D:\\sample.gho", "E:\\");
    EXPECT_EQ(Contents("E:\\sample\\restore-me.txt"), "restored through the window\r\n");
    DeleteFileA("D:\\sample.gho");
}

TEST_F(GhostJobsUnderWine, BacksUpThroughTheSaveDialogAndRestoresTheImage) {
    CreateDirectoryA("D:\\sample", nullptr);
    ASSERT_TRUE(WriteWholeFile("D:\\sample\\backup-me.txt", "backed up through the window\r\n"));
    DeleteFileA("F:\\wine-backup.gho");

    SwitchMode(kBackupMode, kSavePathBox);
    SelectSource("D:\\");
    Click(window, kBrowseButton);
    HWND dialog = WaitForWindowWithCaption(program.id(), "#32770", "保存Gho、WIM映像文件", 20000);
    ASSERT_NE(dialog, nullptr);
    // The file name box: a combo box (0x47C) in the Explorer-style dialog, else an edit (0x480).
    int nameBox = Control(dialog, 0x47C) ? 0x47C : 0x480;
    std::string proposed;
    ASSERT_TRUE(WaitUntil([&] { return !(proposed = Text(dialog, nameBox)).empty(); }, 10000));
    EXPECT_EQ(proposed.substr(0, 6), "D_BAK_") << proposed;
    EXPECT_EQ(proposed.size(), 6u + 5u + 4u) << proposed;
    Type(dialog, nameBox, "F:\\wine-backup.gho");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 20000));
    ASSERT_TRUE(
        WaitUntil([&] { return Text(window, kSavePathBox) == "F:\\wine-backup.gho"; }, 10000))
        << Text(window, kSavePathBox);

    HWND confirm = PressStartForConfirmation();
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(Text(confirm, kConfirmHeadline),
              "是否马上用 Ghost32 进行备份分区 " + Named("D:\\") + " ？");
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d ", today.wYear, today.wMonth, today.wDay);
    const std::string report = RunConfirmed(confirm);
    EXPECT_EQ(report.rfind("Ghost备份完成！\r\n\r\n备份分区：" + Named("D:\\") +
                               "\r\n\r\n保存位置：F:\\wine-backup.gho\r\n\r\n大      小：",
                           0),
              0u)
        << report;
    EXPECT_NE(report.find(" MB\r\n\r\n备份日期：" + std::string(date)), std::string::npos)
        << report;
    ASSERT_TRUE(Exists("F:\\wine-backup.gho"));
    EXPECT_EQ(WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Ghost", 500),
              nullptr);

    DeleteFileA("E:\\sample\\backup-me.txt");
    RestoreOnto("F:\\wine-backup.gho", "E:\\");
    EXPECT_EQ(Contents("E:\\sample\\backup-me.txt"), "backed up through the window\r\n");
}

TEST_F(GhostJobsUnderWine, CopiesAPartitionAndOffersTheCountdown) {
    CreateDirectoryA("D:\\sample", nullptr);
    ASSERT_TRUE(WriteWholeFile("D:\\sample\\copy-me.txt", "copied partition to partition\r\n"));
    DeleteFileA("E:\\sample\\copy-me.txt");

    SwitchMode(kCopyMode, kTargetList);
    ASSERT_TRUE(WaitUntil(
        [&] { return ListRowCount(window, kTargetList) == ListRowCount(window, kPartitionList); },
        10000));
    SelectSource("D:\\");
    const int target = RowOf(kTargetList, "E:\\");
    ASSERT_GE(target, 0);
    ClickListRow(window, kTargetList, target);
    ASSERT_TRUE(WaitUntil(
        [&] { return Text(window, kTargetLabel) == "请选择目标分区： " + Named("E:\\"); }, 10000));
    EXPECT_EQ(Text(window, kPromptLabel), "请选择源分区： " + Named("D:\\"));

    // First run: the plain report, with the confirmation left open.
    HWND confirm = PressStartForConfirmation();
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(Text(confirm, kConfirmHeadline), "将 " + Named("D:\\") + " 拷贝到 " + Named("E:\\"));
    EXPECT_EQ(Text(confirm, kConfirmWarning), "注意：本操作将删除 E:\\ 上的所有数据。");
    EXPECT_EQ(RunConfirmed(confirm), Named("D:\\") + " 对拷至 " + Named("E:\\") + "完成。");
    EXPECT_EQ(Contents("E:\\sample\\copy-me.txt"), "copied partition to partition\r\n");
    ASSERT_TRUE(IsWindow(confirm));
    Click(confirm, kConfirmCancel);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));

    // Second run with "完成后重启(&R)": the countdown, stopped with No before it ends.
    ASSERT_TRUE(WriteWholeFile("D:\\sample\\copy-me.txt", "copied again\r\n"));
    Click(window, kRestartOption);
    confirm = PressStartForConfirmation();
    ASSERT_NE(confirm, nullptr);
    Click(confirm, kConfirmOk);
    HWND countdown = WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "提示", kGhostRun);
    ASSERT_NE(countdown, nullptr);
    const std::string label = Text(countdown, kCountdownLabel);
    EXPECT_EQ(label.rfind("还原已完成，", 0), 0u) << label;
    EXPECT_NE(label.find(" 秒后自动重启！"), std::string::npos) << label;
    Click(countdown, kCountdownNo);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(countdown); }, 10000));
    EXPECT_FALSE(IsWindow(confirm));
    EXPECT_TRUE(program.IsRunning());
    EXPECT_EQ(Contents("E:\\sample\\copy-me.txt"), "copied again\r\n");
}

TEST_F(GhostJobsUnderWine, AnEngineFailureShowsItsTextAndKeepsTheTarget) {
    std::string garbage(64 * 1024, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = char(i * 131 + 7);
    ASSERT_TRUE(WriteWholeFile("F:\\broken.gho", garbage));
    ASSERT_TRUE(WriteWholeFile("E:\\keep-me.txt", "still here\r\n"));

    SwitchMode(kRestoreMode, kImagePathBox);
    Type(window, kImagePathBox, "F:\\broken.gho");
    SelectSource("E:\\");
    HWND confirm = PressStartForConfirmation();
    ASSERT_NE(confirm, nullptr);
    const std::string message = RunConfirmed(confirm);
    const std::string head = "Ghost还原错误！\r\n错误信息：\r\n";
    EXPECT_EQ(message.rfind(head, 0), 0u) << message;
    EXPECT_GT(message.size(), head.size() + 4) << "the engine's own text follows";
    EXPECT_EQ(Contents("E:\\keep-me.txt"), "still here\r\n");
    // The dialog stays for another try.
    EXPECT_TRUE(IsWindow(confirm));
    EXPECT_TRUE(WaitUntil([&] { return IsVisible(confirm, kConfirmOk); }, 10000));
}

TEST_F(GhostJobsUnderWine, AnEngineKilledHalfWayIsReportedAsAFailure) {
    CreateDirectoryA("D:\\sample", nullptr);
    ASSERT_TRUE(WriteWholeFile("D:\\sample\\killed.txt", "the engine will not finish\r\n"));
    DeleteFileA("F:\\killed.gho");
    {
        RunningProgram backup(
            "cmd.exe /c C:\\windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"F:\\killed.gho\" "
            "-z1 -sure -fx");
        ASSERT_TRUE(backup.WaitForExit(kGhostRun));
    }
    SwitchMode(kRestoreMode, kImagePathBox);
    Type(window, kImagePathBox, "F:\\killed.gho");
    SelectSource("E:\\");
    HWND confirm = PressStartForConfirmation();
    ASSERT_NE(confirm, nullptr);
    Click(confirm, kConfirmOk);
    // The engine is ended as soon as it appears, before it can print anything.
    ASSERT_TRUE(WaitUntil([] { return KillProcessNamed("qii32.exe"); }, 60000));
    HWND box = WaitForMessageBox(program.id(), kGhostRun);
    ASSERT_NE(box, nullptr);
    const std::string message = MessageBoxText(box);
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(message, "Ghost还原错误！\r\n错误信息：\r\nGhost 程序异常结束，退出代码：1");
    EXPECT_TRUE(IsWindow(confirm));
    EXPECT_TRUE(program.IsRunning());
    DeleteFileA("F:\\killed.gho");
}

}  // namespace
