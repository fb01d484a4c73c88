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
    kExitBadImage = 3,  // the image cannot be read, or is refused
    kExitNoMount = 4,   // neither the system nor the cache folder gave a drive
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

// How the tool reaches the system; the Windows build has the real one, tests their own.
class MountBackend {
  public:
    virtual ~MountBackend() = default;
    // Mounts through the system's own virtual disk service and puts the volume on the
    // letter; false (with a note) where that service is missing or refuses.
    virtual bool AttachIso(const std::string& isoPath, char letter, std::string& note) = 0;
    // A cache folder for the letter on a writable fixed drive (UTF-8); empty when none.
    virtual std::string CacheFolderFor(char letter) = 0;
    // Makes the letter show the folder; false with a note when it cannot.
    virtual bool MapLetter(char letter, const std::string& folder, std::string& note) = 0;
    // Undoes every mount this tool made; what it did, for the output.
    virtual std::string UnmountAll() = 0;
};

RunResult RunIso(const std::string& commandLine, MountBackend& backend);

}  // namespace isotool
