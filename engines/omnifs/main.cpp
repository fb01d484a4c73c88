// omnifs32: reports, for every drive letter, whether its partition is the active MBR entry.
#include "common/cmdline_raw.h"
#include "common/console_out.h"
#include "engines/omnifs/omnifs_cli.h"

int main(int argc, char** argv) {
    engine::InitEngineIo();
    std::unique_ptr<omnifs::VolumeSource> source = omnifs::MakeVolumeSource();
    omnifs::RunResult r = omnifs::RunOmnifs(engine::FullCommandLine(argc, argv), *source);
    engine::PrintText(r.output);
    return r.exitCode;
}
