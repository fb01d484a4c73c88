// Texts every command shares: the banner and error reports.
#pragma once

#include <string>

#include "engines/wimformat/status.h"

namespace imagex {

std::string ProgramBanner();
// Prints "Error <n>: <message>" and returns the exit code (the error number).
int ReportError(const wim::Status& status);

}  // namespace imagex
