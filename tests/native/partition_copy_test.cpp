#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ghost/confirmation.h"
#include "ghost/partition_copy.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

const char kCopyLine[] =
    "cmd.exe /c C:\\Windows\\qii32.exe -clone,mode=pcopy,src=1:2,dst=1:3  -sure -fx";

// Rows: C: (1:1, the running Windows), D: (1:2), E: (1:3).
struct CopyHarness : Harness {
    CopyHarness(std::uint64_t dUsed = 4ull << 30, std::uint64_t eTotal = 10ull << 30) {
        AddFixedDrive('D', 0, 2, 10ull << 30, (10ull << 30) - dUsed);
        AddFixedDrive('E', 0, 3, eTotal, eTotal / 2);
        EXPECT_TRUE(Start());
        ui.Click(kMainWindow, kCopyMode);
        ui.messageBoxes.clear();
        ui.balloons.clear();
    }
    void Pick(int source, int target) {
        if (source >= 0) ui.ClickRow(kMainWindow, kPartitionList, source);
        if (target >= 0) ui.ClickRow(kMainWindow, kTargetList, target);
    }
    bool PressStart() {
        return Run([&] { ui.Click(kMainWindow, kStartButton); });
    }
    bool ConfirmOpen() {
        return ui.HasWindow(kConfirmWindow) && !ui.GetWindow(kConfirmWindow).destroyed;
    }
};

TEST(PartitionCopy, ChecksComeInOrderWithTheirMessages) {
    struct {
        const char* name;
        int source, target;
        std::string message;
    } cases[] = {
        {"nothing", -1, -1, "请选择源盘！"},
        {"target only", -1, 2, "请选择源盘！"},
        {"source only", 1, -1, "请选择目标盘！"},
        {"same partition", 1, 1, "需对拷的目标分区不可与源分区相同！"},
        {"system as source", 0, 2, "当前环境暂不支持将系统盘对拷至其他盘！"},
        {"system as target", 1, 0, "当前环境暂不支持将其他盘对拷至系统盘！"},
    };
    for (const auto& c : cases) {
        CopyHarness h;
        h.Pick(c.source, c.target);
        EXPECT_TRUE(h.PressStart()) << c.name;
        EXPECT_EQ(h.Messages(), std::vector<std::string>{c.message}) << c.name;
        if (!h.ui.messageBoxes.empty()) {
            EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconWarning)) << c.name;
        }
        EXPECT_FALSE(h.ConfirmOpen()) << c.name;
    }
}

TEST(PartitionCopy, SameRootIsRefusedBeforeTheSizeTest) {
    CopyHarness h(9ull << 30, 1ull << 30);  // would fail the size test too
    h.Pick(1, 1);
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"需对拷的目标分区不可与源分区相同！"});
}

TEST(PartitionCopy, SizeTestComparesUsedBytesWithTheTargetsCapacity) {
    const std::string tooBig = "D:\\(1:2) 中的数据大小大于 E:\\(1:3) ，数据无法对拷！";
    {
        CopyHarness h(5ull << 30, (5ull << 30) - 1024);
        h.Pick(1, 2);
        h.PressStart();
        EXPECT_EQ(h.Messages(), std::vector<std::string>{tooBig});
        EXPECT_FALSE(h.ConfirmOpen());
    }
    {
        CopyHarness h(5ull << 30, 5ull << 30);  // exactly as much data as room: passes
        h.Pick(1, 2);
        h.PressStart();
        EXPECT_TRUE(h.Messages().empty());
        EXPECT_TRUE(h.ConfirmOpen());
    }
    {
        CopyHarness h;
        h.sys.drives['E'].sizeKnown = false;  // an unreadable target has no room
        h.Pick(1, 2);
        h.PressStart();
        EXPECT_EQ(h.Messages(), std::vector<std::string>{tooBig});
    }
    {
        CopyHarness h;
        h.sys.drives['D'].sizeKnown = false;  // an unreadable source holds nothing
        h.Pick(1, 2);
        h.PressStart();
        EXPECT_TRUE(h.ConfirmOpen());
    }
}

