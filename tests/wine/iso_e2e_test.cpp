// Image files through the real window under Wine: an ISO chosen with the browse button
// is mounted by the ISO tool the program writes out, the image it holds is restored
// onto another drive (and refused on the drive that holds the ISO file), an ISO holding
// a WIM reaches the ImageX restore window, and the partition details window lists its
// lines for a sandbox drive.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "base/ids/ghost_confirmation.h"
#include "base/ids/imagex_restore.h"
#include "base/ids/main_window.h"
#include "base/ids/partition_details.h"
#include "tests/wine/automation.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const DWORD kGhostRun = 180000;

// The host folder of a sandbox drive letter (the test prefix maps D: to <drives>/d).
std::string HostPath(char letter, const std::string& rest) {
    const char* drives = std::getenv("SB_TEST_DRIVES");
    std::string path = std::string(drives ? drives : "") + "/" + char(letter - 'A' + 'a');
    for (char c : rest) path += c == '\\' ? '/' : c;
    return path;
}

// Runs a host shell command and waits for it. Wine starts host programs named
// \\?\unix\<path> but neither waits for them nor reports them started, so the shell
// leaves a marker file when the command has ended.
void RunHost(const std::string& command) {
    const std::string marker = HostPath('F', "\\host-command.done");
    DeleteFileA("F:\\host-command.done");
    RunningProgram host("\\\\?\\unix\\bin\\sh -c \"" + command + "; touch '" + marker + "'\"");
    EXPECT_TRUE(WaitUntil(
        [] { return GetFileAttributesA("F:\\host-command.done") != INVALID_FILE_ATTRIBUTES; },
        120000))
        << command;
    DeleteFileA("F:\\host-command.done");
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const std::string& path) {
    std::string text;
    return ReadStoreFile(path, &text) ? text : "(unreadable " + path + ")";
}

// ISO images made from a folder of a sandbox drive, as a technician's would be.
void MakeIso(const std::string& folder, const std::string& iso) {
    DeleteFileA(iso.c_str());
    RunHost("genisoimage -quiet -J -R -o '" + HostPath(iso[0], iso.substr(2)) + "' '" +
            HostPath(folder[0], folder.substr(2)) + "'");
    ASSERT_TRUE(Exists(iso)) << iso;
}

struct IsoUnderWine : ::testing::Test {
    RunningProgram program{kProgram};
    HWND window = nullptr;

    void SetUp() override {
        window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        // The program unmounts at its own exit; a killed one leaves the letter behind.
        RunningProgram unmount("C:\\windows\\ISO.exe /q");
        unmount.WaitForExit(30000);
    }

    int RowOf(const std::string& root) {
        for (int row = 0; row < ListRowCount(window, kPartitionList); ++row)
            if (ListCell(window, kPartitionList, row, 0) == root) return row;
        return -1;
    }
    std::string Named(const std::string& root) {
        return root + "(" + ListCell(window, kPartitionList, RowOf(root), 1) + ")";
    }
    void SelectTarget(const std::string& root) {
        const int row = RowOf(root);
        ASSERT_GE(row, 0) << root;
        ClickListRow(window, kPartitionList, row);
        ASSERT_TRUE(WaitUntil([&] { return Text(window, kSelectedRoot) == root; }, 10000));
    }
    // Chooses the ISO in the browse dialog of the restore mode and waits until the
    // program has put the image it found into the image path box.
    std::string BrowseIso(const std::string& iso, const std::string& imageName) {
        // imageName: the image's path inside the ISO, from its root.
        Click(window, kRestoreMode);
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(window, kImagePathBox); }, 10000));
        Click(window, kBrowseButton);
        HWND dialog = WaitForWindow(program.id(), "#32770", 20000);
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return std::string();
        const int nameBox = Control(dialog, 0x47C) ? 0x47C : 0x480;
        // The dialog fills its name box while it starts: type until the path stays.
        EXPECT_TRUE(WaitUntil(
            [&] {
                Type(dialog, nameBox, iso);
                Sleep(200);
                return Text(dialog, nameBox) == iso;
            },
            20000));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 20000));
        // The images found on the mounted letter join the box's list; a large one or a
        // setup's install.wim is chosen at once, a small one is picked by hand.
        int index = -1;
        std::vector<std::string> items;
        const bool found = WaitUntil(
            [&] {
                items = ComboItems(window, kImagePathBox);
                for (size_t i = 0; i < items.size(); ++i) {
                    const std::string& item = items[i];
                    if (item.size() == imageName.size() + 3 && item.substr(1, 2) == ":\\" &&
                        item.compare(item.size() - imageName.size(), imageName.size(), imageName) ==
                            0) {
                        index = int(i);
                        return true;
                    }
                }
                return false;
            },
            180000);
        std::string listed;
        for (const std::string& item : items) listed += item + " | ";
        EXPECT_TRUE(found) << "image path box: " << Text(window, kImagePathBox)
                           << ", listed: " << listed;
        if (!found) return std::string();
        if (Text(window, kImagePathBox) != items[size_t(index)])
            PickComboItem(window, kImagePathBox, index);
        EXPECT_TRUE(
            WaitUntil([&] { return Text(window, kImagePathBox) == items[size_t(index)]; }, 10000));
        return items[size_t(index)];
    }
    std::string AnswerNextMessage(DWORD milliseconds) {
        HWND box = WaitForMessageBox(program.id(), milliseconds);
        if (!box) return "(no message)";
        const std::string text = MessageBoxText(box);
        AnswerMessageBox(box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 10000));
        return text;
    }
};

