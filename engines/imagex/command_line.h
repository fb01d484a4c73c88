// The ImageX command-line vocabulary the program builds:
//   /info [/check] "image"
//   /apply "image" N target [/check]
//   /capture source "save" "name" "description" /flags "flag"
//            /compress Maximum|Fast|None /temp dir [/check]
// An /apply target must be absolute (see IsAbsoluteTarget).
// Option names ignore case; anything else is refused with a message naming it.
#pragma once

#include <string>
#include <vector>

#include "engines/wimformat/status.h"

namespace imagex {

enum class CommandKind { kInfo, kApply, kCapture };

struct Command {
    CommandKind kind = CommandKind::kInfo;
    bool check = false;
    std::string image;   // the WIM file (capture: the file to write)
    unsigned index = 0;  // apply: 1-based image number
    std::string target;  // apply: target folder or drive root
    // Capture only.
    std::string source;
    std::string name;
    std::string description;
    std::string flags;
    std::string compress;  // as given: Maximum, Fast or None (any case)
    std::string temp;
};

wim::Status ParseCommand(const std::vector<std::string>& args, Command* out);

// Strips the surplus trailing separators of a target such as C:\\\ (keeps one
// after a drive letter, none elsewhere).
std::string NormalizeTarget(const std::string& target);

// Whether a target names a place on its own: a drive path (C:\...) or a share
// (\\server\share) on Windows, a path from / natively. A lone "\" or a
// relative path would depend on the current folder and drive.
bool IsAbsoluteTarget(const std::string& target);

}  // namespace imagex
