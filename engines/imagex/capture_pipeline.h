// Streams file data into a WIM: one thread reads the files front to back in
// large pieces and hashes them, worker threads compress the 32 KiB chunks on
// all cores, and the calling thread writes the chunks in order. Data seen
// before is stored once: a small file's copy is never queued, a large one is
// cut off again once its hash shows it is a copy.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engines/imagex/capture_source.h"
#include "engines/imagex/progress.h"
#include "engines/wimformat/wim_writer.h"

namespace imagex {

// One stream to store: a source file's stream, or bytes already in memory.
struct DataItem {
    const SourceNode* node = nullptr;
    std::string stream;                   // "" for the unnamed data
    const std::string* memory = nullptr;  // set: store these bytes instead
    uint64_t size = 0;                    // > 0
    wim::Hash hash{};                     // filled in by the pipeline
};

// Writes every item's data and fills in the hashes; `blobs` gets where each
// distinct blob was written.
wim::Status WriteItems(std::vector<DataItem>& items, CaptureSource* source, wim::WimWriter* writer,
                       unsigned threads, ProgressReporter* progress,
                       std::map<wim::Hash, wim::ResourceSpec>* blobs);

}  // namespace imagex
