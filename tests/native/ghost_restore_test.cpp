#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ghost/confirmation.h"
#include "disk/boot_records.h"
#include "ghost/restore.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

const char kRestoreLine[] =
    "cmd.exe /c C:\\Windows\\qii32.exe -clone,mode=pload,src=\"E:\\win7.gho\":1,dst=1:2 -crcignore "
    " -noide -sure  -fx";

struct RestoreHarness : Harness {
    RestoreHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        sys.AddFile("E:\\win7.gho", std::string(4096, 'g'));
        EXPECT_TRUE(Start());
        // The start-up search found E:\win7.gho; each case chooses its own image.
        ui.ClearItems(kMainWindow, kImagePathBox);
        ui.SetText(kMainWindow, kImagePathBox, "");
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    void Choose(const std::string& image, int row = 1) {
        ui.AddItem(kMainWindow, kImagePathBox, image);
        ui.SetSelection(kMainWindow, kImagePathBox, ui.ItemCount(kMainWindow, kImagePathBox) - 1);
        if (row >= 0) ui.ClickRow(kMainWindow, kPartitionList, row);
    }
    bool PressStart() {
        return Run([&] { ui.Click(kMainWindow, kStartButton); });
    }
    bool ConfirmOpen() {
        return ui.HasWindow(kConfirmWindow) && !ui.GetWindow(kConfirmWindow).destroyed;
    }
};

struct CheckCase {
    const char* name;
    std::string image;
    int row;
    std::string message;
    unsigned icon;
};

TEST(GhostRestore, ChecksComeInOrderWithTheirMessages) {
    const CheckCase cases[] = {
        {"no image", "", 1, "请选择Gho、ISO、WIM映像文件！", kMbIconWarning},
        {"missing image", "E:\\none.gho", 1, "E:\\none.gho 不存在！", kMbIconError},
        {"other file", "E:\\notes.txt", 1,
         "本工具支持Gho、ISO、WIM、系统光盘快速装机，请选择正确的文件！", kMbIconWarning},
        {"no row", "E:\\win7.gho", -1, "请选择要还原的分区！", kMbIconWarning},
        {"same drive", "E:\\win7.gho", 2, "需还原的分区不可与还原映像文件所在的路径相同！",
         kMbIconWarning},
        {"same drive, other case", "e:\\win7.gho", 2,
         "需还原的分区不可与还原映像文件所在的路径相同！", kMbIconWarning},
        {"tiny image", "E:\\tiny.gho", 1, "无效的Gho映像文件，请选择正确的Gho映像文件！",
         kMbIconWarning},
    };
    for (const CheckCase& c : cases) {
        RestoreHarness h;
        h.sys.AddFile("E:\\notes.txt", "x");
        h.sys.AddFile("E:\\tiny.gho", "");
        if (!c.image.empty())
            h.Choose(c.image, c.row);
        else if (c.row >= 0)
            h.ui.ClickRow(kMainWindow, kPartitionList, c.row);
        EXPECT_TRUE(h.PressStart()) << c.name;
        EXPECT_EQ(h.Messages(), std::vector<std::string>{c.message}) << c.name;
        if (!h.ui.messageBoxes.empty()) {
            EXPECT_EQ(h.ui.messageBoxes[0].flags, c.icon) << c.name;
        }
        EXPECT_FALSE(h.ConfirmOpen()) << c.name;
    }
}

TEST(GhostRestore, VanishedAndReadOnlyTargetsAreRefused) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.sys.drives.erase('D');
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"选择的分区 D:\\(1:2) 不存在！"});

    RestoreHarness r;
    r.Choose("E:\\win7.gho");
    r.sys.drives['D'].writable = false;
    r.PressStart();
    EXPECT_EQ(r.Messages(),
              std::vector<std::string>{"选择的分区 D:\\(1:2) 写入数据失败，请选择正确的分区！"});
}

