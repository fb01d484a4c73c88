// How a running job shows itself: natively it is silent (Ctrl+C cancels); on
// Windows a small progress window with a Cancel button (progress_win.cpp).
#pragma once

#include <functional>
#include <string>

#include "engines/ghost/operations.h"

namespace ghost {

using JobBody = std::function<Status(const ProgressFn&)>;

Status RunWithProgress(const std::string& title, const JobBody& body);

// With no arguments: a person picks the job. Returns the request's status and
// fills the request to run (kInteractive when the window was closed).
Status AskForJob(struct JobRequest* request);

}  // namespace ghost
