// The ways the program ends.
#pragma once

#include "base/program.h"

// Unmounts the ISO tool if it was used, removes the tool files, ends the process.
void CleanUpAndExit(Program& program);
// The main menu's exit, and every close request of the main window (Alt+F4, the
// system menu): refused while a job runs, so that the job is never left unobserved.
void ExitFromMenu(Program& program);
// The window is being destroyed other than through the program's exits: unmount,
// leave the tool files, end.
void EndOnWindowDestroyed(Program& program);
