// How the program speaks to the user: tray balloons and message boxes with the caption
// "提示", owned by the program's own window.
#pragma once

#include <string>

#include "base/program.h"

// Balloon tip at the main window's tray icon; icon kinds outside 0-3 become 1.
void ShowBalloon(Program& program, const std::string& title, const std::string& text, int iconKind,
                 unsigned timeoutMs);

// A message box with caption "提示" and the icon (kMbIconError and the like).
void Tell(Program& program, const std::string& text, unsigned icon);
// A Yes/No question with the warning icon; true for Yes.
bool Ask(Program& program, const std::string& text);
// A Yes/No question with the information icon; true for Yes.
bool AskInformation(Program& program, const std::string& text);

// The message for a command or job this version does not have yet.
extern const char kNotAvailableYet[];
void TellNotAvailableYet(Program& program);
