// The main window's operation modes, window lock, completion options and the small
// handlers of its option controls.
#pragma once

#include "app/program.h"

void SetRestoreMode(Program& program);
void SetBackupMode(Program& program);
void SetCopyMode(Program& program);

// Disables (lock) or enables (unlock) the window's controls in one pass, in a fixed
// order of pairs. The integrity option and the password text box are not touched.
void LockMainWindow(Program& program);
void UnlockMainWindow(Program& program);

// The restart and shutdown options exclude each other and are mirrored by the menu.
void OnRestartOptionClicked(Program& program);
void OnShutdownOptionClicked(Program& program);
void OnAutoRestartMenu(Program& program);
void OnAutoShutdownMenu(Program& program);

// Rewrites the save path's extension to match the chosen backup format.
void OnBackupFormatChanged(Program& program);
// The manual Ghost option: runs the Ghost engine interactively; cannot be cleared by hand.
void OnManualGhostOptionClicked(Program& program);
