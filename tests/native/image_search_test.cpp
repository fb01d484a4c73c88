// The image search: the depth rule and its matches on fake drive trees, the start-up
// search's order, the search command's list and messages, and the image panel.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk/image_files.h"
#include "tests/native/harness.h"
#include "tests/native/list_items.h"
#include "tools/image_search.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::vector<std::string> Walk(Harness& h, std::string directory, std::string pattern, int depth) {
    std::vector<std::string> found;
    WalkDirectory(
        h.program, directory, [&](const std::string& p) { found.push_back(p); }, pattern, true,
        depth, true);
    return found;
}

std::vector<std::string> Items(Harness& h, int control) {
    return ItemsOf(h.ui, control);
}

struct TreeHarness : Harness {
    TreeHarness() {
        sys.AddFile("C:\\top.gho", "1");
        sys.AddFile("C:\\A\\one.gho", "1");
        sys.AddFile("C:\\A\\B\\two.GHO", "1");
        sys.AddFile("C:\\A\\B\\C\\three.gho", "1");
        sys.AddFile("C:\\A\\B\\C\\D\\four.gho", "1");
    }
};

TEST(WalkDirectory, DepthLimitCountsPathPieces) {
    TreeHarness h;
    EXPECT_THAT(Walk(h, "C:\\", "*.gho", 3),
                ElementsAre("C:\\top.gho", "C:\\A\\one.gho", "C:\\A\\B\\two.GHO"));
    EXPECT_THAT(Walk(h, "C:\\", "*.gho", 1), ElementsAre("C:\\top.gho"));
    EXPECT_THAT(Walk(h, "C:\\", "*.gho", 0), ElementsAre("C:\\top.gho"));
    EXPECT_THAT(Walk(h, "C:\\", "*.gho", 2), ElementsAre("C:\\top.gho", "C:\\A\\one.gho"));
    EXPECT_EQ(Walk(h, "C:\\", "*.gho", -1).size(), 5u);
}

TEST(WalkDirectory, ArgumentsAreWrittenBackAndDefaultsApply) {
    TreeHarness h;
    std::string directory = "C:\\A", pattern = "*.gho";
    std::vector<std::string> found;
    WalkDirectory(
        h.program, directory, [&](const std::string& p) { found.push_back(p); }, pattern, false, 2,
        false);
    EXPECT_EQ(directory, "C:\\A\\");
    EXPECT_EQ(pattern, "*.*");
    EXPECT_EQ(found.size(), 4u);  // no pattern and no depth limit: every file below C:\A
}

TEST(WalkDirectory, DirectoriesNamedLikeImagesAreNotImagesAndGbkNamesKeepTheirLevel) {
    Harness h;
    h.sys.AddDirectory("C:\\folder.gho");
    h.sys.AddFile("C:\\folder.gho\\inner.gho", "1");
    // The second byte of this GBK character is 0x5C: it separates nothing.
    const std::string gbk =
        "\xD6\x5C"
        "A";
    h.sys.AddFile("C:\\" + gbk + "\\X\\deep.gho", "1");
    EXPECT_THAT(Walk(h, "C:\\", "*.gho", 2), ElementsAre("C:\\folder.gho\\inner.gho"));
    EXPECT_EQ(DirectoryLevel("C:\\" + gbk + "\\X"), 3);
    EXPECT_THAT(Walk(h, "C:\\", "*.gho", 3),
                ElementsAre("C:\\folder.gho\\inner.gho", "C:\\" + gbk + "\\X\\deep.gho"));
}

TEST(WalkDirectory, PatternMatchesWholeNamesWithoutCase) {
    Harness h;
    h.sys.AddFile("C:\\win.wim", "1");
    h.sys.AddFile("C:\\win.wim.old", "1");
    h.sys.AddFile("C:\\WIN.WIM.OLD.WIM", "1");
    EXPECT_THAT(Walk(h, "C:\\", "*.Wim", 1), ElementsAre("C:\\win.wim", "C:\\WIN.WIM.OLD.WIM"));
}

TEST(StartupImageSearch, GhostBeforeWimPerDriveFixedBeforeCdRom) {
    Harness h;
    FakeDrive cd;
    cd.type = kDriveCdRom;
    h.sys.AddDrive('B', cd);
    h.AddFixedDrive('D', 0, 2);
    h.sys.AddFile("B:\\cd.gho", "1");
    h.sys.AddFile("C:\\c.wim", "1");
    h.sys.AddFile("C:\\c.gho", "1");
    h.sys.AddFile("D:\\IMG\\d.gho", "1");
    h.sys.AddFile("D:\\1\\2\\3\\deep.gho", "1");
    ASSERT_TRUE(h.Start());
    EXPECT_THAT(Items(h, kImagePathBox),
                ElementsAre("C:\\c.gho", "C:\\c.wim", "D:\\IMG\\d.gho", "B:\\cd.gho"));
    // The panel shows the preselected Ghost image.
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImagePathBox), "C:\\c.gho");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageNoteLabel), "类型： Ghost 映像文件");
}

