// WIM jobs through the real windows under Wine, with the ImageX engine the program
// writes out: a partition captured through the backup window and applied back through
// the restore window, checked on the files of the sandbox drives; an apply followed
// while it runs (progress, pause and resume) and one stopped half-way; an image made by
// wimlib-imagex applied the same way; the engine window choosing a custom ImageX and
// going back.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/ids/engine_window.h"
#include "base/ids/imagex_backup.h"
#include "base/ids/imagex_restore.h"
#include "base/ids/main_window.h"
#include "base/ids/windows.h"
#include "tests/wine/automation.h"
#include "tests/wine/main_window_steps.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const DWORD kImagexRun = 300000;

std::string Contents(const std::string& path) {
    std::string text;
    return ReadStoreFile(path, &text) ? text : "(unreadable " + path + ")";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct WimJobsUnderWine : ::testing::Test {
    RunningProgram program{kProgram};
    HWND window = nullptr;

    void SetUp() override {
        window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
        ASSERT_NE(window, nullptr);
    }

    std::string Named(const std::string& root) { return NamedPartition(window, root); }
    void SelectPartition(const std::string& root) {
        ASSERT_TRUE(ChoosePartition(window, root)) << root;
    }
    void SwitchMode(int radio, int visibleControl) {
        ASSERT_TRUE(ChooseMode(window, radio, visibleControl));
    }
    HWND ImagexWindow() {
        return WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Imagex", 60000);
    }
    // The percent label has left its start value: ImageX is writing.
    bool ProgressMoved(HWND restore) {
        return WaitUntil(
            [&] {
                const std::string percent = Text(restore, kRxPercent);
                return !percent.empty() && percent != "  0%";
            },
            60000);
    }
    // The next message box: its text, answered with the button given.
    std::string Answer(int button, DWORD wait = 20000) {
        return AnswerNextMessageBox(program.id(), button, wait);
    }
    // The restore window for an image and a partition, with "跳过 None" chosen.
    HWND OpenRestore(const std::string& image, const std::string& root) {
        SwitchMode(kRestoreMode, kImagePathBox);
        Type(window, kImagePathBox, image);
        SelectPartition(root);
        Click(window, kStartButton);
        HWND restore = ImagexWindow();
        if (!restore) return nullptr;
        EXPECT_TRUE(
            WaitUntil([&] { return ComboItems(restore, kRxVolumeList).size() > 0; }, 60000));
        EXPECT_EQ(ComboItems(restore, kRxFormatChoice).back(), "跳过 None");
        PickComboItem(restore, kRxFormatChoice, 3);
        return restore;
    }
};

TEST_F(WimJobsUnderWine, CapturesDThroughTheBackupWindowAndAppliesItBackOntoE) {
    CreateDirectoryA("D:\\wimsample", nullptr);
    CreateDirectoryA("D:\\wimsample\\子目录", nullptr);
    ASSERT_TRUE(WriteWholeFile("D:\\wimsample\\capture-me.txt", "captured through the window\r\n"));
    ASSERT_TRUE(WriteWholeFile("D:\\wimsample\\子目录\\说明.txt", "中文名称的文件\r\n"));
    DeleteFileA("F:\\x.wim");
    DeleteFileA("E:\\wimsample\\capture-me.txt");
    DeleteFileA("E:\\wimsample\\子目录\\说明.txt");

    SwitchMode(kBackupMode, kSavePathBox);
    SelectPartition("D:\\");
    Type(window, kSavePathBox, "F:\\x.wim");
    Click(window, kStartButton);
    HWND backup = ImagexWindow();
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(Text(backup, kBxConfirmLine), "确定备份分区 " + Named("D:\\") + " 到 F:\\x.wim ？");
    EXPECT_EQ(Text(backup, kBxName).substr(0, 6), "D_BAK_");
    EXPECT_FALSE(IsEnabled(window, kStartButton));  // the main window waits behind it
    Type(backup, kBxName, "窗口备份");
    PickComboItem(backup, kBxFlag, 3);  // Ultimate
    PickComboItem(backup, kBxCompression, 1);
    Click(backup, kBxStart);
    const std::string notice = Answer(IDYES);
    EXPECT_EQ(notice.rfind("Imagex将不会备份以下文件及文件夹：\r\nD:\\$windows.~bt\r\n", 0), 0u)
        << notice;
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(backup, kBxPause); }, 20000));
    EXPECT_TRUE(Exists("F:\\ImagexTemp\\Imagex备份缓存目录，请勿删除。"));

    const std::string report = Answer(IDOK, kImagexRun);
    EXPECT_EQ(report.rfind("   Imagex备份磁盘完成！\r\n\r\n备份分区：" + Named("D:\\") +
                               "\r\n\r\n保存位置：F:\\x.wim\r\n\r\n大      小：",
                           0),
              0u)
        << report;
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(backup); }, 10000));
    ASSERT_TRUE(Exists("F:\\x.wim"));
    EXPECT_FALSE(Exists("F:\\ImagexTemp"));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));

    HWND restore = OpenRestore("F:\\x.wim", "E:\\");
    ASSERT_NE(restore, nullptr);
    const std::string volume = ComboItems(restore, kRxVolumeList).at(0);
    EXPECT_EQ(volume.rfind("1: 窗口备份", 0), 0u) << volume;
    Click(restore, kRxStart);
    const std::string applied = Answer(IDOK, kImagexRun);
    EXPECT_EQ(applied,
              "Imagex应用映像到磁盘完成！\r\n映像名称：x.wim\r\n分卷编号：1\r\n分卷名称：" +
                  volume.substr(3) + "\r\n安装分区：" + Named("E:\\"));
    EXPECT_EQ(Contents("E:\\wimsample\\capture-me.txt"), "captured through the window\r\n");
    EXPECT_EQ(Contents("E:\\wimsample\\子目录\\说明.txt"), "中文名称的文件\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(restore); }, 10000));
    DeleteFileA("F:\\x.wim");
}

