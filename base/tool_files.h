// The stored tool files: writing them at start-up, removing them at exit.
#pragma once

#include <string>

#include "base/drives.h"
#include "base/program.h"

// Where the stored engines live: the Ghost engine under the name "qii" + "32.exe" in the
// Windows directory, ImageX there too (the path keeps two backslashes in a row). These
// are the engine paths' start values; a different path is a custom engine.
std::string StoredGhostPath(Sys& sys);
std::string StoredImagexPath(Sys& sys);

// Writes the engines that are missing (existing files are left as they are).
// A failure with one of the first five ends the process after its message.
void WriteToolFiles(Program& program);
// Deletes the engines written at start-up; bcdboot.exe and omnifs32.exe stay. The
// stored engines go from their own places, never a custom engine's copy.
void RemoveToolFiles(Program& program);

// Makes sure omnifs32.exe is in the system directory, runs "omnifs32.exe info" and
// keeps its output in the program state. True when the output is not empty.
bool RefreshOmnifsReport(Program& program);
