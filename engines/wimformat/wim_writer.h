// Writing side of the container: a new WIM holding one image, written front to
// back. Blob data goes first (one resource per blob, in 32 KiB chunks, each
// compressed or stored raw), then the metadata resource, the blob table and the
// XML data; the header is written last, so a file cut short never passes for a
// whole WIM.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/wimformat/compress.h"
#include "engines/wimformat/file_io.h"
#include "engines/wimformat/metadata.h"
#include "engines/wimformat/status.h"
#include "engines/wimformat/wim_types.h"

namespace wim {

constexpr uint32_t kWriteChunkSize = 32768;
// The piece of the file each integrity table entry hashes.
constexpr uint32_t kIntegrityChunk = 10u << 20;

// Serialises an image's security data and directory tree as a metadata
// resource holds them. Entries' `children` give the tree; entries[0] is the root.
std::string SerializeMetadata(const ImageTree& tree);

class WimWriter {
  public:
    WimWriter() = default;
    WimWriter(const WimWriter&) = delete;
    WimWriter& operator=(const WimWriter&) = delete;

    // Creates the file and leaves room for the header.
    Status Create(const std::string& path, Compression kind);
    Compression compression() const { return kind_; }

    // A resource written chunk by chunk: Begin, AddChunk for every chunk in
    // order (`stored` bytes; equal to `original` for a raw chunk), then End to
    // keep it or Drop to cut it off again.
    Status BeginResource(uint64_t originalSize);
    Status AddChunk(const uint8_t* data, size_t stored, size_t original);
    Status EndResource(ResourceSpec* spec);
    Status DropResource();

    // Writes a whole resource from memory, compressing it with `compressor`
    // (null: raw).
    Status WriteResource(const std::string& data, Compressor* compressor, ResourceSpec* spec);

    // Entries of the blob table.
    void AddBlob(const Hash& hash, const ResourceSpec& spec, uint32_t refCount);
    void SetMetadata(const ResourceSpec& spec, const Hash& hash);

    // Offset where the XML data will start (the size of everything before it).
    uint64_t position() const { return file_.position(); }

    // Writes the blob table, the XML data (UTF-8 in, UTF-16LE out), with
    // `integrity` an integrity table (SHA-1 of every 10 MiB from the end of the
    // header to the end of the blob table, read back from the file), and the
    // header, and closes the file.
    Status Finish(const std::string& xmlUtf8, bool integrity = false);

  private:
    Status WriteFailed();
    Status AppendIntegrityTable(uint64_t end, ResourceSpec* spec);

    OutputFile file_;
    Compression kind_ = Compression::kNone;
    std::string path_;
    // The resource being written.
    uint64_t resStart_ = 0;
    uint64_t resOriginal_ = 0;
    uint64_t resChunks_ = 0;
    uint64_t resDone_ = 0;
    size_t tableEntry_ = 4;
    std::vector<uint64_t> chunkEnds_;
    std::string table_;
    // The blob table.
    std::string blobTable_;
    bool haveMetadata_ = false;
};

}  // namespace wim
