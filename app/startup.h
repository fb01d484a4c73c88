// Start-up, the single-instance guard and the ways the program ends.
#pragma once

#include <string>

#include "app/program.h"

// The start-up sequence, run by the main window's creation handler.
void RunStartUp(Program& program);

// Returns only when no other copy holds the named event; otherwise tells the user
// and ends the process.
void EnsureSingleInstance(Program& program, const std::string& eventName);

// Balloon tip at the main window's tray icon; icon kinds outside 0-3 become 1.
void ShowBalloon(Program& program, const std::string& title, const std::string& text,
                 int iconKind, unsigned timeoutMs);

// True on 64-bit Windows.
bool Is64BitWindows(Sys& sys);

// Unmounts the ISO tool if it was used, removes the tool files, ends the process.
void CleanUpAndExit(Program& program);
// The main menu's exit: refuses while a job runs.
void ExitFromMenu(Program& program);
// The window is being destroyed other than through the program's exits: unmount,
// leave the tool files, end.
void EndOnWindowDestroyed(Program& program);

// The welcome text shown in the balloon at the end of start-up.
std::string WelcomeText(const ProgramState& state);
