// The reboot-mode module: jobs on the running system's own partition become a DOS Ghost
// job behind a boot entry, and the uninstall command takes it away again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "rebootmode/reboot_module.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

const char kTitle[] = "岚舟软件一键备份还原";
const std::string kBcd = "cmd.exe /c C:\\Windows\\bcdedit ";
const std::string kCreate = kBcd + "/create /d \"" + kTitle + "\" /application bootsector";
const char kBackupJob[] =
    "Ghost.exe  -clone,mode=pdump,src=1:1,dst=\"1:3:\\c.gho\" -z9 -noide -sure -fx \r\nrestart";
const char kRestoreJob[] =
    "Ghost.exe -clone,mode=pload,src=\"1:3\\MorvekOS\\MorvekOS.GHO\":1,dst=1:1 -crcignore  -noide "
    "-sure  -fx -afile=\"GHOSTERR.TXT\"\r\nrestart";

// C: holds the running Windows 7 (1:1); D: is 1:2 and E: 1:3.
struct RebootHarness : Harness {
    explicit RebootHarness(const std::string& cmdVersion = "6.1.7601.17514") {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        sys.fileVersions["C:\\WINDOWS\\SYSTEM32\\CMD.EXE"] = cmdVersion;
        sys.AddFile("D:\\win7.gho", std::string(4096, 'g'));
        sys.commandOutputs[kCreate] =
            "The entry {5189b25c-5558-4bf2-bca4-289b11bd29e2} was successfully created.\r\n";
        EXPECT_TRUE(Start());
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    bool ConfirmOpen() {
        return ui.HasWindow(kConfirmWindow) && !ui.GetWindow(kConfirmWindow).destroyed;
    }
    void ConfirmBackupOfC(int answer) {
        ui.Click(kMainWindow, kBackupMode);
        ui.SetText(kMainWindow, kSavePathBox, "E:\\c.gho");
        ui.ClickRow(kMainWindow, kPartitionList, 0);
        ui.Click(kMainWindow, kStartButton);
        ASSERT_TRUE(ConfirmOpen());
        ui.messageBoxAnswers = {answer};
        ui.Click(kConfirmWindow, kConfirmOk);
    }
    void ConfirmRestoreOfC(int answer) {
        ui.AddItem(kMainWindow, kImagePathBox, "D:\\win7.gho");
        ui.SetSelection(kMainWindow, kImagePathBox, ui.ItemCount(kMainWindow, kImagePathBox) - 1);
        ui.ClickRow(kMainWindow, kPartitionList, 0);
        ui.Click(kMainWindow, kStartButton);
        ASSERT_TRUE(ConfirmOpen());
        ui.messageBoxAnswers = {answer};
        ui.Click(kConfirmWindow, kConfirmOk);
    }
    std::vector<std::string> BcdeditRuns() const {
        std::vector<std::string> runs;
        for (const std::string& line : sys.commandsRun)
            if (line.find("bcdedit") != std::string::npos) runs.push_back(line);
        return runs;
    }
};

const std::string kId = "{5189b25c-5558-4bf2-bca4-289b11bd29e2}";

TEST(RebootMode, BackupOfTheRunningWindows7MakesOneEntryForTheNextStartAndTheJob) {
    RebootHarness h;
    bool jobWrittenFirst = false;
    h.sys.onCommand = [&](const std::string& line) {
        if (line == kCreate) jobWrittenFirst = h.sys.HasFile("C:\\ghost.ba_");
    };
    h.ConfirmBackupOfC(kIdYes);
    EXPECT_EQ(h.ui.messageBoxes.at(0).text, std::string("程序已准备完成，请重启系统进入") + kTitle +
                                                "进行备份。\r\n选择\"是(Y)\"立即重启系统，选择\"否("
                                                "N)\"手动重启系统，选择\"取消\"不执行任何操作。");
    EXPECT_EQ(h.ui.messageBoxes.at(0).flags, unsigned(kMbYesNoCancel | kMbIconInformation));
    EXPECT_EQ(h.sys.FileContents("C:\\ghost.ba_"), kBackupJob);
    EXPECT_TRUE(jobWrittenFirst) << "the job must be in place before the boot entry exists";
    EXPECT_THAT(h.BcdeditRuns(), ElementsAre(kCreate, kBcd + "/set " + kId + " device partition=C:",
                                             kBcd + "/set " + kId + " path \\mvldr.mbr",
                                             kBcd + "/displayorder " + kId + " /addlast",
                                             kBcd + "/bootsequence " + kId));
    EXPECT_EQ(h.sys.GetPrivateProfileString("system", "UID", "", "C:\\Windows\\MorvekQii.ini", 260),
              kId);
    for (const char* file : {"C:\\MvDOS.ima", "C:\\grldr", "C:\\mvldr.mbr"}) {
        EXPECT_TRUE(h.sys.HasFile(file)) << file;
        EXPECT_TRUE(h.sys.IsHidden(file)) << file;
    }
    EXPECT_EQ(h.ui.GetText(kCountdownWindow, kCountdownLabel), "程序准备完成，10 秒后自动重启！");
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_FALSE(h.program.state.jobRunning);
}

TEST(RebootMode, ASecondInstallDeletesTheEntryOfTheFirst) {
    RebootHarness h;
    h.sys.iniValues["C:\\WINDOWS\\MORVEKQII.INI"]["SYSTEM|UID"] = "{old}";
    h.sys.AddFile("C:\\Windows\\MorvekQii.ini");
    h.ConfirmBackupOfC(kIdNo);
    ASSERT_FALSE(h.BcdeditRuns().empty());
    EXPECT_EQ(h.BcdeditRuns().front(), kBcd + "/delete {old}");
    EXPECT_EQ(h.Messages().back(),
              std::string("Ghost备份准备完成，请重启系统进入") + kTitle + "进行备份。");
    EXPECT_FALSE(h.ui.HasWindow(kCountdownWindow));
}

TEST(RebootMode, AFailedBcdeditStepTakesTheNewEntryAwayAgain) {
    RebootHarness h;
    h.sys.commandExitCodes[kBcd + "/set " + kId + " path \\mvldr.mbr"] = 1;
    h.ConfirmBackupOfC(kIdYes);
    const std::vector<std::string> runs = h.BcdeditRuns();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back(), kBcd + "/delete " + kId);
    EXPECT_EQ(std::count(runs.begin(), runs.end(), kBcd + "/bootsequence " + kId), 0)
        << "a broken entry must never be started";
    EXPECT_EQ(h.Messages().back(), "写入引导出现错误，程序无法继续。");
    EXPECT_EQ(h.sys.GetPrivateProfileString("system", "UID", "", "C:\\Windows\\MorvekQii.ini", 260),
              "");
    for (const char* file : {"C:\\MvDOS.ima", "C:\\grldr", "C:\\mvldr.mbr", "C:\\ghost.ba_"})
        EXPECT_FALSE(h.sys.HasFile(file)) << file;
    EXPECT_TRUE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsVisible(kConfirmWindow, kConfirmOk));
}

