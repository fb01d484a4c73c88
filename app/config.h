// The "/config" option: an INI file beside the program names an image to preselect.
#pragma once

#include <string>

#include "base/program.h"

// Reads <program dir>\<program base name>.ini, section "Config", key "Path", and puts
// the image it names (in "\MorvekOS\" on the program's drive) into the image path box.
// Ends the process after a message when the file or image is missing or unusable.
void LoadConfiguration(Program& program);

// The configuration file's path for a program file path.
std::string ConfigurationFilePath(const std::string& programPath);
