// Copying an image's tree into a folder: the fallback mount where the system cannot
// mount an ISO itself. Only names checked by the reader are created, each below the
// folder; nothing is written anywhere else.
#pragma once

#include <cstdint>
#include <string>

#include "engines/isotool/iso_image.h"

namespace isotool {

struct ExtractResult {
    bool ok = false;
    std::string error;
    std::uint64_t files = 0, directories = 0, bytes = 0;
};

// Empties the folder (creating it when missing) and writes the tree into it. folder
// is UTF-8.
ExtractResult ExtractTree(ImageSource& image, const IsoTree& tree, const std::string& folder);

}  // namespace isotool
