// Controls of the Windows XP setup window ("安装 WindowsXP").
#pragma once

enum XpSetupControl : int {
    kXpTitle = 1,
    kXpQuestion,
    kXpFormatLabel,
    kXpFormatChoice,
    kXpModeLabel,
    kXpModeChoice,
    kXpSerialLabel,
    kXpSerial,
    kXpHint,
    kXpStatus,
    kXpOk,
    kXpCancel,
};

// The format choices, in the order of the format box.
enum XpFormatChoice : int { kXpFormatManual = 0, kXpFormatNtfs, kXpFormatFat32, kXpFormatSkip };
// The install modes, in the order of the install-mode box.
enum XpInstallMode : int { kXpAutomatic = 0, kXpManual };
