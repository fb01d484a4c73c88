// The application object: the machine, the screen and the program-wide state.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "base/ids/windows.h"
#include "base/persistent_console.h"
#include "base/window_registry.h"
#include "platform/sys.h"
#include "platform/ui.h"

// The partition chosen in the partition list: set by a click on a row, read by the
// jobs. It stays as it was when the list is refreshed.
struct SelectedPartition {
    std::string root;           // "C:\", or "无" for a partition without a letter
    std::string diskPartition;  // "1:2", disks and partitions counted from 1
    std::string display;        // "C:\(1:2)"
    std::string partitionType;  // "活动,Mbr", "GPT" and the like
    std::string deviceType;     // "硬盘驱动器" and the like
};

// What finished when the completion countdown opens; its texts name it.
enum class FinishedJob : int {
    Restore = 0,
    Backup = 1,
    Setup = 2,
    FileCopy = 3,
    Prepared = 4,
};

// Program-wide state. Start values are those a fresh process has before start-up
// runs; start-up (startup.cpp) sets the paths and switch texts.
struct ProgramState {
    std::string programTitle =
        "岚舟软件"
        "星桥装机台";
    std::string moduleTitle;
    std::string ghostExePath;
    std::string imagexExePath;
    // What the custom engines are built for, shown after their versions: " X86/32位" and
    // the like; set when a custom engine is chosen.
    std::string ghostBitnessText, imagexBitnessText;
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
    // The volume-label dialog's label as read when it opened last.
    std::string oldVolumeLabel;
    // The ISO mounting: the letter each path used last, and the shared failure count.
    std::string isoMenuLetter, isoBrowseLetter;
    int isoLoadFailures = 0;
    // The ISO file behind each letter the ISO tool mounted (upper-case letter): an image
    // read through the letter lies on that file's drive.
    std::map<std::string, std::string> isoBehindLetter;
    // What the XP setup window installs from: 2 a 32-bit setup folder (I386), 4 a 64-bit
    // one (AMD64), 0 a 32-bit winnt32 program chosen directly, 5 a 64-bit one.
    int xpSetupSource = 0;
    // Started with "/config": the countdown hides the main window and ends the program.
    bool commandLineMode = false;
    // The completion countdown: 1 shutdown, 0 restart; which job finished.
    int shutdownAfterJob = 0;
    FinishedJob finishedJobKind = FinishedJob::Restore;
    // The last output of "omnifs32.exe info", used for the active-partition test.
    std::string omnifsReport;
    // Copy-mode selection, cleared on every mode change.
    std::string copySourceRoot, copySourceDiskPartition;
    std::string copyTargetRoot, copyTargetDiskPartition;
    // The partition list row last clicked (-1: none), for the partition menu.
    int selectedRow = -1;
    SelectedPartition selection;
    // The tray icon's menu is refused while the window is locked.
    bool trayIconEnabled = true;
};

struct Program;

// A job's dialog as another job sees it when it takes the work over: its buttons hide
// and its status line shows while the other job works, and it closes when that job has
// handed over to the completion countdown.
class JobDialog {
  public:
    virtual ~JobDialog() = default;
    virtual void SetBusy(bool busy, const std::string& status) = 0;
    virtual void CloseDialog() = 0;
};

// Jobs that one job hands to another. A job folder never includes a sibling: the shell
// fills these in at start-up, and an empty one means the job is not available.
struct HandOvers {
    // The DOS Ghost line of a reboot-mode job for a place in DOS terms: the backup's
    // save path ("1:2:\bak\c.gho") or the restore's image drive ("1:3").
    using RebootJobText = std::string (*)(Program& program, const std::string& dosPlace);
    // The Ghost backup and restore of the running system's own partition.
    void (*rebootBackup)(Program& program, JobDialog& dialog, const std::string& savePath,
                         RebootJobText jobText) = nullptr;
    void (*rebootRestore)(Program& program, JobDialog& dialog, const std::string& image,
                          RebootJobText jobText) = nullptr;
};

struct Program {
    Program(Sys& s, Ui& u) : sys(s), ui(u), console(s, u) {}
    Sys& sys;
    Ui& ui;
    ProgramState state;
    PersistentConsole console;
    // Handlers of the open windows other than the main window.
    WindowRegistry windows;
    HandOvers handOvers;
};

// Opens a window whose handler class names its id (T::kWindowId) and keeps the handler
// in the registry; returns it for the caller to fill the window.
template <typename T, typename... Args>
T* OpenWindow(Program& program, Args&&... args) {
    auto handler = std::make_unique<T>(program, std::forward<Args>(args)...);
    T* opened = handler.get();
    program.windows.Keep(T::kWindowId, std::move(handler));
    return opened;
}
