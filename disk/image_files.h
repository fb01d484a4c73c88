// Files on the drives: the two directory walkers and the main window's image
// information panel, shared by the image search and the ISO mounting.
#pragma once

#include <functional>
#include <string>

#include "base/program.h"

using FoundFileHandler = std::function<void(const std::string& path)>;

// Calls the handler for every file matching the pattern in the directory tree, down to
// the depth limit (a drive root is level 1; -1: no limit). The directory gets a trailing
// backslash; without usePattern the pattern becomes "*.*"; without useDepth the limit
// is -1.
void WalkDirectory(Program& program, std::string& directory, const FoundFileHandler& handler,
                   std::string& pattern, bool usePattern, int depth, bool useDepth);

// Number of pieces of a directory path split at its separating backslashes.
int DirectoryLevel(const std::string& path);

// Every file of the tree (no depth limit; directories starting with "." are skipped),
// appended to the main window's list box with full paths or bare names; with useFilter
// only names containing the filter text (ASCII case ignored).
void ListFilesOfTree(Program& program, std::string& directory, int listControl,
                     std::string& pattern, bool usePattern, std::string& filter, bool useFilter,
                     bool fullPaths);

// The image information panel for one path (location, type, size and time lines);
// nothing for a path whose kind is not Ghost, WIM or ISO.
void ShowImagePanel(Program& program, const std::string& path);

// Preselects the first image path box entry containing ".GHO" (else the first entry)
// and shows the panel for it.
void PreselectImageAndShowPanel(Program& program);

// Puts the path into the image path box (the first entry starting with it, ASCII case
// ignored; else added at the end) and selects it.
void SelectImagePath(Program& program, const std::string& path);

// The file's description is that of Windows XP setup's stub loader (winnt32.exe on
// XP media), in any case.
bool IsXpSetupStub(Sys& sys, const std::string& path);

// A number taken to two decimals (halves to the even digit) and written in the shortest
// general form ("12.5", "3").
std::string TwoDecimalText(double value);
