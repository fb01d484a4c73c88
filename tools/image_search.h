// Finding image files on the machine's drives: the start-up search that fills the
// image path box, the search command that fills the image list, and the image list's
// selection.
#pragma once

#include <string>

#include "base/program.h"

// The depth box's text read as a number, truncated toward zero; 0 when it is not one.
int DepthFromText(const std::string& text);

// Every drive, "*.Gho" then "*.WIM", three levels deep, into the image path box.
void StartupImageSearch(Program& program);

// The image search button.
void SearchImageFiles(Program& program);

// The image list's selection changed.
void ShowSelectedImage(Program& program);

// The summary line of a search that found files.
std::string SearchSummaryLine(const std::string& depthText, int count, const std::string& kind);
