// The stored tool files: where they go, writing them at start-up, removing them at
// exit, and the small drive operations other parts share.
#pragma once

#include <string>

#include "app/program.h"

// The Windows and system directories, always ending in "\". A fresh copy each call.
std::string WindowsDirectory(Sys& sys);
std::string SystemDirectory(Sys& sys);

// Writes the engines that are missing (existing files are left as they are).
// A failure with one of the first five ends the process after its message.
void WriteToolFiles(Program& program);
// Deletes the engines written at start-up; bcdboot.exe and omnifs32.exe stay.
void RemoveToolFiles(Program& program);

// The first character of text names a drive; true when the drive is present.
bool DriveExists(Sys& sys, const std::string& text);
// Writes and deletes a small probe file on the drive named by the first character.
bool ProbeDriveWritable(Sys& sys, const std::string& text);

// Makes sure omnifs32.exe is in the system directory, runs "omnifs32.exe info" and
// keeps its output in the program state. True when the output is not empty.
bool RefreshOmnifsReport(Program& program);
