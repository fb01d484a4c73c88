// /info [/check] "image": the WIM's facts and its XML description.
#pragma once

#include <string>

#include "engines/wimformat/status.h"
#include "engines/wimformat/wim_file.h"

namespace imagex {

// Builds the whole /info output (UTF-8, lines ended "\r\n"). With `check` the
// integrity table, when the file has one, is verified first.
wim::Status BuildInfoText(const wim::WimFile& wim, const std::string& path, bool check,
                          std::string* out);

// Counts of one image as the XML gives them: directories (root included),
// files (every hard link counted) and the bytes of their unnamed data.
struct ImageCounts {
    uint64_t dirCount = 0;
    uint64_t fileCount = 0;
    uint64_t totalBytes = 0;
    uint64_t hardLinkBytes = 0;
};
wim::Status CountImage(const wim::WimFile& wim, unsigned index, ImageCounts* out);

int RunInfo(const std::string& path, bool check);

}  // namespace imagex