TEST(RebootMode, NoIdentifierInBcdeditsOutputStopsAtOnce) {
    RebootHarness h;
    h.sys.commandOutputs[kCreate] = "The boot configuration data store could not be opened.\r\n";
    h.sys.commandExitCodes[kCreate] = 1;
    h.ConfirmBackupOfC(kIdYes);
    EXPECT_THAT(h.BcdeditRuns(), ElementsAre(kCreate));
    EXPECT_EQ(h.Messages().back(), "写入引导出现错误，程序无法继续。");
    EXPECT_FALSE(h.sys.HasFile("C:\\ghost.ba_"));
}

TEST(RebootMode, CancelWritesNothing) {
    RebootHarness h;
    h.ConfirmBackupOfC(kIdCancel);
    EXPECT_EQ(h.Messages().back(), "用户取消操作。");
    EXPECT_TRUE(h.BcdeditRuns().empty());
    EXPECT_FALSE(h.sys.HasFile("C:\\MvDOS.ima"));
    EXPECT_TRUE(h.ConfirmOpen());
}

TEST(RebootMode, RestoreCopiesTheImageToTheLastDriveAndWritesItsJob) {
    RebootHarness h;
    const std::string create = "cmd.exe /c C:\\Windows\\system32\\bcdedit.exe /create /d \"" +
                               std::string(kTitle) + "\" /application bootsector";
    h.sys.commandOutputs[create] = h.sys.commandOutputs[kCreate];
    h.ConfirmRestoreOfC(kIdNo);
    EXPECT_EQ(h.sys.FileContents("E:\\MorvekOS\\MorvekOS.GHO"), std::string(4096, 'g'));
    EXPECT_EQ(h.sys.FileContents("C:\\ghost.ba_"), kRestoreJob);
    // Windows 7 restores use the system's own bcdedit for all but the deletion.
    ASSERT_FALSE(h.BcdeditRuns().empty());
    EXPECT_EQ(h.BcdeditRuns().front(), create);
    EXPECT_EQ(h.Messages().back(),
              std::string("Ghost还原准备完成，重启系统进入") + kTitle + "即可进行还原。");
}

