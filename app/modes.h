// The main window's operation modes and layouts, completion options and the small
// handlers of its option controls.
#pragma once

#include "base/program.h"

void SetRestoreMode(Program& program);
void SetBackupMode(Program& program);
void SetCopyMode(Program& program);

// The compact and the expanded layout of the main window.
void SetCompactLayout(Program& program);
void SetExpandedLayout(Program& program);

// The restart and shutdown options exclude each other and are mirrored by the menu.
void OnRestartOptionClicked(Program& program);
void OnShutdownOptionClicked(Program& program);
void OnAutoRestartMenu(Program& program);
void OnAutoShutdownMenu(Program& program);

// Rewrites the save path's extension to match the chosen backup format.
void OnBackupFormatChanged(Program& program);
// The manual Ghost option: runs the Ghost engine interactively; cannot be cleared by hand.
void OnManualGhostOptionClicked(Program& program);