TEST(GhostRestore, AnImageOnAMountedIsoLiesOnTheIsoFilesDrive) {
    // Z: shows the ISO kept on D:; restoring D: would overwrite the ISO mid-read.
    RestoreHarness h;
    h.sys.AddFile("Z:\\win7.gho", std::string(4096, 'g'));
    h.program.state.isoBehindLetter["Z"] = "d:\\iso\\win7.iso";
    h.Choose("Z:\\win7.gho", 1);
    h.PressStart();
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{"需还原的分区不可与还原映像文件所在的路径相同！"});
    EXPECT_FALSE(h.ConfirmOpen());

    // The same image restores onto E:, which does not hold the ISO.
    RestoreHarness other;
    other.sys.AddFile("Z:\\win7.gho", std::string(4096, 'g'));
    other.program.state.isoBehindLetter["Z"] = "d:\\iso\\win7.iso";
    other.Choose("Z:\\win7.gho", 2);
    other.PressStart();
    EXPECT_TRUE(other.Messages().empty());
    EXPECT_TRUE(other.ConfirmOpen());
}

TEST(GhostRestore, ZeroByteImageIsRefusedBeforeTheDeviceQuestion) {
    RestoreHarness h;
    h.sys.drives['D'].type = kDriveRemovable;
    h.sys.AddFile("E:\\empty.gho", "");
    h.ui.Click(kMainWindow, kRefreshLabel);
    h.ui.messageBoxes.clear();
    h.Choose("E:\\empty.gho", 2);  // D: now lists after the fixed drives
    h.PressStart();
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{"无效的Gho映像文件，请选择正确的Gho映像文件！"});
}

TEST(GhostRestore, EmptyDeviceTypeDoesNothing) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.program.state.selection.deviceType = "";
    h.PressStart();
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(GhostRestore, NonHardDiskTargetAsksFirst) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.program.state.selection.deviceType = "可移动驱动器";
    h.ui.messageBoxAnswers = {kIdNo};
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{
                                "你选择的 D:\\(1:2) 是可移动驱动器，是否继续？\r\n注意：D:\\(1:2) "
                                "不是硬盘，如果继续将导致数据丢失！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconWarning));
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(GhostRestore, IntegrityCheckRunsTheCheckLineAndStopsOnFailure) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.ui.Click(kMainWindow, kIntegrityOption);
    h.sys.commandOutputs
        ["cmd.exe /c C:\\Windows\\qii32.exe   -CHKIMG,E:\\win7.gho -sure  -fx -BATCH "] =
        "CRC error";
    h.ui.messageBoxAnswers = {kIdYes};
    h.PressStart();
    EXPECT_THAT(h.Messages(),
                ElementsAre("还原前是否对镜像文件 E:\\win7.gho 镜像文件进行完整性检查？",
                            "E:\\win7.gho 镜像文件不能通过完整性检查，程序无法继续！"));
    EXPECT_TRUE(h.ui.GetWindow(kMainWindow).shown);
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(GhostRestore, PasswordMustBeTypedWhenTicked) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.ui.Click(kMainWindow, kPasswordOption);
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"请输入Gho密码"});
}

TEST(GhostRestore, SuccessRunsGhostWritesBootRecordsAndReports) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.sys.fileVersions["D:\\WINDOWS\\SYSTEM32\\CMD.EXE"] = "6.1.7601.17514";
    h.PressStart();
    ASSERT_TRUE(h.ConfirmOpen());
    EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmWarning),
              "注意：本操作将删除 D:\\(1:2) 上的所有数据。");
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));  // the dialog stands in front
    // A click elsewhere while Ghost runs does not move the boot records.
    h.sys.onCommand = [&](const std::string&) { h.program.state.selection.diskPartition = "1:3"; };
    h.ui.Click(kConfirmWindow, kConfirmOk);
    h.sys.onCommand = nullptr;
    ASSERT_GE(h.sys.commandsRun.size(), 3u);
    EXPECT_THAT(
        std::vector<std::string>(h.sys.commandsRun.end() - 3, h.sys.commandsRun.end()),
        ElementsAre(
            kRestoreLine,
            "cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=1:2 /mbr /install  /type=nt60  /quiet",
            "cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=1:2 /pbr /install  /type=bootmgr /quiet"));
    EXPECT_EQ(h.Messages().back(),
              "Ghost应用映像到磁盘完成！\r\n映像名称：win7.gho\r\n安装分区：D:\\(1:2)");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconInformation));
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
}

