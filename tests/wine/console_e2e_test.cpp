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

TEST(RunHiddenAndCapture, ReportsTheExitCodeOfASilentFailure) {
    Runner r;
    CommandResult silent = r.sys.RunHiddenAndCapture("D:\\sb\\console_writer.exe 0 7", false);
    EXPECT_TRUE(silent.started);
    EXPECT_EQ(silent.output, "");
    EXPECT_EQ(silent.exitCode, 7u);
    // The code is read once the program has ended, also when it ends a while after its
    // last output.
    CommandResult late = r.sys.RunHiddenAndCapture("D:\\sb\\console_writer.exe 2 3 600", true);
    EXPECT_TRUE(late.started);
    EXPECT_EQ(late.output, ExpectedInterleaving(2));
    EXPECT_EQ(late.exitCode, 3u);
    CommandResult fine = r.sys.RunHiddenAndCapture("D:\\sb\\console_writer.exe 1", false);
    EXPECT_EQ(fine.exitCode, 0u);
    EXPECT_EQ(r.sys.RunHiddenAndCapture("cmd.exe /c exit 5", false).exitCode, 5u);
    // 259 is the value GetExitCodeProcess gives for a running process too.
    EXPECT_EQ(r.sys.RunHiddenAndCapture("D:\\sb\\console_writer.exe 0 259", false).exitCode, 259u);
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

struct ConsoleWindow : Runner {
    enum { kWindow = 7, kFirstBox = 1, kSecondBox = 2 };
    ConsoleWindow() {
        WindowDesc job;
        job.id = kWindow;
        job.width = 300;
        job.height = 200;
        for (int id : {int(kFirstBox), int(kSecondBox)}) {
            ControlDesc box;
            box.id = id;
            box.kind = ControlKind::MultiLineEdit;
            box.rect = {0, (id - 1) * 100, 300, 100};
            job.controls.push_back(box);
        }
        created = ui.CreateWindowFrom(job, nullptr);
    }
    // Starts the console showing its output in box; false when it did not start.
    bool StartInto(int box) {
        if (!created || program.console.StartConsole("", "") == 0) return false;
        program.console.AttachConsoleOutput(kWindow, box);
        return true;
    }
    // Types "echo <marker>" and waits until the box shows the marker's line.
    bool EchoShowsIn(int box, const std::string& marker) {
        program.console.SendConsoleLine("echo " + marker);
        return WaitForText(box, marker + "\r\n");
    }
    // Keeps the window's messages moving until the box shows text, at most ten seconds.
    bool WaitForText(int box, const std::string& text) {
        for (int i = 0; i < 1000; ++i) {
            ui.PumpPendingMessages();
            if (ui.GetText(kWindow, box).find(text) != std::string::npos) return true;
            Sleep(10);
        }
        return false;
    }
    bool created = false;
};

TEST(PersistentConsole, StopsWhileTheReaderWaitsAndStartsAgain) {
    ConsoleWindow w;
    ASSERT_TRUE(w.StartInto(ConsoleWindow::kFirstBox));
    PersistentConsole& console = w.program.console;
    ASSERT_TRUE(w.EchoShowsIn(ConsoleWindow::kFirstBox, "marker-two"))
        << w.ui.GetText(ConsoleWindow::kWindow, ConsoleWindow::kFirstBox);
    // The interpreter waits for input and the reader for output: stop now.
    EXPECT_TRUE(console.StopConsole());
    EXPECT_FALSE(console.IsRunning());
    // A second console, shown in the other box, works as the first did.
    ASSERT_TRUE(w.StartInto(ConsoleWindow::kSecondBox));
    EXPECT_TRUE(w.EchoShowsIn(ConsoleWindow::kSecondBox, "marker-three"))
        << w.ui.GetText(ConsoleWindow::kWindow, ConsoleWindow::kSecondBox);
    EXPECT_TRUE(console.StopConsole());
}

TEST(PersistentConsole, RetargetsTheReaderToAnotherBox) {
    ConsoleWindow w;
    ASSERT_TRUE(w.StartInto(ConsoleWindow::kFirstBox));
    PersistentConsole& console = w.program.console;
    ASSERT_TRUE(w.EchoShowsIn(ConsoleWindow::kFirstBox, "before-move"));
    console.AttachConsoleOutput(ConsoleWindow::kWindow, ConsoleWindow::kSecondBox);
    EXPECT_TRUE(w.EchoShowsIn(ConsoleWindow::kSecondBox, "after-move"))
        << w.ui.GetText(ConsoleWindow::kWindow, ConsoleWindow::kSecondBox);
    EXPECT_EQ(w.ui.GetText(ConsoleWindow::kWindow, ConsoleWindow::kFirstBox).find("after-move"),
              std::string::npos);
    EXPECT_TRUE(console.StopConsole());
}

TEST(PersistentConsole, StopDoesNotWaitForAProgramThatHoldsTheOutput) {
    ConsoleWindow w;
    ASSERT_TRUE(w.StartInto(ConsoleWindow::kFirstBox));
    PersistentConsole& console = w.program.console;
    // The writer inherits the output pipe and keeps it for twenty seconds after its
    // lines; ending the interpreter leaves it running.
    console.SendConsoleLine("D:\\sb\\console_writer.exe 1 0 20000");
    ASSERT_TRUE(w.WaitForText(ConsoleWindow::kFirstBox, "err 000"));
    const DWORD before = GetTickCount();
    EXPECT_TRUE(console.StopConsole());
    EXPECT_LT(GetTickCount() - before, 15000u) << "the stop waited for the writer to end";
    EXPECT_FALSE(console.IsRunning());
}

}  // namespace
