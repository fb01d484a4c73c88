// Opens an image: header, spans, password, index. Every figure read from the
// files is checked against the file sizes before it is used.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engines/ghost/chunk_codec.h"
#include "engines/ghost/entry.h"
#include "engines/ghost/file_io.h"

namespace ghost {

class ImageReader {
  public:
    // With needIndex false (a check without password) an encrypted image opens
    // with its header and spans only; index() is then empty.
    Status Open(const std::string& path, const std::string& password, bool needIndex = true);

    const ImageHeader& header() const { return header_; }
    const ImageIndex& index() const { return index_; }
    // Hands the index's entries over (a whole restore plans them in place); index()
    // keeps its chunks and has no entries afterwards.
    std::vector<Entry> TakeEntries() {
        std::vector<Entry> entries;
        entries.swap(index_.entries);
        return entries;
    }
    bool encrypted() const { return (header_.flags & kImageEncrypted) != 0; }
    ChunkCipher* cipher() const { return cipher_.get(); }
    uint32_t spanCount() const { return uint32_t(spans_.size()); }
    const std::string& spanPath(uint32_t span) const { return spanPaths_[span]; }
    uint64_t spanSize(uint32_t span) const { return spanSizes_[span]; }
    uint64_t spanStart(uint32_t span) const {
        return span == 0 ? kImageHeaderSize : kSpanHeaderSize;
    }

    // Reads the stored chunk at a place (one thread at a time). kErrTruncated when
    // it does not fit in its file, kErrCorrupt when its header is damaged.
    Status ReadAt(uint32_t span, uint64_t offset, StoredChunk* chunk);
    // Data chunk number i of the index.
    Status ReadDataChunk(uint32_t i, StoredChunk* chunk);

    // The text naming a chunk in messages: file and offset.
    std::string Where(uint32_t span, uint64_t offset) const;

  private:
    Status OpenSpans(const std::string& path);
    Status CheckPassword(const std::string& password);
    Status ReadIndex();

    ImageHeader header_{};
    std::vector<std::unique_ptr<BinaryFile>> spans_;
    std::vector<std::string> spanPaths_;
    std::vector<uint64_t> spanSizes_;
    std::unique_ptr<ChunkCipher> cipher_;
    ImageIndex index_;
};

}  // namespace ghost
