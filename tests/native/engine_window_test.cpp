// The engine window: choosing a custom Ghost or ImageX (checked and copied), going back
// to the stored engines, and the main window's option that mirrors them.
#include <gtest/gtest.h>

#include "base/ids/engine_window.h"
#include "base/text_util.h"
#include "base/tool_files.h"
#include "tests/native/harness.h"
#include "wim/engine_window.h"

namespace {

constexpr int W = kEngineWindow;
const char kStoredImagex[] = "C:\\Windows\\\\Imagex.exe";
const char kStoredGhost[] = "C:\\Windows\\qii32.exe";

struct EngineHarness : Harness {
    EngineHarness() {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        EXPECT_TRUE(Start());
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    bool Open() { return ui.HasWindow(W) && !ui.GetWindow(W).destroyed; }
    void OpenEngines() {
        ui.Click(kMainWindow, kCustomEnginesOption);
        ASSERT_TRUE(Open());
    }
    void AddEngine(const std::string& path, const std::string& description,
                   const std::string& version, int binaryType = kBinary32) {
        sys.AddFile(path, "MZ" + description);
        // The fake's tables are keyed as it compares paths: upper case, no doubled '\'.
        std::string key = UpperAscii(path);
        for (size_t at; (at = key.find("\\\\")) != std::string::npos;) key.erase(at, 1);
        sys.fileDescriptions[key] = description;
        sys.fileVersions[key] = version;
        sys.binaryTypes[key] = binaryType;
    }
};

TEST(EngineWindow, CustomImagexByHostFileDescriptionAndCopy) {
    const char* genuine = "Windows Imaging Utility";
    for (bool host64 : {false, true})
        for (bool file64 : {false, true})
            for (bool described : {false, true})
                for (bool copies : {false, true}) {
                    const std::string name = std::string(host64 ? "host64" : "host32") +
                                             (file64 ? " file64" : " file32") +
                                             (described ? " imagex" : " other") +
                                             (copies ? " copy ok" : " copy fails");
                    EngineHarness h;
                    if (host64) h.sys.wow64DirectoryLength = 20;
                    h.AddEngine("E:\\tools\\imagex.exe", described ? genuine : "Notepad",
                                "10.0.19041.1 (WinBuild.160101.0800)",
                                file64 ? kBinary64 : kBinary32);
                    if (!copies) h.sys.failingWrites.insert("C:\\WINDOWS\\SYSTEM32\\IMAGEXMV.EXE");
                    h.OpenEngines();
                    h.ui.openDialogAnswers = {"E:\\tools\\imagex.exe"};
                    h.ui.Click(W, kEwImagexOption);
                    const bool runs = !file64 || host64;
                    const bool chosen = described && runs && copies;
                    std::string message;
                    unsigned icon = 0;
                    if (!described) {
                        message = "您选择的不是Imagex程序文件，请重新选择！ ";
                        icon = kMbIconWarning;
                    } else if (!runs) {
                        message =
                            "您选择的Imagex主程序是64位程序，不可在32位系统运行，请重新选择！";
                        icon = kMbIconError;
                    } else if (!copies) {
                        message = "设置自定义Imagex主程序失败。";
                        icon = kMbIconError;
                    }
                    EXPECT_EQ(h.Messages(), message.empty() ? std::vector<std::string>{}
                                                            : std::vector<std::string>{message})
                        << name;
                    if (!message.empty()) {
                        EXPECT_EQ(h.ui.messageBoxes.at(0).flags, icon) << name;
                    }
                    EXPECT_EQ(h.program.state.imagexExePath,
                              chosen ? "Imagexmv.exe" : kStoredImagex)
                        << name;
                    // A failed copy leaves the tick; the other refusals take it away.
                    EXPECT_EQ(h.ui.IsChecked(W, kEwImagexOption), chosen || (described && runs))
                        << name;
                    const std::string bitness = file64 ? " X64/64位" : " X86/32位";
                    EXPECT_EQ(h.program.state.imagexBitnessText, chosen ? bitness : "") << name;
                    EXPECT_EQ(
                        h.ui.GetText(W, kEwImagexVersion),
                        chosen ? "Imagex版本：10.0.19041.1 (" + bitness : "Imagex版本：未选择")
                        << name;
                    if (chosen) {
                        EXPECT_EQ(h.BalloonTexts().back(),
                                  "您选择的Imagex版本：Imagex " + bitness + "10.0.19041.1 (")
                            << name;
                    }
                    EXPECT_EQ(h.sys.HasFile("C:\\Windows\\system32\\Imagexmv.exe"), chosen) << name;
                    h.ui.Click(W, kEwClose);
                    EXPECT_FALSE(h.Open()) << name;
                    EXPECT_EQ(h.ui.IsChecked(kMainWindow, kCustomEnginesOption), chosen) << name;
                    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton)) << name;
                }
}