TEST(GhostRestore, BootRecordsFollowTheRestoredWindowsVersion) {
    struct {
        const char* version;
        std::vector<std::string> started;
    } cases[] = {
        {"5.1.2600.5512",
         {"cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=1:2 /mbr /install  /type=nt52  /quiet",
          "cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=1:2 /pbr /install  /type=ntldr /quiet"}},
        {"10.0.19041.1",
         {"cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=1:2 /mbr /install  /type=nt60  /quiet",
          "cmd.exe /c C:\\Windows\\BOOTICE.EXE /DEVICE=1:2 /pbr /install  /type=bootmgr /quiet"}},
        {"4.0.1381", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        RestoreHarness h;
        h.ui.ClickRow(kMainWindow, kPartitionList, 1);
        if (*c.version) h.sys.fileVersions["D:\\WINDOWS\\SYSTEM32\\CMD.EXE"] = c.version;
        h.sys.commandsRun.clear();
        WriteBootRecordsAfterGhost(h.program, CurrentSelection(h.program).root,
                                   CurrentSelection(h.program).diskPartition);
        // One after the other, each run to its end.
        EXPECT_EQ(h.sys.commandsRun, c.started) << c.version;
    }
}

TEST(GhostRestore, FailureAndCancelKeepTheDialogOpen) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.PressStart();
    h.sys.commandOutputs[kRestoreLine] = "Error 19913: bad image";
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.Messages().back(), "Ghost还原错误！\r\n错误信息：\r\nError 19913: bad image");
    EXPECT_EQ(h.ui.balloons.back().title, "Ghost还原错误！");
    EXPECT_TRUE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsVisible(kConfirmWindow, kConfirmOk));
    EXPECT_FALSE(h.ui.IsVisible(kConfirmWindow, kConfirmStatus));
    h.sys.commandOutputs[kRestoreLine] = "^C whatever";
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.Messages().back(), "Ghost还原错误！\r\n错误信息：\r\n用户取消还原！");
    for (const std::string& line : h.sys.commandsRun)  // no boot records after a failure
        EXPECT_EQ(line.find("BOOTICE"), std::string::npos) << line;
    h.ui.Click(kConfirmWindow, kConfirmCancel);
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
}

TEST(GhostRestore, GptTargetsAreAskedAboutEachTime) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.program.state.selection.partitionType = "GPT";
    h.ui.messageBoxAnswers = {kIdNo};
    h.PressStart();
    EXPECT_EQ(h.Messages().back(),
              "检测到 D:\\(1:2) 是GPT分区，是否继续？\r\n注意：Ghost还原可能会导致扇区错误。");
    EXPECT_FALSE(h.ConfirmOpen());
}

TEST(GhostRestore, TheRunningSystemsPartitionIsNeverRestoredDirectly) {
    // The running system's partition goes to reboot mode, whose question is cancelled.
    RestoreHarness h;
    h.sys.AddFile("D:\\win7.gho", std::string(4096, 'g'));
    h.Choose("D:\\win7.gho", 0);  // C: holds the running Windows
    h.PressStart();
    ASSERT_TRUE(h.ConfirmOpen());
    h.ui.messageBoxAnswers = {kIdCancel};
    h.ui.Click(kConfirmWindow, kConfirmOk);
    for (const std::string& line : h.sys.commandsRun)
        EXPECT_EQ(line.find("mode=pload"), std::string::npos);
    EXPECT_EQ(h.ui.messageBoxes.at(0).flags, unsigned(kMbYesNoCancel | kMbIconInformation));
    EXPECT_EQ(h.Messages().back(), "用户取消操作。");
}

TEST(GhostRestore, CountdownInsteadOfTheReportWhenAsked) {
    RestoreHarness h;
    h.Choose("E:\\win7.gho");
    h.ui.Click(kMainWindow, kShutdownOption);
    h.PressStart();
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_EQ(h.ui.GetText(2, 1), "还原已完成，10 秒后自动关机！");
}

}  // namespace
