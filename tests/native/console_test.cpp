#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/console.h"
#include "tests/native/harness.h"

namespace {

TEST(RunConsoleCommand, RunsThroughTheInterpreterOfTheSystemFamily) {
    Harness h;
    h.ui.CreateWindowFrom(MainWindowDesc(), nullptr);
    h.sys.commandOutputs["cmd.exe /c dir C:\\"] = "listing\r\n";
    EXPECT_EQ(RunConsoleCommand(h.program, "dir C:\\").output, "listing\r\n");
    h.sys.ntFamily = false;
    EXPECT_EQ(RunConsoleCommand(h.program, "dir C:\\").output, "");
    EXPECT_EQ(h.sys.commandsRun.back(), "command.com /c dir C:\\");
}

TEST(RunConsoleCommand, SilentCommandGivesAnEmptyText) {
    Harness h;
    EXPECT_EQ(RunConsoleCommand(h.program, "rem nothing").output, "");
    EXPECT_EQ(h.sys.commandsRun, std::vector<std::string>{"cmd.exe /c rem nothing"});
}

TEST(RunConsoleCommand, ExactVariantKeepsZeroBytes) {
    Harness h;
    h.sys.commandOutputs["cmd.exe /c check"] = std::string("ab\0cd", 5);
    EXPECT_EQ(RunConsoleCommand(h.program, "check").output, "ab");
    EXPECT_EQ(RunConsoleCommandExact(h.program, "check").output, std::string("ab\0cd", 5));
}

struct ConsoleHarness : Harness {
    enum { kJobWindow = 9, kOutputBox = 1 };
    ConsoleHarness() {
        WindowDesc job;
        job.id = kJobWindow;
        ControlDesc box;
        box.id = kOutputBox;
        box.kind = ControlKind::MultiLineEdit;
        job.controls.push_back(box);
        ui.CreateWindowFrom(job, nullptr);
    }
    PersistentConsole& console() { return program.console; }
    // Waits until the reader has shown text ending with tail.
    std::string WaitForOutput(const std::string& tail) {
        for (int i = 0; i < 500; ++i) {
            std::string text = ui.GetText(kJobWindow, kOutputBox);
            if (text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
                return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return ui.GetText(kJobWindow, kOutputBox);
    }
};

TEST(PersistentConsole, StartsCmdInTheSystemDirectoryOnce) {
    ConsoleHarness h;
    unsigned pid = h.console().StartConsole("", "");
    EXPECT_NE(pid, 0u);
    EXPECT_EQ(h.sys.consoleCommandLine, "cmd.exe");
    EXPECT_EQ(h.sys.consoleStartDirectory, "C:\\Windows\\system32\\");
    EXPECT_EQ(h.console().StartConsole("other.exe", "D:\\"), pid);
    EXPECT_EQ(h.sys.consoleCommandLine, "cmd.exe");
    h.console().StopConsole();
}

TEST(PersistentConsole, RefusesOutsideTheNtFamilyAndWhenItCannotStart) {
    ConsoleHarness h;
    h.sys.ntFamily = false;
    EXPECT_EQ(h.console().StartConsole("", ""), 0u);
    h.sys.ntFamily = true;
    h.sys.consoleStartFails = true;
    EXPECT_EQ(h.console().StartConsole("", ""), 0u);
    EXPECT_FALSE(h.console().IsRunning());
    EXPECT_EQ(h.console().SendConsoleLine("dir"), 0);
    EXPECT_FALSE(h.console().StopConsole());
}

TEST(PersistentConsole, SendConsoleLineResults) {
    ConsoleHarness h;
    h.console().StartConsole("", "");
    EXPECT_EQ(h.console().SendConsoleLine("dir"), 5);
    EXPECT_EQ(h.console().SendConsoleLine("   "), 2);
    EXPECT_EQ(h.console().SendConsoleLine("  ver  "), 5);
    EXPECT_EQ(h.sys.ConsoleInput(), "dir\r\n\r\nver\r\n");
    // "cls" in any case and with blanks shows a fresh prompt instead of being typed.
    EXPECT_EQ(h.console().SendConsoleLine(" cls "), 3);
    EXPECT_EQ(h.console().SendConsoleLine("CLS"), 3);
    EXPECT_EQ(h.sys.ConsoleInput(), "dir\r\n\r\nver\r\n");
    // "exit" in any case ends the console.
    EXPECT_EQ(h.console().SendConsoleLine(" Exit "), 4);
    EXPECT_FALSE(h.console().IsRunning());
    ASSERT_EQ(h.sys.terminated.size(), 1u);
    EXPECT_EQ(h.sys.terminated[0], std::make_pair(4242u, 3389u));
    EXPECT_EQ(h.console().SendConsoleLine("dir"), 0);
}

TEST(PersistentConsole, ExitWordsAreOnlyWholeLines) {
    ConsoleHarness h;
    h.console().StartConsole("", "");
    EXPECT_EQ(h.console().SendConsoleLine("EXIT"), 4);
    h.console().StartConsole("", "");
    EXPECT_EQ(h.console().SendConsoleLine("exit now"), 10);
    EXPECT_EQ(h.console().SendConsoleLine("clsx"), 6);
    EXPECT_TRUE(h.console().IsRunning());
    h.console().StopConsole();
}

TEST(PersistentConsole, ReaderCopiesOutputAndShowsThePromptForCls) {
    ConsoleHarness h;
    h.console().StartConsole("", "");
    h.ui.SetText(ConsoleHarness::kJobWindow, ConsoleHarness::kOutputBox, "old text");
    h.console().AttachConsoleOutput(ConsoleHarness::kJobWindow, ConsoleHarness::kOutputBox);
    h.sys.ConsolePrints("Microsoft Windows\r\n");
    EXPECT_EQ(h.WaitForOutput("Windows\r\n"), "Microsoft Windows\r\n");
    h.sys.currentDirectory = "D:\\work";
    h.console().SendConsoleLine("cls");
    EXPECT_EQ(h.WaitForOutput("D:\\work>"), "Microsoft Windows\r\nD:\\work>");
    EXPECT_EQ(h.console().LastChunk(), "D:\\work>");
    EXPECT_TRUE(h.console().StopConsole());
}

TEST(PersistentConsole, BoxIsClearedBeforeItWouldPassThirtyThousandCharacters) {
    ConsoleHarness h;
    h.console().StartConsole("", "");
    h.console().AttachConsoleOutput(ConsoleHarness::kJobWindow, ConsoleHarness::kOutputBox);
    const std::string block(260, 'a');
    // 115 chunks of 260 make 29900 characters: still below the limit.
    for (int i = 0; i < 115; ++i) h.sys.ConsolePrints(block);
    for (int i = 0; i < 500 && h.ui.GetTextLength(ConsoleHarness::kJobWindow, 1) < 29900; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(h.ui.GetTextLength(ConsoleHarness::kJobWindow, 1), 29900u);
    // 100 more would make 30000, which is not above it; 101 would.
    h.sys.ConsolePrints(std::string(100, 'b'));
    EXPECT_EQ(h.WaitForOutput(std::string(100, 'b')).size(), 30000u);
    h.sys.ConsolePrints("c");
    EXPECT_EQ(h.WaitForOutput("c"), "c");
    h.console().StopConsole();
}

}  // namespace
