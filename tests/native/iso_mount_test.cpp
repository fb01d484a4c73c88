// ISO mounting in the program: letters, the tool's command line, what a mounted image
// holds and what the image path box gets, and the failure messages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "iso/mount.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

const char kTool[] = "C:\\Windows\\ISO.exe /D:";

struct IsoHarness : Harness {
    // Files the tool "mounts" on the letter its command line names.
    std::vector<std::pair<std::string, std::int64_t>> contents;
    bool toolMakesDrive = true;
    IsoHarness() {
        AddFixedDrive('D', 0, 2);
        sys.AddSizedFile("D:\\img\\setup.iso", 4 << 20);
        sys.onCommand = [this](const std::string& line) {
            const size_t at = line.find(kTool);
            if (at == std::string::npos || !toolMakesDrive) return;
            const char letter = line[at + std::string(kTool).size()];
            FakeDrive cd;
            cd.type = kDriveCdRom;
            sys.AddDrive(letter, cd);
            for (const auto& file : contents)
                sys.AddSizedFile(std::string(1, letter) + ":" + file.first, file.second);
        };
        EXPECT_TRUE(Start());
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    void Browse(const std::string& path) {
        ui.openDialogAnswers = {path};
        ui.Click(kMainWindow, kBrowseButton);
    }
    std::string Selected() { return ui.GetText(kMainWindow, kImagePathBox); }
};

struct ClassifyCase {
    const char* name;
    std::vector<std::pair<std::string, std::int64_t>> files;
    std::string selected;  // empty: the selection stays as it was
    std::string message;   // empty: no message box
};

TEST(ClassifyMountedIso, WhatTheImageHoldsDecidesTheSelection) {
    const std::int64_t big = 300ll << 20, small = 150ll << 20;
    const ClassifyCase cases[] = {
        {"Ghost only", {{"\\GHO\\WIN7.GHO", big}}, "Z:\\GHO\\WIN7.GHO", ""},
        {"small Ghost listed, not selected", {{"\\WIN7.GHO", small}}, "", ""},
        {"setup with other WIMs first",
         {{"\\sources\\boot.wim", big}, {"\\sources\\INSTALL.WIM", big}, {"\\a\\extra.wim", big}},
         "Z:\\sources\\INSTALL.WIM",
         ""},
        {"ESD only",
         {{"\\sources\\boot.wim", big}, {"\\sources\\install.esd", big}},
         "Z:\\sources\\install.esd",
         ""},
        {"boot.wim only is never the image", {{"\\sources\\boot.wim", big}}, "", ""},
        {"XP I386", {{"\\I386\\WINNT32.EXE", 1 << 20}}, "Z:\\I386", ""},
        {"XP AMD64", {{"\\AMD64\\WINNT32.EXE", 1 << 20}}, "Z:\\AMD64", ""},
        {"nothing usable",
         {{"\\readme.txt", 10}},
         "",
         "无效或不支持的ISO映像文件，请选择正确的Windows安装镜像！"},
    };
    for (const ClassifyCase& c : cases) {
        IsoHarness h;
        h.contents = c.files;
        h.sys.fileDescriptions["Z:\\I386\\WINNT32.EXE"] = "Stub loader for WINNT32 setup program";
        h.sys.fileDescriptions["Z:\\AMD64\\WINNT32.EXE"] = "Stub loader for WINNT32 setup program";
        const std::string before = h.Selected();
        h.Browse("D:\\img\\setup.iso");
        EXPECT_EQ(h.Selected(), c.selected.empty() ? before : c.selected) << c.name;
        if (c.message.empty())
            EXPECT_TRUE(h.Messages().empty()) << c.name << ": " << h.Messages()[0];
        else
            EXPECT_THAT(h.Messages(), ElementsAre(c.message)) << c.name;
        EXPECT_TRUE(h.program.state.isoToolUsed) << c.name;
        EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton)) << c.name;
    }
}

TEST(ClassifyMountedIso, ToolLineQuotesTheQualifiedPathAndImagesGoOnTop) {
    IsoHarness h;
    h.contents = {{"\\a.gho", 300ll << 20}, {"\\b.wim", 10}};
    h.ui.AddItem(kMainWindow, kImagePathBox, "D:\\old.gho");
    h.Browse("D:\\img\\setup.iso");
    EXPECT_EQ(h.sys.commandsRun.back(),
              "cmd.exe /c C:\\Windows\\ISO.exe /D:Z /I:\"D:\\img\\setup.iso\"");
    ASSERT_GE(h.ui.ItemCount(kMainWindow, kImagePathBox), 3);
    EXPECT_EQ(h.ui.ItemText(kMainWindow, kImagePathBox, 0), "Z:\\a.gho");
    EXPECT_EQ(h.ui.ItemText(kMainWindow, kImagePathBox, 1), "Z:\\b.wim");
    EXPECT_EQ(h.Selected(), "Z:\\a.gho");
    ASSERT_FALSE(h.ui.balloons.empty());
    EXPECT_EQ(h.ui.balloons.back().title, "镜像加载成功");
    EXPECT_EQ(h.program.state.isoBehindLetter["Z"], "D:\\img\\setup.iso");
}

