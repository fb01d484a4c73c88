#include "engines/omnifs/omnifs_cli.h"

#include "common/cmdline.h"

namespace omnifs {

static const char kUsage[] =
    "usage: omnifs32 info\r\n"
    "  info   one line per drive letter: \"[X:\\] Active\" when its partition is the\r\n"
    "         active entry of its disk's MBR, otherwise Inactive or Unknown\r\n";

RunResult RunOmnifs(const std::string& commandLine, VolumeSource& source) {
    RunResult r;
    std::vector<std::string> args = engine::SplitCommandLine(commandLine);
    args.erase(args.begin());
    if (args.empty()) {
        r.exitCode = kExitBadCommandLine;
        r.output = std::string("omnifs32: no command given\r\n") + kUsage;
        return r;
    }
    if (!engine::EqualsNoCase(args[0], "info")) {
        r.exitCode = kExitBadCommandLine;
        r.output = "omnifs32: unknown command \"" + args[0] + "\"\r\n" + kUsage;
        return r;
    }
    if (args.size() > 1) {
        r.exitCode = kExitBadCommandLine;
        r.output = "omnifs32: info takes no arguments, got \"" + args[1] + "\"\r\n" + kUsage;
        return r;
    }
    std::vector<VolumeFacts> volumes;
    std::string error;
    if (!source.ListVolumes(volumes, error)) {
        r.exitCode = kExitNoVolumes;
        r.output = "omnifs32: cannot list the volumes: " + error + "\r\n";
        return r;
    }
    r.output = FormatReport(volumes);
    return r;
}

}  // namespace omnifs
