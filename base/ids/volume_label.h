// Controls of the volume-label dialog.
#pragma once

enum VolumeLabelControl : int {
    kVolumeLabelTitle = 1,
    kVolumeLabelOld,
    kVolumeLabelNewCaption,
    kVolumeLabelNew,
    kVolumeLabelApply,
    kVolumeLabelClose,
};