TEST(EngineWindow, CustomGhostReopensWithItsVersionAndGoesBackOnYes) {
    EngineHarness h;
    h.sys.wow64DirectoryLength = 20;
    h.AddEngine("E:\\g\\ghost64.exe", "Symantec Ghost", "11.5.1.2269", kBinary64);
    h.OpenEngines();
    EXPECT_FALSE(h.ui.IsChecked(W, kEwGhostOption));
    EXPECT_EQ(h.ui.GetText(W, kEwGhostVersion), " Ghost版本：未选择");
    h.ui.openDialogAnswers = {"E:\\g\\ghost64.exe"};
    h.ui.Click(W, kEwGhostOption);
    EXPECT_EQ(h.ui.openDialogs.back().title, "自定义Ghost32");
    EXPECT_EQ(h.ui.openDialogs.back().filter, "Ghost32主程序(*.exe)|*.exe");
    EXPECT_EQ(h.program.state.ghostExePath, "C:\\Windows\\system32\\MovrekGhostZDY.exe");
    EXPECT_EQ(h.sys.FileContents("C:\\Windows\\system32\\MovrekGhostZDY.exe"), "MZSymantec Ghost");
    EXPECT_EQ(h.ui.GetText(W, kEwGhostVersion), " Ghost版本：11.5.1.2269 X64/64位 ");
    EXPECT_EQ(h.BalloonTexts().back(), "您选择的Ghost版本：11.5.1.2269 X64/64位 ");
    h.ui.Click(W, kEwClose);
    EXPECT_TRUE(h.ui.IsChecked(kMainWindow, kCustomEnginesOption));

    // Reopened: the ticked option and the version of the copy in use.
    h.sys.fileVersions["C:\\WINDOWS\\SYSTEM32\\MOVREKGHOSTZDY.EXE"] = "11.5.1.2269";
    h.OpenEngines();
    EXPECT_TRUE(h.ui.IsChecked(W, kEwGhostOption));
    EXPECT_FALSE(h.ui.IsChecked(W, kEwImagexOption));
    EXPECT_EQ(h.ui.GetText(W, kEwGhostVersion), " Ghost版本：11.5.1.2269 X64/64位 ");

    // Unticked, answered No: the custom engine stays.
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(W, kEwGhostOption);
    EXPECT_EQ(h.Messages().back(), "是否取消自定义Ghost使用默认Ghost 11.5.1.2266？ ");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbYesNo | kMbIconWarning));
    EXPECT_TRUE(h.ui.IsChecked(W, kEwGhostOption));
    EXPECT_EQ(h.program.state.ghostExePath, "C:\\Windows\\system32\\MovrekGhostZDY.exe");
    // Yes: the stored engine again.
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.Click(W, kEwGhostOption);
    EXPECT_EQ(h.program.state.ghostExePath, kStoredGhost);
    EXPECT_EQ(h.ui.GetText(W, kEwGhostVersion), " Ghost版本：未选择");
    EXPECT_EQ(h.BalloonTexts().back(), "您恢复了默认Ghost版本:11.5.1.2266");
    h.ui.Click(W, kEwClose);
    EXPECT_FALSE(h.ui.IsChecked(kMainWindow, kCustomEnginesOption));
}

