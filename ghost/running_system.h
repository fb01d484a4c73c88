// Jobs aimed at the partition of the running Windows, which cannot be imaged while it
// runs: they are refused, or prepared in reboot mode for the next start.
#pragma once

#include <string>

#include "base/program.h"

enum class RunningSystem {
    Elsewhere,   // root is not the running system's partition: go on
    Refused,     // it is, and the message saying why has been shown
    RebootMode,  // it is, and the reboot-mode module takes the job over
};
// On a GPT disk the job is refused with gptMessage; otherwise it goes to reboot mode.
RunningSystem CheckRunningSystemPartition(Program& program, const std::string& root,
                                          const std::string& gptMessage);
