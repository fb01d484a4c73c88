// The persistent hidden console: one command interpreter kept alive, lines typed into
// it, its output streamed by a reader thread into a text box of a job window.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sys.h"
#include "platform/ui.h"

class PersistentConsole {
  public:
    PersistentConsole(Sys& sys, Ui& ui);
    ~PersistentConsole();
    PersistentConsole(const PersistentConsole&) = delete;
    PersistentConsole& operator=(const PersistentConsole&) = delete;

    // Starts the interpreter ("cmd.exe" when command is empty) in startDirectory
    // (the system directory when empty). Returns its process id, 0 on failure.
    // A console already running is returned as it is.
    unsigned StartConsole(const std::string& command, const std::string& startDirectory);
    // Clears the text box and sends the console's output there from now on. The first
    // call while the console runs starts the reader thread; later calls re-target it.
    void AttachConsoleOutput(int window, int control);
    // Types one line (see the .cpp for "exit" and "cls"). Returns the bytes written,
    // 4 for "exit", 3 for "cls", 0 when no console runs.
    long SendConsoleLine(const std::string& line);
    // Ends the interpreter, closes the program's pipe ends, lets the reader show what
    // is left and waits for it. False when none runs or it could not be ended.
    bool StopConsole();

    bool IsRunning() const { return running_; }
    unsigned ProcessId() const { return pipes_.processId; }
    // The last chunk the reader copied into the text box.
    std::string LastChunk();

    // The text box is cleared before a chunk that would take it past this length.
    static constexpr size_t kMaxShownText = 30000;

  private:
    // The reader thread's loop; it owns outputRead and closes it when it ends.
    void ReadOutput(SysHandle outputRead);

    Sys& sys_;
    Ui& ui_;
    bool running_ = false;
    bool stopping_ = false;
    ConsolePipes pipes_;
    std::thread reader_;

    // Shared with the reader thread; never held across a call into the Ui.
    std::mutex lock_;
    std::condition_variable changed_;
    int targetWindow_ = 0, targetControl_ = 0;
    bool stopRequested_ = false;
    bool readerEnded_ = false;
    std::string lastChunk_;
};
