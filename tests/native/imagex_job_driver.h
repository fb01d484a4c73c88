// Drives an ImageX job window (apply or capture) on the fake machine: its timers tick
// one at a time, the console prints, and ImageX appears in and leaves the process table.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/native/harness.h"

struct ImagexJobDriver {
    Harness& h;
    int window, doneTimer, output;

    bool Open() { return h.ui.HasWindow(window) && !h.ui.GetWindow(window).destroyed; }
    // A timer's tick, only while the window runs it.
    bool TickIfRunning(int timer) {
        if (!Open() || !h.ui.GetWindow(window).timers.count(timer)) return false;
        h.ui.Tick(window, timer);
        return true;
    }
    // Completion checks, 500 ms apart.
    void Checks(int n) {
        for (int i = 0; i < n; ++i) TickIfRunning(doneTimer);
    }
    // The console prints; returns once the reader has put it into the output box.
    void Prints(const std::string& text) {
        const std::string before = h.ui.GetText(window, output);
        h.sys.ConsolePrints(text);
        for (int i = 0; i < 500; ++i) {
            if (h.ui.GetText(window, output).size() >= before.size() + text.size()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // The job is over: no job marked running, the console ended, the main window free.
    void ExpectMainWindowFreeAgain() {
        EXPECT_FALSE(h.program.state.jobRunning);
        EXPECT_FALSE(h.program.console.IsRunning());
        EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    }
    // Our ImageX: a child of the persistent console.
    void ImagexStarts(unsigned id) {
        h.sys.processes.push_back(ProcessEntry{id, h.program.console.ProcessId(), "Imagex.exe"});
    }
    void ImagexEnds(unsigned id) {
        for (auto it = h.sys.processes.begin(); it != h.sys.processes.end(); ++it)
            if (it->id == id) {
                h.sys.processes.erase(it);
                return;
            }
    }
};
