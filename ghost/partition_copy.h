// Copying one partition onto another with Ghost: the start button's checks in order
// (the size test among them), the confirmation, the run and its outcome.
#pragma once

#include "base/program.h"

// The start button in copy mode.
void StartPartitionCopy(Program& program);
