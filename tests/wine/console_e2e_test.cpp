// The one-shot console runner on real Windows pipes and processes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/console.h"
#include "base/program.h"
#include "platform/win32/win32_sys.h"
#include "platform/win32/win32_ui.h"

namespace {

std::string ExpectedInterleaving(int lines) {
    std::string text;
    char line[64];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "out %03d: the quick brown fox\r\n", i);
        text += line;
        std::snprintf(line, sizeof line, "err %03d: jumps over the dog\r\n", i);
        text += line;
    }
    return text;
}

struct Runner {
    Win32Sys sys;
    Win32Ui ui{GetModuleHandleA(nullptr)};
    Program program{sys, ui};
};

TEST(RunConsoleCommand, ReturnsLongInterleavedOutputWholeAndInOrder) {
    Runner r;
    std::string out = RunConsoleCommand(r.program, "D:\\sb\\console_writer.exe 80").output;
    std::string expected = ExpectedInterleaving(80);
    ASSERT_GT(expected.size(), 1023u);
    EXPECT_EQ(out, expected);
}

TEST(RunConsoleCommand, ExactVariantGivesTheSameBytes) {
    Runner r;
    EXPECT_EQ(RunConsoleCommandExact(r.program, "D:\\sb\\console_writer.exe 50").output,
              ExpectedInterleaving(50));
}

TEST(RunConsoleCommand, SilentCommandGivesAnEmptyText) {
    Runner r;
    EXPECT_EQ(RunConsoleCommand(r.program, "D:\\sb\\console_writer.exe 0").output, "");
    EXPECT_EQ(RunConsoleCommand(r.program, "rem nothing at all").output, "");
}

TEST(RunConsoleCommand, ACommandThatCannotStartGivesAnEmptyText) {
    Runner r;
    CommandResult result = r.sys.RunHiddenAndCapture("Z:\\no\\such\\program.exe", false);
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.output, "");
}

TEST(PersistentConsole, TypesLinesAndStreamsTheOutput) {
    Runner r;
    WindowDesc job;
    job.id = 7;
    job.width = 300;
    job.height = 200;
    ControlDesc box;
    box.id = 1;
    box.kind = ControlKind::MultiLineEdit;
    box.rect = {0, 0, 300, 200};
    job.controls.push_back(box);
    ASSERT_TRUE(r.ui.CreateWindowFrom(job, nullptr));
    PersistentConsole& console = r.program.console;
    ASSERT_NE(console.StartConsole("", ""), 0u);
    console.AttachConsoleOutput(7, 1);
    EXPECT_EQ(console.SendConsoleLine("echo marker-one"), long(sizeof "echo marker-one" + 1));
    // The reader sends text to the window, so keep the window's messages moving.
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
        r.ui.PumpPendingMessages();
        seen = r.ui.GetText(7, 1).find("marker-one\r\n") != std::string::npos;
        Sleep(10);
    }
    EXPECT_TRUE(seen) << r.ui.GetText(7, 1);
    EXPECT_EQ(console.SendConsoleLine(" EXIT "), 4);
    EXPECT_FALSE(console.IsRunning());
}

}  // namespace
