// The image list menu: which entries it offers, and each command with its messages and
// its effect on the files and the lists; the volume-label dialog; About.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/ids/about.h"
#include "base/ids/volume_label.h"
#include "tests/native/harness.h"
#include "tests/native/list_items.h"

using ::testing::ElementsAre;

namespace {

std::vector<std::string> Items(Harness& h, int control) {
    return ItemsOf(h.ui, control);
}

struct MenuHarness : Harness {
    MenuHarness() {
        AddFixedDrive('D', 0, 2);
        sys.AddFile("C:\\Windows\\GHOSTEXP.exe", "x");
        sys.AddFile("D:\\a.gho", "aaaa");
        sys.AddFile("D:\\b.gho", "bbbb");
        sys.AddFile("D:\\c.gho", "cccc");
        sys.AddFile("D:\\x.iso", "iiii");
        sys.AddFile("D:\\w.wim", "wwww");
        EXPECT_TRUE(Start());
        Search(0);
    }
    void Search(int kind) {
        ui.SetSelection(kMainWindow, kImageKindBox, kind);
        ui.Click(kMainWindow, kImageSearchButton);
        ui.messageBoxes.clear();
    }
    // Selects the row, right-clicks it and, when the menu opened, picks the item.
    bool RightClick(int row) {
        const size_t before = ui.popups.size();
        ui.SelectItem(kMainWindow, kImageList, row);
        ui.ClickRow(kMainWindow, kImageList, row, true);
        return ui.popups.size() > before;
    }
    void Pick(int item) { ui.ChooseMenu(kMainWindow, item); }
    bool Shown(int item) { return ui.IsMenuItemVisible(kMainWindow, item); }
};

TEST(ImageListMenu, OffersEntriesByKind) {
    MenuHarness h;
    ASSERT_TRUE(h.RightClick(0));  // D:\a.gho
    EXPECT_TRUE(h.Shown(kMenuImageOpen));
    EXPECT_FALSE(h.Shown(kMenuImageMount));
    EXPECT_EQ(h.ui.popups.back().menu, kImageListMenu);
    EXPECT_FALSE(h.RightClick(3));  // the summary line: no menu

    h.Search(1);
    ASSERT_TRUE(h.RightClick(0));  // D:\x.iso
    EXPECT_FALSE(h.Shown(kMenuImageOpen));
    EXPECT_TRUE(h.Shown(kMenuImageMount));
    h.Search(2);
    ASSERT_TRUE(h.RightClick(0));  // D:\w.wim
    EXPECT_FALSE(h.Shown(kMenuImageOpen));
    EXPECT_FALSE(h.Shown(kMenuImageMount));
}

TEST(ImageListMenu, OpenStartsGhostExplorerOrSaysWhatIsMissing) {
    MenuHarness h;
    h.RightClick(0);
    h.Pick(kMenuImageOpen);
    EXPECT_THAT(h.sys.programsStarted, ElementsAre("C:\\Windows\\GHOSTEXP.exe D:\\a.gho"));

    h.sys.DeleteFile("D:\\a.gho");
    h.Pick(kMenuImageOpen);
    EXPECT_THAT(h.Messages(), ElementsAre("未找到 D:\\a.gho ！"));
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));

    h.sys.DeleteFile("C:\\Windows\\GHOSTEXP.exe");
    h.Pick(kMenuImageOpen);
    h.ui.ChooseMenu(kMainWindow, kMenuGhostExplorer);
    EXPECT_EQ(h.Messages().back(), "未找到Ghost浏览器！");
    EXPECT_EQ(h.Messages().size(), 3u);
    EXPECT_EQ(h.sys.programsStarted.size(), 1u);
}

TEST(ImageListMenu, ExportCopiesAndReportsOnlyWhatHappened) {
    MenuHarness h;
    h.Search(2);
    h.RightClick(0);
    h.ui.saveDialogAnswers = {"C:\\copy.wim"};
    h.Pick(kMenuImageExport);
    ASSERT_EQ(h.ui.saveDialogs.size(), 1u);
    EXPECT_EQ(h.ui.saveDialogs[0].title, "导出文件");
    EXPECT_EQ(h.ui.saveDialogs[0].filter, "WIM映像文件(*.WIM)|*.WIM");
    EXPECT_EQ(h.ui.saveDialogs[0].defaultName, "w.wim");
    EXPECT_EQ(h.sys.FileContents("C:\\copy.wim"), "wwww");
    EXPECT_TRUE(h.sys.HasFile("D:\\w.wim"));
    EXPECT_THAT(h.Messages(), ElementsAre("D:\\w.wim 导出成功！"));
    EXPECT_EQ(h.sys.shellLog.back(), "reveal C:\\copy.wim");

    h.ui.messageBoxes.clear();
    h.sys.failingShellOperations = {"D:\\w.wim"};
    h.ui.saveDialogAnswers = {"C:\\again.wim"};
    h.Pick(kMenuImageExport);
    EXPECT_THAT(h.Messages(), ElementsAre("D:\\w.wim 导出失败！"));
    EXPECT_FALSE(h.sys.HasFile("C:\\again.wim"));

    h.ui.messageBoxes.clear();
    h.Pick(kMenuImageExport);  // no answer: cancelled, nothing shown
    EXPECT_TRUE(h.Messages().empty());
}