TEST_F(WimJobsUnderWine, AppliesWithLiveProgressPausesResumesAndStopsHalfWay) {
    // An image of bytes that do not compress, on D:, so that the apply takes a while.
    CreateDirectoryA("F:\\wimnoise", nullptr);
    const int kFiles = 24;
    for (int i = 0; i < kFiles; ++i)
        ASSERT_TRUE(WriteWholeFile("F:\\wimnoise\\noise" + std::to_string(i) + ".bin",
                                   NoiseBytes(16 << 20, unsigned(i + 1))));
    DeleteFileA("D:\\noise.wim");
    {
        RunningProgram capture(
            "cmd.exe /c C:\\windows\\Imagex.exe /capture F:\\wimnoise \"D:\\noise.wim\" "
            "\"noise\" /compress none");
        ASSERT_TRUE(capture.WaitForExit(kImagexRun));
    }
    ASSERT_TRUE(Exists("D:\\noise.wim"));

    HWND restore = OpenRestore("D:\\noise.wim", "E:\\");
    ASSERT_NE(restore, nullptr);
    Click(restore, kRxStart);
    // The bar and the percent move while ImageX writes.
    ASSERT_TRUE(ProgressMoved(restore)) << Text(restore, kRxPercent);
    EXPECT_FALSE(IsVisible(restore, kRxStart));
    EXPECT_EQ(Text(restore, kRxStatus), "Imagex正在应用映像到磁盘，请稍候....");

    Click(restore, kRxPause);
    ASSERT_TRUE(WaitUntil(
        [&] { return Text(restore, kRxStatus) == "用户暂停Imagex应用映像到磁盘。"; }, 10000));
    Sleep(300);
    const std::string pausedAt = Text(restore, kRxPercent);
    const std::string elapsedAt = Text(restore, kRxElapsed);
    Sleep(2500);
    EXPECT_EQ(Text(restore, kRxPercent), pausedAt);
    EXPECT_EQ(Text(restore, kRxElapsed), elapsedAt);
    EXPECT_TRUE(IsWindow(restore));
    Click(restore, kRxPause);
    ASSERT_TRUE(WaitUntil(
        [&] { return Text(restore, kRxStatus) == "Imagex正在应用映像到磁盘，请稍候...."; }, 10000));

    const std::string report = Answer(IDOK, kImagexRun);
    EXPECT_EQ(
        report.rfind("Imagex应用映像到磁盘完成！\r\n映像名称：noise.wim\r\n分卷编号：1\r\n", 0), 0u)
        << report;
    for (int i = 0; i < kFiles; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        // The folder's files land at the target's root.
        const std::string path = "E:\\noise" + std::to_string(i) + ".bin";
        ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
        EXPECT_EQ(data.nFileSizeLow, 16u << 20) << path;
    }
    EXPECT_EQ(Contents("E:\\noise3.bin"), NoiseBytes(16 << 20, 4));

    // Again, stopped half-way: the window stays for another try.
    restore = OpenRestore("D:\\noise.wim", "E:\\");
    ASSERT_NE(restore, nullptr);
    Click(restore, kRxStart);
    ASSERT_TRUE(ProgressMoved(restore)) << Text(restore, kRxPercent);
    Click(restore, kRxCancel);
    EXPECT_EQ(Answer(IDYES), "Imagex正在还原，是否终止？");
    EXPECT_EQ(Answer(IDOK, 60000), "用户取消Imagex应用映像到磁盘。");
    EXPECT_TRUE(IsWindow(restore));
    EXPECT_TRUE(IsVisible(restore, kRxStart));
    EXPECT_EQ(Text(restore, kRxCancel), "取消(&X)");
    Click(restore, kRxCancel);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(restore); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));
    DeleteFileA("D:\\noise.wim");
    for (int i = 0; i < kFiles; ++i) {
        DeleteFileA(("E:\\noise" + std::to_string(i) + ".bin").c_str());
        DeleteFileA(("F:\\wimnoise\\noise" + std::to_string(i) + ".bin").c_str());
    }
    RemoveDirectoryA("F:\\wimnoise");
}

