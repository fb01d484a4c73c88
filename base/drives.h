// Drives and the system's directories as every job sees them.
#pragma once

#include <string>

#include "platform/sys.h"

struct ProgramState;

// The Windows and system directories, always ending in "\\". A fresh copy each call.
std::string WindowsDirectory(Sys& sys);
std::string SystemDirectory(Sys& sys);

// The first character of text names a drive; true when the drive is present.
bool DriveExists(Sys& sys, const std::string& text);
// Writes and deletes a small probe file on the drive named by the first character.
bool ProbeDriveWritable(Sys& sys, const std::string& text);

// The root (such as C:\ with its backslash) is the partition of the running Windows;
// letters compare without regard to case.
bool IsRunningSystemPartition(Sys& sys, const std::string& root);

// The Windows running the program is 64-bit.
bool Is64BitWindows(Sys& sys);

// The letter of the drive that really holds the image: an image read from a mounted
// ISO lies on the drive of the ISO file behind that letter. 0 for an empty path.
char DriveHoldingImage(const ProgramState& state, const std::string& imagePath);
