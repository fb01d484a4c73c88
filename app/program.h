// The application object: the machine, the screen and the program-wide state.
#pragma once

#include <memory>
#include <string>

#include "app/persistent_console.h"
#include "platform/sys.h"
#include "platform/ui.h"

// Program-wide state. Start values are those a fresh process has before start-up
// runs; start-up (startup.cpp) sets the paths and switch texts.
struct ProgramState {
    std::string programTitle = "岚舟软件" "星桥装机台";
    std::string moduleTitle;
    std::string ghostExePath;
    std::string imagexExePath;
    std::string crcIgnoreSwitch;
    std::string noIdeSwitch;
    std::string ghostCompressionSwitch;
    std::string splitSwitch;
    std::string passwordSwitch;
    // What the last Ghost restore printed.
    std::string ghostOutput;
    // ImageX's compression text, set by the same box as Ghost's.
    std::string imagexCompressionText = " /compress Maximum";
    bool searchImagesAtStart = true;
    bool jobRunning = false;
    bool isoToolUsed = false;
    // Started with "/config": the countdown hides the main window and ends the program.
    bool commandLineMode = false;
    // The completion countdown: 1 shutdown, 0 restart; which job finished.
    int shutdownAfterJob = 0;
    int finishedJobKind = 0;
    // The last output of "omnifs32.exe info", used for the active-partition test.
    std::string omnifsReport;
    // Copy-mode selection, cleared on every mode change.
    std::string copySourceRoot, copySourceDiskPartition;
    std::string copyTargetRoot, copyTargetDiskPartition;
    // The partition list row last clicked (-1: none), for the partition menu.
    int selectedRow = -1;
    // The tray icon's menu is refused while the window is locked.
    bool trayIconEnabled = true;
};

struct Program {
    Program(Sys& s, Ui& u) : sys(s), ui(u), console(s, u) {}
    Sys& sys;
    Ui& ui;
    ProgramState state;
    PersistentConsole console;
    // The completion countdown window's handlers, while it exists.
    std::unique_ptr<UiEvents> countdown;
    // The open job dialog's handlers (the Ghost restore confirmation and the like).
    std::unique_ptr<UiEvents> jobWindow;
};

// Window ids.
enum WindowId : int {
    kMainWindow = 1,
};
