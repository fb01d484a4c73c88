#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/completion.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

struct CountdownHarness : Harness {
    CountdownHarness() { EXPECT_TRUE(Start()); }
    std::string Label() { return ui.GetText(kCountdownWindow, kCountdownLabel); }
    bool Open(FinishedJob kind, bool shutdown) {
        ui.SetChecked(kMainWindow, shutdown ? kShutdownOption : kRestartOption, true);
        bool opened = false;
        Run([&] { opened = StartCompletionActionIfChosen(program, kind); });
        return opened;
    }
};

TEST(Countdown, TextsForEveryFinishedJobKind) {
    EXPECT_EQ(DoneWord(FinishedJob::Restore), "还原已完成，");
    EXPECT_EQ(DoneWord(FinishedJob::Backup), "备份已完成，");
    EXPECT_EQ(DoneWord(FinishedJob::Setup), "安装已完成，");
    EXPECT_EQ(DoneWord(FinishedJob::FileCopy), "文件复制完成，");
    EXPECT_EQ(DoneWord(FinishedJob::Prepared), "程序准备完成，");
}

TEST(Countdown, OpensWithTenSecondsHintAndBalloon) {
    CountdownHarness h;
    ASSERT_TRUE(h.Open(FinishedJob::Backup, true));
    EXPECT_EQ(h.Label(), "备份已完成，10 秒后自动关机！");
    EXPECT_EQ(h.ui.GetText(kCountdownWindow, kCountdownHint),
              "选择\"是(Y)\"马上关机，选择\"否(N)\"返回主界面。");
    EXPECT_EQ(h.ui.balloons.back().text, "备份已完成，10 秒后自动关机！");
    EXPECT_EQ(h.ui.balloons.back().title, "提示");
    EXPECT_EQ(h.ui.GetWindow(kCountdownWindow).timers.at(kCountdownTimer), 1000u);
}

TEST(Countdown, NoOptionMeansNoCountdown) {
    CountdownHarness h;
    EXPECT_FALSE(StartCompletionActionIfChosen(h.program, FinishedJob::Restore));
    EXPECT_FALSE(h.ui.HasWindow(kCountdownWindow));
}

TEST(Countdown, ShutdownIsTestedFirst) {
    CountdownHarness h;
    h.ui.SetChecked(kMainWindow, kRestartOption, true);
    ASSERT_TRUE(h.Open(FinishedJob::Restore, true));
    EXPECT_EQ(h.program.state.shutdownAfterJob, 1);
}

TEST(Countdown, CountsDownAndActsOnTheTickThatShowsZero) {
    CountdownHarness h;
    ASSERT_TRUE(h.Open(FinishedJob::Restore, false));  // a copy reports as a restore
    std::vector<std::string> labels;
    for (int tick = 1; tick <= 9; ++tick) {
        ASSERT_TRUE(h.Run([&] { h.ui.Tick(kCountdownWindow, kCountdownTimer); }));
        labels.push_back(h.Label());
    }
    EXPECT_EQ(labels.front(), "还原已完成，9 秒后自动重启！");
    EXPECT_EQ(labels.back(), "还原已完成，1 秒后自动重启！");
    EXPECT_TRUE(h.sys.powerLog.empty());
    EXPECT_FALSE(h.Run([&] { h.ui.Tick(kCountdownWindow, kCountdownTimer); }));
    EXPECT_EQ(h.Label(), "还原已完成，0 秒后自动重启！");
    EXPECT_EQ(h.ui.GetWindow(kCountdownWindow).timers.count(kCountdownTimer), 0u);
    EXPECT_THAT(h.sys.programsStarted, ElementsAre("PECMD.EXE SHUT R"));
    EXPECT_THAT(h.sys.powerLog, ElementsAre("privilege", "ExitWindowsEx 2 0"));
    EXPECT_TRUE(h.exited);
}

TEST(Countdown, YesActsAtOnce) {
    CountdownHarness h;
    ASSERT_TRUE(h.Open(FinishedJob::Backup, true));
    EXPECT_FALSE(h.Run([&] { h.ui.Click(kCountdownWindow, kCountdownYes); }));
    EXPECT_THAT(h.sys.programsStarted, ElementsAre("PECMD.EXE SHUT"));
    EXPECT_THAT(h.sys.powerLog, ElementsAre("privilege", "ExitWindowsEx 1 65535"));
}

TEST(Countdown, NoStopsItForGood) {
    CountdownHarness h;
    ASSERT_TRUE(h.Open(FinishedJob::Backup, true));
    ASSERT_TRUE(h.Run([&] { h.ui.Click(kCountdownWindow, kCountdownNo); }));
    EXPECT_EQ(h.ui.balloons.back().text, "取消自动关机");
    EXPECT_EQ(h.ui.GetWindow(kCountdownWindow).timers.count(kCountdownTimer), 0u);
    EXPECT_TRUE(h.ui.GetWindow(kCountdownWindow).destroyed);
    EXPECT_TRUE(h.sys.powerLog.empty());
    EXPECT_FALSE(h.exited);
}

TEST(Countdown, CommandLineModeHidesTheWindowAndNoEndsTheProgram) {
    CountdownHarness h;
    h.program.state.commandLineMode = true;
    h.ui.ShowWindow(kMainWindow, true);
    ASSERT_TRUE(h.Open(FinishedJob::Restore, false));
    EXPECT_FALSE(h.ui.GetWindow(kMainWindow).shown);
    EXPECT_FALSE(h.Run([&] { h.ui.Click(kCountdownWindow, kCountdownNo); }));
    EXPECT_TRUE(h.sys.powerLog.empty());
}

TEST(PowerMenu, NowCommandsRefuseWhileBusyAndAsk) {
    CountdownHarness h;
    h.program.state.jobRunning = true;
    h.ui.ChooseMenu(kMainWindow, kMenuShutdownNow);
    h.ui.ChooseMenu(kMainWindow, kMenuRestartNow);
    EXPECT_EQ(h.Messages(),
              (std::vector<std::string>{"程序正在操作，请等待！", "程序正在操作，请等待！"}));
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));
    h.program.state.jobRunning = false;
    h.ui.messageBoxAnswers = {kIdNo, kIdYes};
    h.ui.ChooseMenu(kMainWindow, kMenuShutdownNow);
    EXPECT_TRUE(h.sys.powerLog.empty());
    h.ui.ChooseMenu(kMainWindow, kMenuRestartNow);
    EXPECT_EQ(h.Messages()[2], "是否立即关机？");
    EXPECT_EQ(h.Messages()[3], "是否立即重启？");
    EXPECT_EQ(h.ui.messageBoxes[3].flags, unsigned(kMbYesNo | kMbIconInformation));
    EXPECT_THAT(h.sys.powerLog, ElementsAre("privilege", "ExitWindowsEx 2 0"));
}

TEST(PowerMenu, SystemCommandsOfThePartitionMenuAskWithoutTheBusyTest) {
    CountdownHarness h;
    h.program.state.jobRunning = true;
    h.ui.ClickRow(kMainWindow, kPartitionList, 0, true);
    h.ui.messageBoxAnswers = {kIdYes};
    h.ui.ChooseMenu(kMainWindow, kMenuPartShutdown);
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"是否关闭系统？"});
    EXPECT_THAT(h.sys.powerLog, ElementsAre("privilege", "ExitWindowsEx 1 65535"));
}

}  // namespace
