// Bootice: boot records, the disk report and the boot configuration editors.
#include "engines/bootice/bootice_cli.h"
#include "common/cmdline_raw.h"
#include "common/console_out.h"

int main(int argc, char** argv) {
    engine::InitEngineIo();
    std::unique_ptr<bootice::DiskBackend> backend = bootice::MakeDiskBackend();
    bootice::RunResult r = bootice::RunBootice(engine::FullCommandLine(argc, argv), *backend);
    if (r.editor != bootice::EditorKind::None)
        return bootice::RunEditor(r.editor, r.editorFile, engine::PrintText);
    engine::PrintText(r.output);
    if (r.forPerson) backend->ShowNotice(r.output);
    return r.exitCode;
}
