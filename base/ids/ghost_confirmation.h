// Controls of the "Allset Ghost" confirmation shared by the three Ghost jobs.
#pragma once

enum ConfirmControl : int {
    kConfirmHeadline = 1,
    kConfirmWarning,
    kConfirmHint,
    kConfirmStatus,
    kConfirmOk,
    kConfirmCancel,
};
