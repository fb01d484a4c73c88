// Controls and timers of the ImageX backup window ("Allset Imagex", capture).
#pragma once

enum ImagexBackupControl : int {
    kBxTitle = 1,
    kBxConfirmLine,
    kBxHint,
    kBxNameLabel,
    kBxName,
    kBxFlagLabel,
    kBxFlag,
    kBxCompressionLabel,
    kBxCompression,
    kBxProgressCaption,
    kBxProgressBar,
    kBxPercent,
    kBxElapsed,
    kBxRemaining,
    kBxStatus,
    kBxOutput,
    kBxStart,
    kBxCancel,
    kBxPause,
};
enum ImagexBackupTimer : int { kBxProgressTimer = 1, kBxElapsedTimer, kBxDoneTimer };
