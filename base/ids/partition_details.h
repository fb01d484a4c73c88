// Controls of the partition details window.
#pragma once

enum PartitionDetailsControl : int {
    kDetailsTitle = 1,
    kDetailsText,        // the thirteen lines
    kDetailsSmallLabel,  // a click on it closes the window
    kDetailsClose,
};
