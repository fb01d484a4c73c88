// Finding ImageX among the running processes, and following the one our console runs
// from the moment its line is typed until the job can be judged.
#pragma once

#include <string>

#include "base/program.h"

// The executable's file name of an engine path, "Imagex.exe".
std::string EngineFileName(const std::string& enginePath);
// The first process of that name (compared in lower case), any parent; 0 when none.
unsigned FindProcessNamed(Sys& sys, const std::string& exeName);

// Follows the ImageX that a job line started in the persistent console. Only a process
// of ImageX's name that is a child of our console counts; an unrelated ImageX neither
// keeps the job running nor is paused or stopped.
class ImagexWatch {
  public:
    // How many completion checks (500 ms each) ImageX may take to appear before the job
    // is judged by its output alone.
    static constexpr int kGraceChecks = 40;

    // A job line was just typed.
    void Begin(const std::string& exeName);
    // One completion check, given the output box's length now. Applies a wanted pause
    // or stop to an ImageX that has just appeared. True when the job is over: ImageX was
    // seen and is gone (or never appeared within the grace period) and the output has
    // stopped growing since the previous check. resultInOutput: the output already holds
    // ImageX's result line, so an ImageX that came and went between checks is not awaited.
    bool Over(Program& program, size_t outputLength, bool resultInOutput);
    // True while the job is being followed (from Begin until Over returned true).
    bool Active() const { return active_; }
    // True while our ImageX runs (seen and not gone).
    bool Running(Program& program);

    // Pause (true) or resume (false) our ImageX, now or as soon as it appears.
    void SetPaused(Program& program, bool paused);
    // Stops our ImageX, now or as soon as it appears.
    void Stop(Program& program);

  private:
    unsigned Find(Program& program);

    std::string exeName_;
    bool active_ = false;
    bool seen_ = false;
    bool gone_ = false;
    bool paused_ = false;
    bool stopWanted_ = false;
    unsigned processId_ = 0;
    int waitingChecks_ = 0;
    size_t lastLength_ = 0;
    bool lengthKnown_ = false;
};