TEST(EngineWindow, TheStoredImagexItselfBecomesACustomCopyAndACancelKeepsWhatIsInUse) {
    EngineHarness h;
    h.AddEngine(kStoredImagex, "Windows Imaging Utility", "6.2.9200.16384");
    h.OpenEngines();
    h.ui.openDialogAnswers = {""};  // cancelled: not custom, so not ticked
    h.ui.Click(W, kEwImagexOption);
    EXPECT_FALSE(h.ui.IsChecked(W, kEwImagexOption));
    EXPECT_TRUE(h.Messages().empty());
    h.ui.openDialogAnswers = {kStoredImagex};
    h.ui.Click(W, kEwImagexOption);
    EXPECT_EQ(h.program.state.imagexExePath, "Imagexmv.exe");
    EXPECT_EQ(h.ui.GetText(W, kEwImagexVersion), "Imagex版本：6.2.9200.16384 X86/32位");
    EXPECT_EQ(h.ui.openDialogs.back().title, "自定义Imagex");
    EXPECT_EQ(h.ui.openDialogs.back().filter, "Imagex主程序(*.exe)|*.exe");

    // No to going back leaves the copy in use.
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(W, kEwImagexOption);
    EXPECT_EQ(h.Messages().back(), "是否取消自定义Imgaex使用默认Imagex 6.2.9200.16384？ ");
    EXPECT_TRUE(h.ui.IsChecked(W, kEwImagexOption));
    EXPECT_EQ(h.program.state.imagexExePath, "Imagexmv.exe");
    h.ui.Click(W, kEwClose);
    EXPECT_TRUE(h.ui.IsChecked(kMainWindow, kCustomEnginesOption));

    // Every ImageX line now starts with the copy's bare name.
    h.sys.AddFile("E:\\a.wim", "w");
    h.ui.ClearItems(kMainWindow, kImagePathBox);
    h.ChooseImageAndRow("E:\\a.wim", 1);
    h.sys.commandsRun.clear();
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(kMainWindow, kStartButton);
    ASSERT_FALSE(h.sys.commandsRun.empty());
    EXPECT_EQ(h.sys.commandsRun[0], "cmd.exe /c Imagexmv.exe /info \"E:\\a.wim\"");
}

TEST(EngineWindow, ExitRemovesTheStoredEnginesNeverACustomCopy) {
    EngineHarness h;
    h.AddEngine("E:\\imagex.exe", "Windows Imaging Utility", "6.3.9600.17095");
    h.AddEngine("E:\\ghost.exe", "Symantec Ghost", "12.0.0.4570");
    h.OpenEngines();
    h.ui.openDialogAnswers = {"E:\\imagex.exe", "E:\\ghost.exe"};
    h.ui.Click(W, kEwImagexOption);
    h.ui.Click(W, kEwGhostOption);
    h.ui.Click(W, kEwClose);
    // A file of the copy's bare name in the current folder is not ours.
    h.sys.AddFile(h.sys.currentDirectory + "\\Imagexmv.exe", "someone's");
    h.sys.fileLog.clear();
    RemoveToolFiles(h.program);
    EXPECT_FALSE(h.sys.HasFile(kStoredImagex));
    EXPECT_FALSE(h.sys.HasFile(kStoredGhost));
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\system32\\MovrekGhostZDY.exe"));
    for (const std::string& entry : h.sys.fileLog) {
        EXPECT_EQ(entry.find("Imagexmv"), std::string::npos) << entry;
        EXPECT_EQ(entry.find("MovrekGhostZDY"), std::string::npos) << entry;
    }
}

}  // namespace
