// bcdboot: creates boot files for a Windows folder.
#include "engines/bcdboot/bcdboot_cli.h"
#include "common/cmdline_raw.h"
#include "common/console_out.h"

int main(int argc, char** argv) {
    engine::InitEngineIo();
    bcdboot::RunResult r = bcdboot::RunBcdboot(engine::FullCommandLine(argc, argv));
    engine::PrintText(r.output);
    return r.exitCode;
}
