// The stored tool files: writing them at start-up, removing them at exit.
#pragma once

#include <string>

#include "base/drives.h"
#include "base/program.h"

// Writes the engines that are missing (existing files are left as they are).
// A failure with one of the first five ends the process after its message.
void WriteToolFiles(Program& program);
// Deletes the engines written at start-up; bcdboot.exe and omnifs32.exe stay.
void RemoveToolFiles(Program& program);

// Makes sure omnifs32.exe is in the system directory, runs "omnifs32.exe info" and
// keeps its output in the program state. True when the output is not empty.
bool RefreshOmnifsReport(Program& program);
