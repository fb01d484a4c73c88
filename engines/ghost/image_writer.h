// Writes an image: header, chunks in order across spans, the index at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engines/ghost/chunk_codec.h"
#include "engines/ghost/entry.h"
#include "engines/ghost/file_io.h"

namespace ghost {

// image.GHO, image001.GHS, image002.GHS, ...: span n > 0 replaces the extension.
std::string SpanPath(const std::string& imagePath, uint32_t span);

class ImageWriter {
  public:
    struct Options {
        int level = 9;
        uint64_t spanLimit = 0;  // bytes per file, 0 = one file
        std::string password;    // empty = not encrypted
        uint32_t kdfIterations = kDefaultKdfIterations;
        uint32_t origin = kOriginPosix;
    };

    ~ImageWriter();
    Status Create(const std::string& path, const Options& options);
    // The cipher for EncodeChunk (null when not encrypted); owned by the writer.
    ChunkCipher* cipher() const { return cipher_.get(); }
    int level() const { return options_.level; }

    // Appends one encoded chunk. Data chunks must come in sequence order.
    Status Append(const StoredChunk& chunk);
    // Writes the index (entries + recorded chunk places) and completes the header.
    Status Finish(std::vector<Entry> entries, uint64_t dataRawSize);
    // Removes every file written so far (cancel or failure).
    void Discard();

  private:
    Status WriteStored(const StoredChunk& chunk, ChunkLocation* where);
    Status OpenSpan(uint32_t span);

    std::string path_;
    Options options_;
    ImageHeader header_{};
    std::unique_ptr<ChunkCipher> cipher_;
    std::vector<std::unique_ptr<BinaryFile>> spans_;
    uint64_t spanPos_ = 0;
    std::vector<ChunkLocation> chunks_;
    bool finished_ = false;
    // Spans from this one on already carry their own names.
    size_t renamed_ = SIZE_MAX;
};

}  // namespace ghost
