#include "base/persistent_console.h"

#include <chrono>
#include <condition_variable>
#include <thread>

#include "base/text_util.h"

struct PersistentConsole::ReaderShared {
    std::mutex lock;       // held by the reader for its whole read loop
    std::mutex chunkLock;  // guards lastChunk only, so it can be read meanwhile
    std::string lastChunk;
    bool done = false;
    std::condition_variable doneChanged;
};

PersistentConsole::PersistentConsole(Sys& sys, Ui& ui) : sys_(sys), ui_(ui) {}

PersistentConsole::~PersistentConsole() { StopConsole(); }

unsigned PersistentConsole::StartConsole(const std::string& command,
                                         const std::string& startDirectory) {
    if (!sys_.IsNtFamily()) return 0;
    if (running_) return pipes_.processId;
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
    if (!running_ || readerThread_.joinable()) return;
    auto shared = std::make_shared<ReaderShared>();
    Sys* sys = &sys_;
    Ui* ui = &ui_;
    SysHandle pipe = pipes_.outputRead;
    reader_ = shared;
    readerThread_ = std::thread([shared, sys, ui, pipe, window, control] {
        std::unique_lock<std::mutex> hold(shared->lock);
        ui->SetText(window, control, "");
        char buffer[260];
        for (;;) {
            long got = sys->ReadPipe(pipe, buffer, sizeof buffer);
            if (got <= 0) break;
            std::string chunk(buffer, size_t(got));
            if (ui->GetTextLength(window, control) + chunk.size() > kMaxShownText)
                ui->SetText(window, control, "");
            ui->AppendText(window, control, chunk);
            std::lock_guard<std::mutex> chunkHold(shared->chunkLock);
            shared->lastChunk = chunk;
        }
        hold.unlock();
        std::lock_guard<std::mutex> chunkHold(shared->chunkLock);
        shared->done = true;
        shared->doneChanged.notify_all();
    });
}

long PersistentConsole::SendConsoleLine(const std::string& line) {
    if (!running_) return 0;
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
    if (!running_) return false;
    // Closing our ends and ending the interpreter lets the reader's blocking read
    // return; the reader holds only shared state, so it may finish after this.
    sys_.CloseHandle(pipes_.inputWrite);
    sys_.CloseHandle(pipes_.inputRead);
    sys_.CloseHandle(pipes_.outputWrite);
    bool ended = sys_.TerminateProcessById(pipes_.processId, 3389);
    sys_.CloseHandle(pipes_.outputRead);
    if (readerThread_.joinable()) {
        // A program the interpreter started may still hold the output pipe open; the
        // reader then ends when that program does, and is not waited for.
        std::unique_lock<std::mutex> chunkHold(reader_->chunkLock);
        bool finished = reader_->doneChanged.wait_for(chunkHold, std::chrono::seconds(2),
                                                      [&] { return reader_->done; });
        chunkHold.unlock();
        if (finished)
            readerThread_.join();
        else
            readerThread_.detach();
    }
    running_ = false;
    pipes_ = ConsolePipes();
    return ended;
}

std::string PersistentConsole::LastChunk() {
    if (!reader_) return std::string();
    std::lock_guard<std::mutex> hold(reader_->chunkLock);
    return reader_->lastChunk;
}
