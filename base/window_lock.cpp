#include "base/window_lock.h"

#include "base/ids/main_window.h"

static void SetLocked(Program& program, bool locked) {
    Ui& ui = program.ui;
    const int pairs[][2] = {
        {kExitButton, kStartButton},
        {kBrowseButton, kCollapseButton},
        {kImageSearchButton, kBackupFormatBox},
        {kExpandButton, kManualGhostOption},
        {kNoIdeOption, kPasswordOption},
        {kCustomEnginesOption, kRestartOption},
        {kCrcOption, kShutdownOption},
        {kImagePathBox, kSavePathBox},
        {kSplitSizeBox, kCompressionBox},
        {kUnnamedCombo4, kRestoreMode},
        {kBackupMode, kCopyMode},
        {kSearchDepthBox, kCloseButton},
        {kMenuButton, kMinimiseButton},
        {kPartitionList, kImageList},
    };
    for (const auto& pair : pairs) {
        ui.SetEnabled(kMainWindow, pair[0], !locked);
        ui.SetEnabled(kMainWindow, pair[1], !locked);
    }
    ui.SetEnabled(kMainWindow, kRefreshLabel, !locked);
    program.state.trayIconEnabled = !locked;
    ui.SetEnabled(kMainWindow, kTargetList, !locked);
    if (!locked && ui.IsChecked(kMainWindow, kCopyMode))
        ui.SetEnabled(kMainWindow, kCollapseButton, false);
}

void LockMainWindow(Program& program) {
    SetLocked(program, true);
}
void UnlockMainWindow(Program& program) {
    SetLocked(program, false);
}

JobLock::JobLock(Program& program) : program_(program) {
    program_.state.jobRunning = true;
    LockMainWindow(program_);
}

JobLock::~JobLock() {
    program_.state.jobRunning = false;
    UnlockMainWindow(program_);
}
