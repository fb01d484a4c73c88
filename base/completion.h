// The completion countdown: after a job, ten seconds to a shutdown or restart that the
// user can start at once or cancel; and the shutdown and restart commands.
#pragma once

#include <string>

#include "base/program.h"

// Opens the countdown window for state.shutdownAfterJob and state.finishedJobKind.
void OpenCompletionCountdown(Program& program);
// Jobs call this when they end: the countdown when an option asks for it. Returns true
// when the countdown opened (the job then shows no report of its own).
bool StartCompletionActionIfChosen(Program& program, FinishedJob finishedJobKind);

// PECMD first (a WinPE has it), then Windows itself.
void ShutDownNow(Program& program);
void RestartNow(Program& program);

// The main menu's "立即关机(&G)" / "立即重启(&R)" and the partition menu's
// "关闭系统(&S)" / "重启系统(&R)".
void OnShutdownNowMenu(Program& program);
void OnRestartNowMenu(Program& program);
void OnShutDownSystemMenu(Program& program);
void OnRestartSystemMenu(Program& program);

// "备份已完成，" and the like, by finished job kind.
std::string DoneWord(FinishedJob finishedJobKind);
