// Streams blob data out of a WIM: one thread reads the stored chunks in large
// sequential pieces, worker threads decompress them on all cores, and the
// calling thread hands the data in file order to a consumer, so writing never
// waits for more than the next chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/wimformat/status.h"
#include "engines/wimformat/wim_file.h"

namespace imagex {

// A piece of a unit's uncompressed data that somebody wants.
struct PlannedSlice {
    uint64_t offset = 0;
    uint64_t size = 0;  // > 0
    size_t id = 0;      // the consumer's name for it
};

// A stored resource (or solid group) and the slices wanted from it, by offset.
struct PlannedUnit {
    std::vector<wim::ChunkExtent> chunks;
    std::vector<PlannedSlice> slices;
};

class SliceConsumer {
  public:
    virtual ~SliceConsumer() = default;
    virtual wim::Status Begin(size_t id) = 0;
    virtual wim::Status Data(size_t id, const uint8_t* data, size_t size) = 0;
    virtual wim::Status End(size_t id) = 0;
};

// Runs the whole stream; `threads` 0 means one per core.
wim::Status RunPipeline(const wim::WimFile& wim, const std::vector<PlannedUnit>& units,
                        SliceConsumer* consumer, unsigned threads = 0);

}  // namespace imagex
