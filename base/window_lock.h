// The main window's lock: while a job runs its controls are disabled, the tray menu is
// refused and jobRunning is set.
#pragma once

#include "base/program.h"

// Disables (lock) or enables (unlock) the window's controls in one pass, in a fixed
// order of pairs. The integrity option and the password text box are not touched. In
// copy mode the collapse button stays disabled after an unlock: that layout cannot be
// left until another mode is chosen.
void LockMainWindow(Program& program);
void UnlockMainWindow(Program& program);

// Locks the main window and sets jobRunning for the lifetime of a synchronous job;
// the destructor undoes both, whichever way the job ends.
class JobLock {
  public:
    explicit JobLock(Program& program);
    ~JobLock();
    JobLock(const JobLock&) = delete;
    JobLock& operator=(const JobLock&) = delete;

  private:
    Program& program_;
};
