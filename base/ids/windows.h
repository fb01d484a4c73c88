// Every window of the program, by id. A window id names one open window at a time;
// the window registry keeps the handlers of each open window under its id.
#pragma once

enum WindowId : int {
    kMainWindow = 1,
    kCountdownWindow = 2,
    kConfirmWindow = 3,            // the Ghost jobs' "Allset Ghost" confirmation
    kImagexRestoreWindow = 4,      // "Allset Imagex": apply a WIM volume
    kXpSetupWindow = 5,            // "安装 WindowsXP": Windows XP setup from its media
    kImagexBackupWindow = 6,       // "Allset Imagex": capture a partition into a WIM
    kEngineWindow = 7,             // the custom Ghost and ImageX engines
    kVolumeLabelWindow = 20,       // the volume-label dialog
    kAboutWindow = 21,             // About
    kPartitionDetailsWindow = 22,  // the partition details window
};