TEST_F(WimJobsUnderWine, TheEngineWindowChoosesACustomImagexCopyAndGoesBack) {
    const std::string copy = "C:\\windows\\system32\\Imagexmv.exe";
    DeleteFileA(copy.c_str());
    Click(window, kCustomEnginesOption);
    HWND engines =
        WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "自定义Ghost/Imagex", 20000);
    ASSERT_NE(engines, nullptr);
    EXPECT_FALSE(IsChecked(engines, kEwImagexOption));
    EXPECT_EQ(Text(engines, kEwImagexVersion), "Imagex版本：未选择");

    // The stored ImageX itself, chosen as the custom one, is copied and used as a copy.
    Click(engines, kEwImagexOption);
    HWND dialog = WaitForWindowWithCaption(program.id(), "#32770", "自定义Imagex", 20000);
    ASSERT_NE(dialog, nullptr);
    const int nameBox = Control(dialog, 0x47C) ? 0x47C : 0x480;
    Type(dialog, nameBox, "C:\\windows\\Imagex.exe");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 20000));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return Text(engines, kEwImagexVersion).rfind("Imagex版本：6.2.9200.16384 X", 0) == 0;
        },
        10000))
        << Text(engines, kEwImagexVersion);
    EXPECT_TRUE(IsChecked(engines, kEwImagexOption));
    EXPECT_TRUE(Exists(copy));
    Click(engines, kEwClose);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(engines); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(window, kCustomEnginesOption); }, 10000));

    // Reopened it shows the copy in use; unticked and answered Yes, the stored one is back.
    Click(window, kCustomEnginesOption);
    engines =
        WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "自定义Ghost/Imagex", 20000);
    ASSERT_NE(engines, nullptr);
    EXPECT_TRUE(IsChecked(engines, kEwImagexOption));
    EXPECT_EQ(Text(engines, kEwImagexVersion).rfind("Imagex版本：6.2.9200.16384 X", 0), 0u);
    Click(engines, kEwImagexOption);
    EXPECT_EQ(Answer(IDYES), "是否取消自定义Imgaex使用默认Imagex 6.2.9200.16384？ ");
    ASSERT_TRUE(
        WaitUntil([&] { return Text(engines, kEwImagexVersion) == "Imagex版本：未选择"; }, 10000));
    Click(engines, kEwClose);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(engines); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return !IsChecked(window, kCustomEnginesOption); }, 10000));
    DeleteFileA(copy.c_str());
}

TEST_F(WimJobsUnderWine, AppliesAnImageMadeByWimlib) {
    if (!Exists("D:\\wimlib.wim")) GTEST_SKIP() << "no image from wimlib-imagex on D:";
    DeleteFileA("E:\\docs\\wimlib-file.txt");
    HWND restore = OpenRestore("D:\\wimlib.wim", "E:\\");
    ASSERT_NE(restore, nullptr);
    EXPECT_EQ(ComboItems(restore, kRxVolumeList).at(0).rfind("1: wimlib sample", 0), 0u);
    Click(restore, kRxStart);
    const std::string report = Answer(IDOK, kImagexRun);
    EXPECT_EQ(
        report.rfind("Imagex应用映像到磁盘完成！\r\n映像名称：wimlib.wim\r\n分卷编号：1\r\n", 0),
        0u)
        << report;
    EXPECT_EQ(Contents("E:\\docs\\wimlib-file.txt"), "made by wimlib\r\n");
}

}  // namespace
