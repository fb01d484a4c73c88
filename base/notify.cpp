#include "base/notify.h"

void ShowBalloon(Program& program, const std::string& title, const std::string& text, int iconKind,
                 unsigned timeoutMs) {
    if (iconKind < 0 || iconKind > 3) iconKind = 1;
    program.ui.ShowBalloon(kMainWindow, title, text, iconKind, timeoutMs);
}

void Tell(Program& program, const std::string& text, unsigned icon) {
    program.ui.MessageBox(program.ui.OwnProcessWindow(), text, "提示", icon);
}

static bool AskYesNo(Program& program, const std::string& text, unsigned icon) {
    return program.ui.MessageBox(program.ui.OwnProcessWindow(), text, "提示", kMbYesNo | icon) ==
           kIdYes;
}

bool Ask(Program& program, const std::string& text) {
    return AskYesNo(program, text, kMbIconWarning);
}

bool AskInformation(Program& program, const std::string& text) {
    return AskYesNo(program, text, kMbIconInformation);
}

const char kNotAvailableYet[] = "此功能在当前版本中尚不可用。";

void TellNotAvailableYet(Program& program) {
    Tell(program, kNotAvailableYet, kMbIconInformation);
}
