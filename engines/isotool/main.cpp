// ISO: the virtual-drive tool.
#include "common/cmdline_raw.h"
#include "common/console_out.h"
#include "engines/isotool/iso_cli.h"
#include "engines/isotool/mount_backend.h"

int main(int argc, char** argv) {
    engine::InitEngineIo();
    isotool::RunResult r =
        isotool::RunIso(engine::FullCommandLine(argc, argv), isotool::SystemMountBackend());
    engine::PrintText(r.output);
    return r.exitCode;
}