TEST(PartitionCopy, TargetFirstThenSourceIsAccepted) {
    CopyHarness h;
    h.Pick(-1, 2);
    h.Pick(1, -1);
    h.PressStart();
    ASSERT_TRUE(h.ConfirmOpen());
    EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmHeadline), "将 D:\\(1:2) 拷贝到 E:\\(1:3)");
    EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmWarning),
              "注意：本操作将删除 E:\\ 上的所有数据。");
    EXPECT_EQ(h.ui.GetText(kConfirmWindow, kConfirmHint),
              "点击“确定(&C)”马上进行还原，点击“取消(&X)”返回程序。");
}

TEST(PartitionCopy, ChoosingCopyModeAgainForgetsTheChoice) {
    CopyHarness h;
    h.Pick(1, 2);
    h.ui.Click(kMainWindow, kBackupMode);
    h.ui.Click(kMainWindow, kCopyMode);
    EXPECT_EQ(h.ui.GetText(kMainWindow, kPromptLabel), "请选择源分区： 未选择");
    EXPECT_EQ(h.ui.GetText(kMainWindow, kTargetLabel), "请选择目标分区： 未选择");
    h.PressStart();
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"请选择源盘！"});
}

TEST(PartitionCopy, SuccessReportsAndKeepsTheDialog) {
    CopyHarness h;
    h.Pick(1, 2);
    h.PressStart();
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.sys.commandsRun.back(), kCopyLine);
    EXPECT_THAT(h.BalloonTexts(), ElementsAre("Ghost正在对拷 D:\\(1:2) 至 E:\\(1:3)，请稍候....",
                                              "D:\\(1:2) 对拷至 E:\\(1:3)完成。"));
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"D:\\(1:2) 对拷至 E:\\(1:3)完成。"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconInformation));
    EXPECT_TRUE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsVisible(kConfirmWindow, kConfirmOk));
    EXPECT_FALSE(h.program.state.jobRunning);
    h.ui.Click(kConfirmWindow, kConfirmCancel);
    EXPECT_FALSE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
}

TEST(PartitionCopy, StatusLineWhileRunning) {
    CopyHarness h;
    h.Pick(1, 2);
    h.PressStart();
    // The status is read while Ghost runs: the fake console answers through this hook.
    std::string status;
    int width = 0;
    h.sys.onCommand = [&](const std::string&) {
        status = h.ui.GetText(kConfirmWindow, kConfirmStatus);
        width = h.ui.GetRect(kConfirmWindow, kConfirmStatus).width;
        EXPECT_FALSE(h.ui.IsVisible(kConfirmWindow, kConfirmOk));
        EXPECT_TRUE(h.program.state.jobRunning);
    };
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(status, "Ghost正在对拷分区D:\\(1:2)，请稍候....");
    EXPECT_EQ(width, 248);
}

TEST(PartitionCopy, CancelAndFailureKeepTheDialogOpen) {
    CopyHarness h;
    h.Pick(1, 2);
    h.PressStart();
    h.sys.commandOutputs[kCopyLine] = "^C and more";
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.ui.balloons.back().title, "Ghost对拷错误！");
    EXPECT_EQ(h.BalloonTexts().back(), "错误信息：\r\n用户取消对拷！");
    EXPECT_EQ(h.Messages().back(), "Ghost对拷错误！\r\n错误信息：\r\n用户取消对拷！");
    EXPECT_EQ(h.ui.messageBoxes.back().flags, unsigned(kMbIconError));
    h.sys.commandOutputs[kCopyLine] = "Target too small";
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_EQ(h.BalloonTexts().back(), "错误信息：\r\nTarget too small");
    EXPECT_EQ(h.Messages().back(), "Ghost对拷错误！\r\n错误信息：\r\nTarget too small");
    EXPECT_TRUE(h.ConfirmOpen());
    EXPECT_TRUE(h.ui.IsEnabled(kConfirmWindow, kConfirmOk));
}

TEST(PartitionCopy, CountdownUsesTheRestoreWording) {
    CopyHarness h;
    h.ui.Click(kMainWindow, kShutdownOption);
    h.Pick(1, 2);
    h.PressStart();
    h.ui.Click(kConfirmWindow, kConfirmOk);
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_EQ(h.ui.GetText(2, 1), "还原已完成，10 秒后自动关机！");
    EXPECT_EQ(h.program.state.finishedJobKind, FinishedJob::Restore);
    EXPECT_EQ(h.program.state.shutdownAfterJob, 1);
    EXPECT_FALSE(h.ConfirmOpen());
}

}  // namespace