TEST(RebootMode, AnImageThatIsAlreadyTheCopyIsNotCopiedAgain) {
    RebootHarness h;
    h.sys.AddFile("E:\\MorvekOS\\MorvekOS.GHO", std::string(4096, 'm'));
    h.ui.AddItem(kMainWindow, kImagePathBox, "e:\\morvekos\\morvekos.gho");
    h.ui.SetSelection(kMainWindow, kImagePathBox, h.ui.ItemCount(kMainWindow, kImagePathBox) - 1);
    h.ui.ClickRow(kMainWindow, kPartitionList, 0);
    h.ui.Click(kMainWindow, kStartButton);
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(kConfirmWindow, kConfirmOk);
    for (const std::string& entry : h.sys.fileLog)
        EXPECT_EQ(entry.rfind("copy ", 0), std::string::npos);
    EXPECT_EQ(h.sys.FileContents("E:\\MorvekOS\\MorvekOS.GHO"), std::string(4096, 'm'));
}

TEST(RebootMode, WindowsXpGetsBootIniEntriesAndTheFontButNoBcdedit) {
    RebootHarness h("5.1.2600.5512");
    h.sys.iniValues["C:\\BOOT.INI"]["BOOT LOADER|DEFAULT"] =
        "multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS";
    h.ConfirmRestoreOfC(kIdNo);
    EXPECT_TRUE(h.BcdeditRuns().empty());
    EXPECT_EQ(h.sys.GetPrivateProfileString("boot loader", "default", "", "C:\\boot.ini", 1024),
              "C:\\grldr");
    EXPECT_EQ(
        h.sys.GetPrivateProfileString("operating systems", "C:\\grldr", "", "C:\\boot.ini", 1024),
        kTitle);
    EXPECT_TRUE(h.sys.HasFile("C:\\bootfont.bin"));
    EXPECT_EQ(
        h.sys.GetPrivateProfileString("system", "XPID", "", "C:\\Windows\\MorvekQii.ini", 260),
        std::string("C:\\grldr=") + kTitle);
    const auto& runs = h.sys.commandsRun;
    EXPECT_NE(std::find(runs.begin(), runs.end(), "cmd.exe /c attrib -s -r -h C:\\boot.ini"),
              runs.end());
    EXPECT_EQ(runs.back(), "cmd.exe /c attrib +s +r +h C:\\boot.ini");

    // Uninstalled again: both keys go, the other systems stay.
    h.ui.messageBoxes.clear();
    h.ui.ChooseMenu(kMainWindow, kMenuUninstall);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"卸载岚舟软件一键备份还原模块完成。"});
    EXPECT_EQ(h.sys.GetPrivateProfileString("boot loader", "default", "", "C:\\boot.ini", 1024),
              "");
    EXPECT_EQ(
        h.sys.GetPrivateProfileString("operating systems", "C:\\grldr", "", "C:\\boot.ini", 1024),
        "");
}

TEST(Uninstall, WithoutTheModuleRecordOnlyWarns) {
    RebootHarness h;
    h.ui.ChooseMenu(kMainWindow, kMenuUninstall);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"本机尚未安装岚舟软件一键备份还原模块。"});
    EXPECT_EQ(h.ui.messageBoxes.at(0).flags, unsigned(kMbIconWarning));
    EXPECT_TRUE(h.sys.commandsRun.empty() || h.BcdeditRuns().empty());
}

TEST(Uninstall, DeletesTheEntryTheFilesAndTheRecord) {
    RebootHarness h;
    h.ConfirmBackupOfC(kIdNo);
    h.ui.messageBoxes.clear();
    h.sys.commandsRun.clear();
    h.ui.ChooseMenu(kMainWindow, kMenuUninstall);
    EXPECT_THAT(h.BcdeditRuns(), ElementsAre(kBcd + "/delete " + kId));
    for (const char* file : {"C:\\MvDOS.ima", "C:\\grldr", "C:\\mvldr.mbr", "C:\\ghost.ba_"})
        EXPECT_FALSE(h.sys.HasFile(file)) << file;
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"卸载岚舟软件一键备份还原模块完成。"});
    h.ui.messageBoxes.clear();
    h.ui.ChooseMenu(kMainWindow, kMenuUninstall);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"本机尚未安装岚舟软件一键备份还原模块。"});
}

}  // namespace
