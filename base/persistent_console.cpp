#include "base/persistent_console.h"

#include <algorithm>
#include <chrono>

#include "base/text_util.h"

namespace {

// How long the reader sleeps when the pipe holds nothing (anonymous pipes cannot be
// waited on), and how long the stopping thread waits between message pumps.
constexpr auto kIdlePoll = std::chrono::milliseconds(15);

}  // namespace

PersistentConsole::PersistentConsole(Sys& sys, Ui& ui) : sys_(sys), ui_(ui) {}

PersistentConsole::~PersistentConsole() {
    StopConsole();
}

unsigned PersistentConsole::StartConsole(const std::string& command,
                                         const std::string& startDirectory) {
    if (!sys_.IsNtFamily()) return 0;
    if (running_) return pipes_.processId;
    if (stopping_) return 0;
    std::string directory = startDirectory;
    if (directory.empty()) {
        directory = sys_.GetSystemDirectory();
        if (directory.empty() || directory.back() != '\\') directory += '\\';
    }
    ConsolePipes pipes;
    if (!sys_.CreateConsoleProcess(command.empty() ? "cmd.exe" : command, directory, &pipes))
        return 0;
    pipes_ = pipes;
    running_ = true;
    return pipes_.processId;
}

void PersistentConsole::AttachConsoleOutput(int window, int control) {
    if (!running_ || stopping_) return;
    // Cleared here, on the window's thread, before the reader may write to it.
    ui_.SetText(window, control, "");
    {
        std::lock_guard<std::mutex> hold(lock_);
        targetWindow_ = window;
        targetControl_ = control;
    }
    if (reader_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopRequested_ = false;
        readerEnded_ = false;
        lastChunk_.clear();
    }
    // From here on the read end belongs to the reader thread alone.
    const SysHandle outputRead = pipes_.outputRead;
    pipes_.outputRead = 0;
    reader_ = std::thread([this, outputRead] { ReadOutput(outputRead); });
}

void PersistentConsole::ReadOutput(SysHandle outputRead) {
    char buffer[260];
    // After a stop request the reader shows what is left, but no more than a box
    // full: a program that still holds the pipe and keeps writing does not hold it up.
    size_t shownAfterStop = 0;
    for (;;) {
        const long available = sys_.PeekPipe(outputRead);
        if (available < 0) break;  // every write end closed and nothing left
        if (available == 0) {
            std::unique_lock<std::mutex> hold(lock_);
            if (stopRequested_) break;
            changed_.wait_for(hold, kIdlePoll, [this] { return stopRequested_; });
            continue;
        }
        const long got =
            sys_.ReadPipe(outputRead, buffer, std::min(sizeof buffer, size_t(available)));
        if (got <= 0) break;
        const std::string chunk(buffer, size_t(got));
        int window, control;
        {
            std::lock_guard<std::mutex> hold(lock_);
            window = targetWindow_;
            control = targetControl_;
        }
        if (ui_.GetTextLength(window, control) + chunk.size() > kMaxShownText)
            ui_.SetText(window, control, "");
        ui_.AppendText(window, control, chunk);
        std::lock_guard<std::mutex> hold(lock_);
        lastChunk_ = chunk;
        if (stopRequested_ && (shownAfterStop += chunk.size()) > kMaxShownText) break;
    }
    sys_.CloseHandle(outputRead);
    std::lock_guard<std::mutex> hold(lock_);
    readerEnded_ = true;
    changed_.notify_all();
}

long PersistentConsole::SendConsoleLine(const std::string& line) {
    if (!running_ || stopping_) return 0;
    const std::string trimmed = TrimSpaces(line);
    if (trimmed.empty()) return sys_.WritePipe(pipes_.inputWrite, "\r\n");
    if (EqualsNoCase(trimmed, "exit")) {
        StopConsole();
        return 4;
    }
    if (EqualsNoCase(trimmed, "cls")) {
        // A fresh prompt in the output box, as the interpreter would show one.
        sys_.WritePipe(pipes_.outputWrite, sys_.GetCurrentDirectory() + ">");
        return 3;
    }
    return sys_.WritePipe(pipes_.inputWrite, trimmed + "\r\n");
}

bool PersistentConsole::StopConsole() {
    if (!running_ || stopping_) return false;
    stopping_ = true;
    // End the interpreter first, then close the program's write ends: with no writer
    // left the reader sees the end of its pipe after what is still in it.
    const bool ended = sys_.TerminateProcessById(pipes_.processId, 3389);
    sys_.CloseHandle(pipes_.inputWrite);
    sys_.CloseHandle(pipes_.inputRead);
    sys_.CloseHandle(pipes_.outputWrite);
    if (reader_.joinable()) {
        // A program the interpreter started may still hold the output pipe open: the
        // request makes the reader end once the pipe is empty, whatever holds it.
        std::unique_lock<std::mutex> hold(lock_);
        stopRequested_ = true;
        changed_.notify_all();
        // The reader writes into the window through its thread: keep that thread's
        // messages flowing while waiting.
        while (!readerEnded_) {
            hold.unlock();
            ui_.PumpPendingMessages();
            hold.lock();
            changed_.wait_for(hold, kIdlePoll, [this] { return readerEnded_; });
        }
        hold.unlock();
        reader_.join();
    } else {
        // No reader was ever attached: the read end is still the program's.
        sys_.CloseHandle(pipes_.outputRead);
    }
    pipes_ = ConsolePipes();
    running_ = false;
    stopping_ = false;
    return ended;
}

std::string PersistentConsole::LastChunk() {
    std::lock_guard<std::mutex> hold(lock_);
    return lastChunk_;
}
