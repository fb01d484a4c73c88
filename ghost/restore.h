// Restoring a partition from a Ghost image: the checks in order, the optional image
// check, the confirmation, the run, the boot records and the report.
#pragma once

#include <string>

#include "base/program.h"

// The start button in restore mode with a Ghost image that exists.
void StartGhostRestore(Program& program, const std::string& image);
