// The main window's image information panel: location, type, size and time of the image
// chosen in the image path box.
#pragma once

#include "base/program.h"

// Prefers the first Ghost image of the box, then shows the panel lines for the chosen
// entry; an entry that is neither WIM nor GHO leaves the panel as it is.
void ShowImageInfo(Program& program);
// The four panel lines for one image path and its type text ("WIM", "Ghost", "ISO").
void ShowImagePanelLines(Program& program, const std::string& path, const std::string& typeName);