TEST(ImageListMenu, MoveKeepsTheOldEntryAndMissingFilesAreNamed) {
    MenuHarness h;
    h.RightClick(1);  // D:\b.gho
    h.ui.saveDialogAnswers = {"C:\\b.gho"};
    h.Pick(kMenuImageMove);
    EXPECT_EQ(h.ui.saveDialogs[0].title, "移动文件");
    EXPECT_EQ(h.ui.saveDialogs[0].filter, "Ghost映像文件(*.Gho)|*.Gho");
    EXPECT_FALSE(h.sys.HasFile("D:\\b.gho"));
    EXPECT_EQ(h.sys.FileContents("C:\\b.gho"), "bbbb");
    EXPECT_THAT(h.Messages(), ElementsAre("D:\\b.gho 移动成功！"));
    EXPECT_EQ(h.ui.ItemText(kMainWindow, kImageList, 1), "D:\\b.gho");

    h.ui.messageBoxes.clear();
    h.Pick(kMenuImageOpen);
    h.Pick(kMenuImageMove);
    h.Pick(kMenuImageExport);
    h.Pick(kMenuImageBrowse);
    h.Pick(kMenuImageProperties);
    EXPECT_THAT(h.Messages(),
                ElementsAre("未找到 D:\\b.gho ！", "D:\\b.gho 不存在！", "未找到 D:\\b.gho ！",
                            "未找到 D:\\b.gho ！", "未找到 D:\\b.gho ！"));
    EXPECT_EQ(h.ui.messageBoxes[1].flags, unsigned(kMbIconWarning));
}

TEST(ImageListMenu, BrowseAndPropertiesOfAnExistingFile) {
    MenuHarness h;
    h.RightClick(2);
    h.Pick(kMenuImageBrowse);
    h.Pick(kMenuImageProperties);
    EXPECT_THAT(h.sys.shellLog, ElementsAre("reveal D:\\c.gho", "properties D:\\c.gho"));
    EXPECT_TRUE(h.Messages().empty());
}

TEST(ImageListMenu, DeleteRemovesItsOwnEntryAndRecountsTheSummary) {
    MenuHarness h;
    // The image path box's current entry is another file than the one deleted.
    h.ui.SelectItem(kMainWindow, kImageList, 2);
    ASSERT_EQ(h.ui.GetText(kMainWindow, kImagePathBox), "D:\\c.gho");
    h.RightClick(1);  // D:\b.gho, which also puts it into the image path box
    h.ui.SetSelection(kMainWindow, kImagePathBox, 2);  // D:\c.gho is current again
    h.ui.messageBoxAnswers = {kIdNo};
    h.Pick(kMenuImageDelete);
    EXPECT_TRUE(h.sys.HasFile("D:\\b.gho"));
    EXPECT_THAT(h.Messages(), ElementsAre("是否删除 b.gho ？"));
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconInformation));

    h.ui.messageBoxes.clear();
    h.ui.messageBoxAnswers = {kIdYes};
    h.Pick(kMenuImageDelete);
    EXPECT_FALSE(h.sys.HasFile("D:\\b.gho"));
    EXPECT_THAT(h.Messages(), ElementsAre("是否删除 b.gho ？", "b.gho 删除成功！"));
    EXPECT_THAT(Items(h, kImageList),
                ElementsAre("D:\\a.gho", "D:\\c.gho", "搜索3层目录完成，共搜索到2个Gho文件。"));
    EXPECT_THAT(Items(h, kImagePathBox), ElementsAre("D:\\a.gho", "D:\\c.gho", "D:\\w.wim"));
    EXPECT_EQ(h.ui.GetSelection(kMainWindow, kImagePathBox), 0);

    for (int left = 1; left >= 0; --left) {
        h.ui.messageBoxAnswers = {kIdYes};
        h.RightClick(0);
        h.Pick(kMenuImageDelete);
    }
    EXPECT_THAT(Items(h, kImageList), ElementsAre("搜索3层目录完成，共搜索到0个Gho文件。"));
}

