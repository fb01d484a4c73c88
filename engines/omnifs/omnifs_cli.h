// omnifs32's command line ("omnifs32.exe info") and where its volume facts come from.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engines/omnifs/volume_report.h"

namespace omnifs {

// Exit codes; numbers are never reused.
enum ExitCode {
    kExitOk = 0,
    kExitBadCommandLine = 1,
    kExitNoVolumes = 2,  // the volume source could not be read at all
};

// Lists the machine's drive letters with their facts, in letter order.
// Implemented by backend_windows.cpp (the real volumes) and backend_folder.cpp
// (natively: a folder of disk images named by SB_FAKE_DISKS); the build links one.
class VolumeSource {
  public:
    virtual ~VolumeSource() = default;
    virtual bool ListVolumes(std::vector<VolumeFacts>& volumes, std::string& error) = 0;
};

std::unique_ptr<VolumeSource> MakeVolumeSource();

struct RunResult {
    int exitCode = kExitOk;
    std::string output;  // UTF-8, lines end "\r\n"
};

// Runs the whole command line (program name first) against `source`.
RunResult RunOmnifs(const std::string& commandLine, VolumeSource& source);

}  // namespace omnifs
