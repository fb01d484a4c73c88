// Start-up, the single-instance guard and the ways the program ends.
#pragma once

#include <string>

#include "base/drives.h"
#include "base/program.h"

// The start-up sequence, run by the main window's creation handler.
void RunStartUp(Program& program);

// Returns only when no other copy holds the named event; otherwise tells the user
// and ends the process.
void EnsureSingleInstance(Program& program, const std::string& eventName);

// The welcome text shown in the balloon at the end of start-up.
std::string WelcomeText(const ProgramState& state);
