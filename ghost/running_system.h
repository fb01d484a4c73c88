// Jobs aimed at the partition of the running Windows, which cannot be imaged while it
// runs.
#pragma once

#include <string>

#include "base/program.h"

// True when root is the running system's partition; the message for it has then been
// shown: gptMessage on a GPT disk, otherwise otherMessage (those jobs go to reboot
// mode, which the desktop version prepares).
bool RefuseRunningSystemPartition(Program& program, const std::string& root,
                                  const std::string& gptMessage, const std::string& otherMessage);
