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
    enum { kJobWindow = 9, kOutputBox = 1, kSecondBox = 2 };
    ConsoleHarness() {
        WindowDesc job;
        job.id = kJobWindow;
        for (int id : {int(kOutputBox), int(kSecondBox)}) {
            ControlDesc box;
            box.id = id;
            box.kind = ControlKind::MultiLineEdit;
            job.controls.push_back(box);
        }
        ui.CreateWindowFrom(job, nullptr);
    }
    PersistentConsole& console() { return program.console; }
    // Starts the console showing into box and waits until the reader has shown text.
    std::string StartShowing(int box, const std::string& text) {
        console().StartConsole("", "");
        console().AttachConsoleOutput(kJobWindow, box);
        sys.ConsolePrints(text);
        return WaitForOutput(text, box);
    }
    // The reader closed its own read end, and no call named a handle after it was closed.
    void ExpectReaderClosedItsEnd(SysHandle outputRead) {
        EXPECT_NE(sys.ClosedBy(outputRead), std::thread::id());
        EXPECT_NE(sys.ClosedBy(outputRead), std::this_thread::get_id());
        EXPECT_EQ(sys.ClosedHandleUses(), std::vector<std::string>());
    }
    // Waits until the reader has shown text ending with tail.
    std::string WaitForOutput(const std::string& tail, int box = kOutputBox) {
        for (int i = 0; i < 500; ++i) {
            std::string text = ui.GetText(kJobWindow, box);
            if (text.size() >= tail.size() &&
                text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
                return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return ui.GetText(kJobWindow, box);
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

TEST(PersistentConsole, StopWhileTheReaderWaitsShowsWhatIsLeftAndJoinsTheReader) {
    ConsoleHarness h;
    EXPECT_EQ(h.StartShowing(ConsoleHarness::kOutputBox, "first\r\n"), "first\r\n");
    // The reader now waits on an empty pipe; the interpreter prints once more and the
    // console is stopped at once: the last words still reach the box.
    const SysHandle outputRead = h.sys.consolePipes.outputRead;
    h.sys.ConsolePrints("last words");
    EXPECT_TRUE(h.console().StopConsole());
    EXPECT_EQ(h.ui.GetText(ConsoleHarness::kJobWindow, ConsoleHarness::kOutputBox),
              "first\r\nlast words");
    EXPECT_FALSE(h.console().IsRunning());
    h.ExpectReaderClosedItsEnd(outputRead);
    // The program's own ends were closed by the stop.
    for (SysHandle own : {h.sys.consolePipes.inputRead, h.sys.consolePipes.inputWrite,
                          h.sys.consolePipes.outputWrite})
        EXPECT_EQ(h.sys.ClosedBy(own), std::this_thread::get_id());
}

TEST(PersistentConsole, StopEndsTheReaderWhenAStartedProgramStillHoldsTheOutput) {
    ConsoleHarness h;
    h.sys.consoleChildHoldsOutput = true;
    h.StartShowing(ConsoleHarness::kOutputBox, "running\r\n");
    const SysHandle outputRead = h.sys.consolePipes.outputRead;
    // The pipe never reports its end; the stop returns all the same, with the reader
    // joined and its handle closed by itself.
    EXPECT_TRUE(h.console().StopConsole());
    h.ExpectReaderClosedItsEnd(outputRead);
    // A console started afterwards gets a reader of its own.
    h.sys.consoleChildHoldsOutput = false;
    EXPECT_EQ(h.StartShowing(ConsoleHarness::kSecondBox, "again"), "again");
    const SysHandle secondRead = h.sys.consolePipes.outputRead;
    EXPECT_NE(secondRead, outputRead);
    EXPECT_TRUE(h.console().StopConsole());
    h.ExpectReaderClosedItsEnd(secondRead);
}

TEST(PersistentConsole, AttachingAgainRetargetsTheOneReader) {
    ConsoleHarness h;
    EXPECT_EQ(h.StartShowing(ConsoleHarness::kOutputBox, "one"), "one");
    h.ui.SetText(ConsoleHarness::kJobWindow, ConsoleHarness::kSecondBox, "stale");
    h.console().AttachConsoleOutput(ConsoleHarness::kJobWindow, ConsoleHarness::kSecondBox);
    EXPECT_EQ(h.ui.GetText(ConsoleHarness::kJobWindow, ConsoleHarness::kSecondBox), "");
    h.sys.ConsolePrints("two");
    EXPECT_EQ(h.WaitForOutput("two", ConsoleHarness::kSecondBox), "two");
    EXPECT_EQ(h.ui.GetText(ConsoleHarness::kJobWindow, ConsoleHarness::kOutputBox), "one");
    EXPECT_TRUE(h.console().StopConsole());
}

}  // namespace
