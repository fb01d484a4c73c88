// The "Allset Ghost" confirmation that restore, backup and partition copy open before
// they run Ghost: a headline, a warning, a hint, a status line shown while the job
// runs, OK and Cancel. The main window stays locked while it is open.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "app/program.h"
#include "ghost/command_lines.h"

enum ConfirmControl : int {
    kConfirmHeadline = 1,
    kConfirmWarning,
    kConfirmHint,
    kConfirmStatus,
    kConfirmOk,
    kConfirmCancel,
};
enum : int { kConfirmWindow = 3 };

// A message box with caption "提示" owned by the program's own window.
void Tell(Program& program, const std::string& text, unsigned icon);
// A Yes/No question (warning icon); true for Yes.
bool Ask(Program& program, const std::string& text);

// After a Ghost run: shows the cancel or the failure with the engine's text (jobName,
// "还原", "备份" or "对拷", names the job in the texts) and returns true; false after a
// success. A failed backup has no balloon of its own: its finished balloon came first.
bool ReportGhostFailure(Program& program, GhostJob job, const std::string& jobName);

class GhostConfirmation : public UiEvents {
public:
    explicit GhostConfirmation(Program& program) : program_(program) {}

    void OnControl(int window, int control) override;
    // Closing the window is Cancel, except while the job runs.
    void OnClose(int window) override;

protected:
    // Creates the window with its texts, locks the main window and shows it.
    void Create(const std::string& headline, const std::string& warning, const std::string& hint);
    virtual void Ok() = 0;
    virtual void Cancel() { Close(); }
    // Hides the buttons and shows the status line (statusWidth pixels wide) with the
    // text while the job runs; puts the buttons back afterwards.
    void SetRunning(bool running, int statusWidth, const std::string& status = std::string());
    // Destroys the window and unlocks the main window.
    void Close();

    Program& program_;
};

// Makes the confirmation the program's open job window and returns it.
template <typename T, typename... Args>
T* OpenJobWindow(Program& program, Args&&... args) {
    auto window = std::make_unique<T>(program, std::forward<Args>(args)...);
    T* opened = window.get();
    program.jobWindow = std::move(window);
    return opened;
}
