#include <atomic>
#include <csignal>

#include "engines/ghost/cli.h"
#include "engines/ghost/progress_ui.h"

namespace ghost {

namespace {
std::atomic<bool> g_cancel{false};
void OnInterrupt(int) {
    g_cancel = true;
}
}  // namespace

Status RunWithProgress(const std::string&, const JobBody& body) {
    std::signal(SIGINT, OnInterrupt);
    return body([](uint64_t, uint64_t) { return !g_cancel.load(); });
}

Status AskForJob(JobRequest*) {
    return Fail(kErrUsage, u8"缺少 -clone 或 -CHKIMG。");
}

}  // namespace ghost
