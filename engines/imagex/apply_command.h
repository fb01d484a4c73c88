// /apply "image" N target: writes image N of a WIM into a folder.
#pragma once

#include <string>

#include "engines/imagex/apply_target.h"
#include "engines/wimformat/status.h"
#include "engines/wimformat/wim_file.h"

namespace imagex {

struct ApplyOptions {
    bool check = false;    // verify the integrity table first
    bool progress = true;  // print progress lines
    unsigned threads = 0;  // decompression threads; 0 = one per core
};

// Applies image `index` of an open WIM through `target`.
wim::Status ApplyImage(const wim::WimFile& wim, unsigned index, const std::string& root,
                       ApplyTarget* target, const ApplyOptions& options);

int RunApply(const std::string& path, unsigned index, const std::string& root, bool check);
// The same through a given target: the banner, the warnings, every item not
// kept, then the error or the success line; returns the exit code.
int RunApplyWith(const std::string& path, unsigned index, const std::string& root,
                 ApplyTarget* target, const ApplyOptions& options);

}  // namespace imagex
