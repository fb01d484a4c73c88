#include "wim/imagex_process.h"

#include "base/text_util.h"

std::string EngineFileName(const std::string& enginePath) {
    return FileNameOf(enginePath);
}

unsigned FindProcessNamed(Sys& sys, const std::string& exeName) {
    const std::string wanted = LowerAscii(exeName);
    for (const ProcessEntry& entry : sys.ListProcesses())
        if (LowerAscii(entry.exeName) == wanted) return entry.id;
    return 0;
}

void ImagexWatch::Begin(const std::string& exeName) {
    *this = ImagexWatch();
    exeName_ = LowerAscii(exeName);
    active_ = true;
}

unsigned ImagexWatch::Find(Program& program) {
    const unsigned console = program.console.ProcessId();
    if (console == 0) return 0;
    for (const ProcessEntry& entry : program.sys.ListProcesses())
        if (entry.parentId == console && LowerAscii(entry.exeName) == exeName_) return entry.id;
    return 0;
}

bool ImagexWatch::Running(Program& program) {
    if (!active_ || gone_) return false;
    if (seen_) return Find(program) == processId_ && processId_ != 0;
    return false;
}

bool ImagexWatch::Over(Program& program, size_t outputLength, bool resultInOutput) {
    if (!active_) return true;
    if (!gone_) {
        const unsigned found = Find(program);
        if (found != 0) {
            if (!seen_ || found != processId_) {
                seen_ = true;
                processId_ = found;
                if (stopWanted_)
                    program.sys.TerminateProcessById(found, 1);
                else if (paused_)
                    program.sys.SuspendProcessById(found);
            }
            return false;
        }
        // Not seen yet: it may still be starting (a stop waits for it too, to end it),
        // unless its result line is already there.
        if (!seen_ && !resultInOutput && ++waitingChecks_ < kGraceChecks) return false;
        gone_ = true;
        lastLength_ = outputLength;
        lengthKnown_ = true;
        return false;
    }
    // Gone: the reader may still be copying its last lines into the box.
    if (lengthKnown_ && outputLength == lastLength_) {
        active_ = false;
        return true;
    }
    lastLength_ = outputLength;
    return false;
}

void ImagexWatch::SetPaused(Program& program, bool paused) {
    paused_ = paused;
    if (!active_ || !seen_ || gone_) return;
    if (paused)
        program.sys.SuspendProcessById(processId_);
    else
        program.sys.ResumeProcessById(processId_);
}

void ImagexWatch::Stop(Program& program) {
    stopWanted_ = true;
    if (active_ && seen_ && !gone_) program.sys.TerminateProcessById(processId_, 1);
}