TEST_F(IsoUnderWine, RestoresTheGhoOfAnIsoOntoEAndRefusesTheIsosOwnDrive) {
    CreateDirectoryA("D:\\isosample", nullptr);
    ASSERT_TRUE(WriteWholeFile("D:\\isosample\\iso-me.txt", "restored from an ISO\r\n"));
    CreateDirectoryA("F:\\isosrc", nullptr);
    DeleteFileA("F:\\isosrc\\isosample.gho");
    {
        RunningProgram backup(
            "cmd.exe /c C:\\windows\\qii32.exe -clone,mode=pdump,src=1:2,"
            "dst=\"F:\\isosrc\\isosample.gho\" -z1 -sure -fx");
        ASSERT_TRUE(backup.WaitForExit(kGhostRun));
    }
    ASSERT_TRUE(Exists("F:\\isosrc\\isosample.gho"));
    CreateDirectoryA("D:\\iso", nullptr);
    MakeIso("F:\\isosrc", "D:\\iso\\sample.iso");
    DeleteFileA("F:\\isosrc\\isosample.gho");

    const std::string image = BrowseIso("D:\\iso\\sample.iso", "isosample.gho");
    ASSERT_FALSE(image.empty());
    ASSERT_NE(image[0], 'D');

    // The image lies in the ISO file on D:: restoring D: would destroy it mid-read.
    SelectTarget("D:\\");
    Click(window, kStartButton);
    EXPECT_EQ(AnswerNextMessage(20000), "需还原的分区不可与还原映像文件所在的路径相同！");
    EXPECT_EQ(WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Ghost", 500),
              nullptr);

    DeleteFileA("E:\\isosample\\iso-me.txt");
    SelectTarget("E:\\");
    Click(window, kStartButton);
    HWND confirm =
        WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Ghost", 20000);
    ASSERT_NE(confirm, nullptr);
    Click(confirm, kConfirmOk);
    EXPECT_EQ(AnswerNextMessage(kGhostRun),
              "Ghost应用映像到磁盘完成！\r\n映像名称：isosample.gho\r\n安装分区：" + Named("E:\\"));
    EXPECT_EQ(Contents("E:\\isosample\\iso-me.txt"), "restored from an ISO\r\n");
    DeleteFileA("D:\\iso\\sample.iso");
}

TEST_F(IsoUnderWine, AWimInAnIsoReachesTheImagexRestoreWindow) {
    CreateDirectoryA("F:\\wimtree", nullptr);
    ASSERT_TRUE(WriteWholeFile("F:\\wimtree\\in-a-wim.txt", "inside a WIM inside an ISO\r\n"));
    CreateDirectoryA("F:\\wimsrc", nullptr);
    CreateDirectoryA("F:\\wimsrc\\sources", nullptr);
    DeleteFileA("F:\\wimsrc\\sources\\install.wim");
    RunHost("wimlib-imagex capture '" + HostPath('F', "\\wimtree") + "' '" +
            HostPath('F', "\\wimsrc\\sources\\install.wim") +
            "' IsoVolume --compress=LZX >/dev/null");
    ASSERT_TRUE(Exists("F:\\wimsrc\\sources\\install.wim"));
    CreateDirectoryA("D:\\iso", nullptr);
    MakeIso("F:\\wimsrc", "D:\\iso\\wim.iso");
    DeleteFileA("F:\\wimsrc\\sources\\install.wim");

    const std::string image = BrowseIso("D:\\iso\\wim.iso", "sources\\install.wim");
    ASSERT_FALSE(image.empty());
    SelectTarget("E:\\");
    Click(window, kStartButton);
    HWND restore =
        WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Imagex", 30000);
    ASSERT_NE(restore, nullptr);
    // The one volume of the WIM, read through the mounted letter.
    std::vector<std::string> volumes;
    EXPECT_TRUE(WaitUntil(
        [&] {
            volumes = ComboItems(restore, kRxVolumeList);
            return !volumes.empty();
        },
        30000));
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].rfind("1: IsoVolume", 0), 0u) << volumes[0];
    PostMessageW(restore, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(restore); }, 10000));
    DeleteFileA("D:\\iso\\wim.iso");
}

TEST_F(IsoUnderWine, PartitionDetailsListThirteenLinesForASandboxDrive) {
    SelectTarget("E:\\");
    ChooseMenuItem(window, kMenuPartInfo);
    HWND details = WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "分区信息", 30000);
    ASSERT_NE(details, nullptr);
    std::string text;
    ASSERT_TRUE(WaitUntil([&] { return !(text = Text(details, kDetailsText)).empty(); }, 30000));
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 13u) << text;
    EXPECT_EQ(lines[0].rfind("盘    符：E:", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("位    置：第 ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[9], "磁盘类型：硬盘驱动器") << lines[9];
    EXPECT_EQ(lines[12].rfind("GPT 分区：", 0), 0u) << lines[12];
}

}  // namespace
