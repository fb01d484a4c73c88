// The "Allset Ghost" confirmation that restore, backup and partition copy open before
// they run Ghost, and the one run sequence the three share: status line, balloon, run,
// judging, then the report or the completion countdown. The main window stays locked
// while the confirmation is open.
#pragma once

#include <functional>
#include <string>

#include "base/ids/ghost_confirmation.h"
#include "base/program.h"
#include "ghost/command_lines.h"

// What a run of the engine came to, as the judging rule reads it: its output, or a
// failure text of ours when the engine could not be started or ended with an error
// code without printing anything.
std::string GhostOutputOf(const CommandResult& result);

// After a Ghost run: shows the cancel or the failure with the engine's text (jobName,
// "还原", "备份" or "对拷", names the job in the texts) and returns true; false after a
// success. A failed backup has no balloon of its own: its finished balloon came first.
bool ReportGhostFailure(Program& program, GhostJob job, const std::string& jobName);

// How one Ghost job differs from the others when it runs.
struct GhostRun {
    GhostJob job = GhostJob::Restore;
    std::string jobName;               // "还原", "备份", "对拷"
    std::string commandLine;           // the engine line, without the interpreter
    int statusWidth = 248;             // pixels of the status line while it runs
    std::string status;                // the status line's text
    std::string startBalloon;          // balloon text when the run starts
    std::string doneBalloon;           // balloon text when it ends
    bool doneBalloonWhatever = false;  // shown before judging, whatever the result
    FinishedJob finished = FinishedJob::Restore;
    std::function<void()> afterSuccess;   // a step before the report (boot records)
    std::function<std::string()> report;  // the report's text, read after the run
    bool closeAfterReport = true;         // the confirmation closes after the report
};

class GhostConfirmation : public UiEvents, public JobDialog {
  public:
    static constexpr int kWindowId = kConfirmWindow;
    explicit GhostConfirmation(Program& program) : program_(program) {}

    void OnControl(int window, int control) override;
    // Closing the window is Cancel, except while the job runs.
    void OnClose(int window) override;

    // While reboot mode prepares the job in its place.
    void SetBusy(bool busy, const std::string& status) override { SetRunning(busy, 248, status); }
    void CloseDialog() override { Close(); }

  protected:
    // Creates the window with its texts, locks the main window and shows it.
    void Create(const std::string& headline, const std::string& warning, const std::string& hint);
    virtual void Ok() = 0;
    virtual void Cancel() { Close(); }
    // Runs the engine as the job describes and reports. A failure or a cancel leaves
    // the confirmation open with its buttons back, so OK can be pressed again.
    void RunGhost(const GhostRun& run);
    // Destroys the window and unlocks the main window.
    void Close();

    Program& program_;

  private:
    // Hides the buttons and shows the status line while the job runs; puts the buttons
    // back afterwards.
    void SetRunning(bool running, int statusWidth, const std::string& status = std::string());
};
