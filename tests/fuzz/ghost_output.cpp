// The program's judgement of what the Ghost engine printed, for each job.
#include <string>

#include "ghost/command_lines.h"
#include "tests/fuzz/fuzz_target.h"

SB_FUZZ_TARGET(ghost_output) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (GhostJob job : {GhostJob::Backup, GhostJob::Restore, GhostJob::Copy}) {
        const GhostOutcome o = JudgeGhostOutput(job, text);
        // Only an empty output is a success: any text the engine printed is a failure
        // or a cancellation, never reported as done.
        if ((o == GhostOutcome::Succeeded) != text.empty()) __builtin_trap();
    }
}
