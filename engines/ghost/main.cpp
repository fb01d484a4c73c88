// qii32: the Ghost engine. Prints nothing on success, "^C" when the user cancelled,
// an error text otherwise; the exit code is the error number.
#include <cstdio>

#include "common/cmdline.h"
#include "common/console_out.h"
#include "engines/ghost/job.h"
#include "engines/ghost/progress_ui.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void WriteAbortFile(const std::string& path, const std::string& text) {
#ifdef _WIN32
    FILE* f = _wfopen(engine::WideFromUtf8(path).c_str(), L"wb");
    std::string bytes = engine::AnsiFromUtf8(text);
#else
    FILE* f = fopen(path.c_str(), "wb");
    const std::string& bytes = text;
#endif
    if (!f) return;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    engine::InitEngineIo();
    std::vector<std::string> args = engine::ProgramArguments(argc, argv);
    ghost::JobRequest request;
    ghost::Status s = ghost::ParseJobRequest(args, &request);
    if (s.ok() && request.kind == ghost::JobRequest::kInteractive) {
        s = ghost::AskForJob(&request);
        if (s.ok() && request.kind == ghost::JobRequest::kInteractive) return 0;
    }
    if (s.ok()) {
        auto volumes = ghost::MakeVolumeMap();
        s = ghost::RunWithProgress(ghost::JobTitle(request), [&](const ghost::ProgressFn& p) {
            return ghost::RunJob(request, *volumes, p);
        });
    }
    if (s.ok()) return 0;
    std::string text = ghost::ResultText(s);
    engine::PrintText(text);
    if (!request.abortFile.empty()) WriteAbortFile(request.abortFile, text);
    return s.code;
}
