// Imagex: reads and writes WIM images for the program (/info, /apply, /capture).
#include "common/cmdline.h"
#include "common/console_out.h"
#include "engines/imagex/apply_command.h"
#include "engines/imagex/capture_command.h"
#include "engines/imagex/command_line.h"
#include "engines/imagex/info_command.h"
#include "engines/imagex/report.h"

int main(int argc, char** argv) {
    engine::InitEngineIo();
    std::vector<std::string> args = engine::ProgramArguments(argc, argv);
    imagex::Command cmd;
    wim::Status s = imagex::ParseCommand(args, &cmd);
    if (!s.ok()) return imagex::ReportError(s);
    switch (cmd.kind) {
        case imagex::CommandKind::kInfo:
            return imagex::RunInfo(cmd.image, cmd.check);
        case imagex::CommandKind::kApply:
            return imagex::RunApply(cmd.image, cmd.index, cmd.target, cmd.check);
        case imagex::CommandKind::kCapture:
            return imagex::RunCapture(cmd);
    }
    return 1;
}
