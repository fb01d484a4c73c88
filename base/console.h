// The one-shot console runner: every outside command the program runs goes through it.
#pragma once

#include <string>

#include "base/program.h"

// Runs the command line in a hidden command interpreter and returns whether it
// started, everything it wrote to standard output and error, and its exit code once
// it has ended. The window stays responsive meanwhile.
CommandResult RunConsoleCommand(Program& program, const std::string& commandLine);
// The same, appending exactly the bytes read (used by the Ghost image check).
CommandResult RunConsoleCommandExact(Program& program, const std::string& commandLine);
