// The ISO virtual-drive tool's command lines:
//   ISO.exe /D:<letter> /I:<iso path>   mount an ISO image on a virtual drive
//   ISO.exe /q                          unmount everything this tool mounted
// The ISO path is not quoted by the program, so it is the raw rest of the line.
#pragma once

#include <string>

namespace isotool {

// Exit codes; numbers are never reused.
enum ExitCode {
    kExitOk = 0,
    kExitBadCommandLine = 1,
    kExitNotBuilt = 2,  // the operation is understood but this build cannot do it
};

struct IsoCommand {
    enum class Kind { Mount, UnmountAll } kind = Kind::UnmountAll;
    char letter = 0;      // Mount: the drive letter, upper case
    std::string isoPath;  // Mount: as given, blanks kept
};

// Parses the whole command line (program name first). On failure `error` names what
// was not understood.
bool ParseIsoCommandLine(const std::string& commandLine, IsoCommand& command, std::string& error);

struct RunResult {
    int exitCode = kExitOk;
    std::string output;  // UTF-8, lines end "\r\n"
};

RunResult RunIso(const std::string& commandLine);

}  // namespace isotool