TEST(ClassifyMountedIso, LettersAndRepeatedFailures) {
    IsoHarness h;
    h.toolMakesDrive = false;
    h.Browse("D:\\img\\setup.iso");
    EXPECT_THAT(h.Messages(), ElementsAre("加载组件出现错误，请重试！"));
    h.Browse("D:\\img\\setup.iso");
    EXPECT_THAT(h.Messages(),
                ElementsAre("加载组件出现错误，请重试！", "错误次数过多，建议重启系统！"));

    // With Z:, Y: and W: taken the letter used last time is used again.
    for (char letter : {'Z', 'Y', 'W'}) h.AddFixedDrive(letter, 0, 5);
    h.ui.messageBoxes.clear();
    h.toolMakesDrive = true;
    h.Browse("D:\\img\\setup.iso");
    EXPECT_EQ(h.Messages().at(0), "检测到系统盘符异常，部分功能将无法正常使用！");
    EXPECT_NE(h.sys.commandsRun.back().find("/D:Z "), std::string::npos);

    h.ui.messageBoxes.clear();
    h.sys.AddFile("D:\\tiny.iso", "x");
    h.program.state.isoBrowseLetter.clear();
    h.Browse("D:\\tiny.iso");  // no letter ever found: nothing to mount on
    EXPECT_THAT(h.Messages(), ElementsAre("检测到系统盘符异常，部分功能将无法正常使用！"));
}

TEST(ClassifyMountedIso, AnEmptyCardReaderKeepsItsLetter) {
    IsoHarness h;
    FakeDrive reader;
    reader.type = kDriveRemovable;
    h.sys.AddDrive('Z', reader);  // an empty reader is still in the drive list
    h.contents = {{"\\a.gho", 300ll << 20}};
    h.Browse("D:\\img\\setup.iso");
    EXPECT_NE(h.sys.commandsRun.back().find("/D:Y "), std::string::npos);
}

TEST(BrowseImage, OtherKindsOfFiles) {
    IsoHarness h;
    h.sys.AddFile("D:\\a.wim", std::string(2048, 'w'));
    h.sys.AddFile("D:\\empty.gho", "");
    h.sys.AddFile("D:\\XP\\I386\\WINNT32.EXE", "x");
    h.sys.fileDescriptions["D:\\XP\\I386\\WINNT32.EXE"] = "Stub Loader for WINNT32 Setup Program";
    h.sys.AddFile("D:\\other.exe", "x");
    h.sys.AddFile("D:\\tiny.iso", "x");
    h.Browse("D:\\a.wim");
    EXPECT_EQ(h.Selected(), "D:\\a.wim");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageNoteLabel), "类型： WIM 映像文件");
    h.Browse("D:\\empty.gho");
    h.Browse("D:\\XP\\I386\\WINNT32.EXE");
    EXPECT_EQ(h.Selected(), "D:\\XP\\I386");
    h.Browse("D:\\other.exe");
    h.Browse("D:\\notes.txt");
    h.Browse("D:\\tiny.iso");
    h.ui.openDialogAnswers.clear();
    h.ui.Click(kMainWindow, kBrowseButton);  // cancelled
    EXPECT_THAT(h.Messages(), ElementsAre("无效的Ghost映像文件，请选择正确的Ghost映像文件！",
                                          "您选择的不是 WindowsXP 安装程序，请重新选择！ ",
                                          "你选择的系统安装映像文件不正确！",
                                          "无效的ISO镜像文件，请选择正确的ISO镜像文件！"));
    ASSERT_FALSE(h.ui.openDialogs.empty());
    EXPECT_EQ(h.ui.openDialogs[0].defaultName, "C:\\");
}

TEST(MountIsoAndList, ListsEveryFileAndOffersToOpenTheDrive) {
    IsoHarness h;
    h.contents = {{"\\setup.exe", 100}, {"\\sources\\install.wim", 1000}};
    h.ui.SetSelection(kMainWindow, kImageKindBox, 1);
    h.ui.Click(kMainWindow, kImageSearchButton);
    h.ui.SelectItem(kMainWindow, kImageList, 0);
    h.ui.ClickRow(kMainWindow, kImageList, 0, true);
    h.ui.messageBoxAnswers = {kIdYes, kIdYes};
    h.ui.ChooseMenu(kMainWindow, kMenuImageMount);
    EXPECT_THAT(h.Messages(), ElementsAre("是否加载至虚拟光驱？",
                                          "加载 D:\\img\\setup.iso:\\ 完成，是否打开 Z:\\ ？"));
    EXPECT_EQ(h.sys.commandsRun.back(), "C:\\Windows\\ISO.exe /D:Z /I:\"D:\\img\\setup.iso\"");
    ASSERT_EQ(h.ui.ItemCount(kMainWindow, kIsoContentList), 2);
    EXPECT_EQ(h.ui.ItemText(kMainWindow, kIsoContentList, 0), "Z:\\setup.exe");
    EXPECT_THAT(h.sys.programsStarted, ElementsAre("explorer.exe Z:\\"));

    // A second mount takes the next free letter; a drive that shows nothing is refused.
    h.contents.clear();
    h.ui.messageBoxes.clear();
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.ChooseMenu(kMainWindow, kMenuImageMount);
    EXPECT_NE(h.sys.commandsRun.back().find("/D:Y "), std::string::npos);
    EXPECT_THAT(h.Messages(), ElementsAre("是否加载至虚拟光驱？",
                                          "无效或不支持的ISO映像文件，请选择正确的ISO镜像！"));
}

}  // namespace
