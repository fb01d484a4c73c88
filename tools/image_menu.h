// The image list as a small file manager: its right-click menu and the commands on the
// selected image file (Ghost Explorer, file browser, export, move, delete, properties).
#pragma once

#include <string>

#include "base/program.h"

void ShowImageListMenu(Program& program);
void OpenInGhostExplorer(Program& program);
void StartGhostExplorer(Program& program);
void RevealImageFile(Program& program);
void ExportImageFile(Program& program);
void MoveImageFile(Program& program);
void DeleteImageFile(Program& program);
void ShowImageProperties(Program& program);

// The image list's selected entry ("" when none).
std::string CurrentImageEntry(Program& program);