TEST(ImageListMenu, DeleteFailureLeavesTheLists) {
    MenuHarness h;
    h.Search(2);
    h.RightClick(0);
    h.sys.DeleteFile("D:\\w.wim");
    h.Pick(kMenuImageDelete);
    EXPECT_THAT(h.Messages(), ElementsAre("w.wim 不存在！"));
    EXPECT_EQ(h.ui.ItemCount(kMainWindow, kImageList), 2);
}

struct LabelHarness : Harness {
    LabelHarness() {
        FakeDrive d;
        d.deviceNumber = 0;
        d.partitionNumber = 2;
        d.totalBytes = 10ull << 30;
        d.freeBytes = 1ull << 30;
        d.label = "DATA";
        sys.AddDrive('D', d);
        EXPECT_TRUE(Start());
        ui.ClickRow(kMainWindow, kPartitionList, 1);
        ui.messageBoxes.clear();
    }
    void Open() { ui.ChooseMenu(kMainWindow, kMenuPartRename); }
};

TEST(VolumeLabelDialog, ShowsTheOldLabelAndAppliesTheNewOne) {
    LabelHarness h;
    h.Open();
    ASSERT_TRUE(h.ui.HasWindow(kVolumeLabelWindow));
    EXPECT_EQ(h.ui.GetText(kVolumeLabelWindow, kVolumeLabelOld), "原卷标： DATA");
    EXPECT_FALSE(h.ui.IsEnabled(kMainWindow, kStartButton));  // the main window waits
    h.ui.SetText(kVolumeLabelWindow, kVolumeLabelNew, "BACKUP");
    h.ui.Click(kVolumeLabelWindow, kVolumeLabelApply);
    EXPECT_THAT(h.sys.shellLog, ElementsAre("label D:\\ BACKUP"));
    EXPECT_THAT(h.Messages(), ElementsAre("更改 D:\\(1:2) 的卷标成功！"));
    // The old label stays as read until the dialog opens again.
    EXPECT_EQ(h.ui.GetText(kVolumeLabelWindow, kVolumeLabelOld), "原卷标： DATA");
    h.ui.Click(kVolumeLabelWindow, kVolumeLabelClose);
    EXPECT_TRUE(h.ui.GetWindow(kVolumeLabelWindow).destroyed);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    h.Open();
    EXPECT_EQ(h.ui.GetText(kVolumeLabelWindow, kVolumeLabelOld), "原卷标： BACKUP");

    h.ui.messageBoxes.clear();
    h.sys.failingLabelRoots = {"D:\\"};
    h.ui.Click(kVolumeLabelWindow, kVolumeLabelApply);
    EXPECT_THAT(h.Messages(), ElementsAre("更改 D:\\(1:2) 的卷标失败！"));
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
}

TEST(VolumeLabelDialog, NoLabelReadsNone) {
    LabelHarness h;
    h.sys.drives['D'].label.clear();
    h.Open();
    EXPECT_EQ(h.ui.GetText(kVolumeLabelWindow, kVolumeLabelOld), "原卷标： 无");
}

TEST(AboutWindow, FixedTextsAndTheMakerLink) {
    Harness h;
    ASSERT_TRUE(h.Start());
    for (int time = 0; time < 2; ++time) {
        h.ui.ChooseMenu(kMainWindow, kMenuAbout);
        EXPECT_EQ(h.ui.GetText(kAboutWindow, kAboutProduct), "岚舟软件星桥装机台");
        EXPECT_EQ(h.ui.GetText(kAboutWindow, kAboutWelcome), "欢迎使用 岚舟软件星桥装机台");
        EXPECT_EQ(h.ui.GetText(kAboutWindow, kAboutTitle), "关于");
        h.ui.Click(kAboutWindow, kAboutClose);
        EXPECT_TRUE(h.ui.GetWindow(kAboutWindow).destroyed);
    }
    LockMainWindow(h.program);  // a job runs: the link still works
    h.ui.Click(kMainWindow, kMakerLink);
    ASSERT_EQ(h.sys.shellLog.size(), 1u);
    EXPECT_EQ(h.sys.shellLog[0].rfind("open http", 0), 0u);
}

}  // namespace
