// The one-shot console runner: every outside command the program runs goes through it.
#pragma once

#include <string>

#include "app/program.h"

// Runs the command line in a hidden command interpreter and returns everything it
// wrote to standard output and error once it has ended (empty when it printed
// nothing or could not be started). The window stays responsive meanwhile.
std::string RunConsoleCommand(Program& program, const std::string& commandLine);
// The same, appending exactly the bytes read (used by the Ghost image check).
std::string RunConsoleCommandExact(Program& program, const std::string& commandLine);