struct SearchHarness : Harness {
    SearchHarness() {
        AddFixedDrive('D', 0, 2);
        sys.AddFile("C:\\a.gho", "1");
        sys.AddFile("C:\\b.gho", "1");
        sys.AddFile("D:\\IMG\\c.gho", "1");
        sys.AddFile("D:\\IMG\\x.iso", "1");
        EXPECT_TRUE(Start());
        ui.balloons.clear();
        ui.enableLog.clear();
    }
    void Search(const std::string& kind, const std::string& depth) {
        ui.SetText(kMainWindow, kSearchDepthBox, depth);
        const int index = kind == "*.Gho" ? 0 : kind == "*.ISO" ? 1 : 2;
        ui.SetSelection(kMainWindow, kImageKindBox, index);
        ui.Click(kMainWindow, kImageSearchButton);
    }
};

TEST(SearchImageFiles, ListsFilesThenTheSummaryLine) {
    SearchHarness h;
    h.Search("*.Gho", "3");
    EXPECT_THAT(Items(h, kImageList), ElementsAre("C:\\a.gho", "C:\\b.gho", "D:\\IMG\\c.gho",
                                                  "搜索3层目录完成，共搜索到3个Gho文件。"));
    ASSERT_EQ(h.ui.balloons.size(), 2u);
    EXPECT_EQ(h.ui.balloons[0].text, "正在搜索文件，请稍候.....");
    EXPECT_EQ(h.ui.balloons[1].text, "搜索文件完成！");
    // The four controls are disabled for the search and enabled after it.
    EXPECT_EQ(h.ui.enableLog.size(), 8u);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kImageSearchButton));
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kImageList));
}

TEST(SearchImageFiles, NothingFoundExplainsWhy) {
    SearchHarness h;
    h.Search("*.ISO", "1");
    EXPECT_THAT(Items(h, kImageList),
                ElementsAre("经过搜索，未发现 ISO 映像文件。", "", "可能原因如下：",
                            "1、设定的目录层数过小。", "2、硬盘中不存在 ISO 映像文件。"));
    h.Search("*.ISO", "2");
    EXPECT_THAT(Items(h, kImageList),
                ElementsAre("D:\\IMG\\x.iso", "搜索2层目录完成，共搜索到1个ISO文件。"));
}

TEST(SearchImageFiles, DepthTextThatIsNoNumberSearchesRootsAndIsShownAsTyped) {
    SearchHarness h;
    h.Search("*.Gho", "abc");
    EXPECT_THAT(Items(h, kImageList),
                ElementsAre("C:\\a.gho", "C:\\b.gho", "搜索abc层目录完成，共搜索到2个Gho文件。"));
    EXPECT_EQ(DepthFromText("2.9"), 2);
    EXPECT_EQ(DepthFromText("-1"), -1);
    EXPECT_EQ(DepthFromText(""), 0);
}

TEST(ShowSelectedImage, PanelLinesAndImagePathBox) {
    SearchHarness h;
    h.sys.AddSizedFile("D:\\IMG\\Windows7_Ultimate_x64.gho", std::int64_t(5) * 1024 * 1024 * 1024);
    h.sys.AddSizedFile("C:\\b.gho", 12 * 1024 * 1024 + 512 * 1024);
    h.sys.creationTimes["C:\\B.GHO"] = SysTime{2015, 3, 7, 9, 5, 1};
    h.Search("*.Gho", "3");
    h.ui.SelectItem(kMainWindow, kImageList, 1);
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSearchDepthNote), "位置： C:\\b.gho");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageNoteLabel), "类型： Ghost 映像文件");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageSizeLabel), "大小： 12.5 MB");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageTimeLabel), "时间： 2015-03-07 09:05:01");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImagePathBox), "C:\\b.gho");

    h.ui.SelectItem(kMainWindow, kImageList, 3);  // D:\IMG\Windows7_Ultimate_x64.gho
    EXPECT_EQ(h.ui.GetText(kMainWindow, kSearchDepthNote),
              "位置： D:\\IMG\\Win...7_Ultimate_x64.gho");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageSizeLabel), "大小：  > 4096 MB");

    // The summary line changes nothing; an ISO never reaches the image path box.
    const std::string before = h.ui.GetText(kMainWindow, kImagePathBox);
    h.ui.SelectItem(kMainWindow, kImageList, h.ui.ItemCount(kMainWindow, kImageList) - 1);
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImagePathBox), before);
    h.Search("*.ISO", "3");
    h.ui.SelectItem(kMainWindow, kImageList, 0);
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImageNoteLabel), "类型： ISO 映像文件");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kImagePathBox), before);
}

TEST(TwoDecimalText, RoundsHalvesToEvenAndDropsZeros) {
    EXPECT_EQ(TwoDecimalText(12.5), "12.5");
    EXPECT_EQ(TwoDecimalText(40.0), "40");
    EXPECT_EQ(TwoDecimalText(2.0 / 3.0), "0.67");
    EXPECT_EQ(TwoDecimalText(0.125), "0.12");
}

TEST(ListFilesOfTree, WholeTreeSkippingDotDirectories) {
    Harness h;
    h.AddFixedDrive('D', 0, 2);
    h.sys.AddFile("D:\\a.txt", "1");
    h.sys.AddFile("D:\\S\\b.wim", "1");
    h.sys.AddFile("D:\\.hidden\\c.gho", "1");
    ASSERT_TRUE(h.Start());
    std::string directory = "D:", pattern = "ignored", filter;
    ListFilesOfTree(h.program, directory, kIsoContentList, pattern, false, filter, false, true);
    EXPECT_EQ(directory, "D:\\");
    EXPECT_EQ(pattern, "*.*");
    EXPECT_THAT(Items(h, kIsoContentList), ElementsAre("D:\\a.txt", "D:\\S\\b.wim"));
}

}  // namespace
