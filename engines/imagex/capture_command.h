// /capture source "image" "name" "description" /flags "flag" /compress kind
// /temp folder: writes a new WIM holding one image of a folder or drive.
#pragma once

#include <string>

#include "engines/imagex/capture_source.h"
#include "engines/imagex/command_line.h"
#include "engines/wimformat/decompress.h"
#include "engines/wimformat/status.h"

namespace imagex {

struct CaptureOptions {
    std::string source;
    std::string image;  // the file to write
    std::string name;
    std::string description;
    std::string flags;
    wim::Compression kind = wim::Compression::kXpress;
    bool check = false;    // also write an integrity table
    bool progress = true;  // print progress lines
    unsigned threads = 0;  // compression threads; 0 = one per core
};

// The compression a /compress value names: none, fast or maximum (any case).
bool CompressionOfName(const std::string& value, wim::Compression* out);

// The name the new WIM is written under until it is complete.
std::string WorkingName(const std::string& image);

// Captures `options.source` through `source` into `options.image`. The file is
// written under WorkingName() and renamed over the image only when complete;
// on failure the working file is removed and the image path is untouched.
wim::Status CaptureImage(const CaptureOptions& options, CaptureSource* source);

int RunCapture(const Command& cmd);

}  // namespace imagex
