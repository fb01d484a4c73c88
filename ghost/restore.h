// Restoring a partition from a Ghost image: the start button's checks in order, the
// optional image check, the confirmation, the run, the boot records and the report.
#pragma once

#include <string>

#include "app/program.h"

// The start button in restore mode.
void StartRestore(Program& program);
// Writes the boot records that match the restored Windows through Bootice.
void WriteBootRecordsAfterGhost(Program& program);
