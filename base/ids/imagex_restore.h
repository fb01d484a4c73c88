// Controls and timers of the ImageX restore window ("Allset Imagex", apply).
#pragma once

enum ImagexRestoreControl : int {
    kRxTitle = 1,
    kRxConfirmLine,
    kRxHint,
    kRxVolumeLabel,
    kRxVolumeList,
    kRxFormatLabel,
    kRxFormatChoice,
    kRxAddBoot,
    kRxBootMode,
    kRxUnattendOption,
    kRxUnattendPath,
    kRxBrowse,
    kRxProgressCaption,
    kRxProgressBar,
    kRxPercent,
    kRxElapsed,
    kRxRemaining,
    kRxStatus,
    kRxOutput,
    kRxStart,
    kRxCancel,
    kRxPause,
};
enum ImagexRestoreTimer : int { kRxProgressTimer = 1, kRxElapsedTimer, kRxDoneTimer };
