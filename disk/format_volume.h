// Formatting a partition without the system's dialog: a quick format with the label
// "本地磁盘", used by the jobs that prepare a partition before writing to it.
#pragma once

#include <string>

#include "platform/sys.h"

// Formats the drive named by the first character of root. fileSystem "FAT32" or
// "NTFS" (any other name becomes "NTFS"); a cluster size other than 512, 1024, 2048
// or 4096 becomes 0, the file system's default. Only one format runs at a time: a
// request while another runs fails at once. True when the format reports success.
bool FormatVolumeQuick(Sys& sys, const std::string& root, const std::string& fileSystem,
                       unsigned clusterSize = 0);
