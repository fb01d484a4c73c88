// Reading side of the container: header, blob table, XML data, integrity
// table, and the layout of any resource as chunks. The directory tree of an
// image is parsed by metadata.h from the bytes ReadBlob() returns.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engines/wimformat/file_io.h"
#include "engines/wimformat/status.h"
#include "engines/wimformat/wim_types.h"

namespace wim {

// Largest resource read whole into memory (metadata, XML).
constexpr uint64_t kMaxInMemoryResource = uint64_t(1) << 31;

// Parses and checks the 208-byte header against the file size.
Status ParseHeader(const uint8_t* data, size_t size, uint64_t fileSize, WimHeaderInfo* out);

// Parses the blob table bytes. Metadata entries go to `metadata` in order
// (image 1 first); the rest to `blobs`.
Status ParseBlobTable(const uint8_t* data, size_t size, uint64_t fileSize, std::vector<Blob>* blobs,
                      std::vector<Blob>* metadata, std::vector<SolidGroup>* groups);

// Splits a non-solid compressed resource into chunks from its chunk table.
Status ParseChunkTable(const ResourceSpec& res, uint32_t chunkSize, Compression kind,
                       const uint8_t* table, size_t tableSize, std::vector<ChunkExtent>* out);
// Size of the chunk table that starts a non-solid compressed resource.
Status ChunkTableSize(const ResourceSpec& res, uint32_t chunkSize, size_t* size);

class WimFile {
  public:
    Status Open(const std::string& path);

    const WimHeaderInfo& header() const { return header_; }
    const std::vector<Blob>& blobs() const { return blobs_; }
    const std::vector<Blob>& metadata() const { return metadata_; }
    const std::vector<SolidGroup>& solidGroups() const { return groups_; }
    const InputFile& file() const { return file_; }
    uint64_t fileSize() const { return file_.size(); }

    // The blob with this hash, or null.
    const Blob* FindBlob(const Hash& hash) const;

    // The chunks that hold a resource's data, in order. For a solid group the
    // chunks of all its resources, concatenated.
    Status ResourceChunks(const ResourceSpec& res, std::vector<ChunkExtent>* out) const;
    Status SolidGroupChunks(int group, std::vector<ChunkExtent>* out) const;

    // Reads a whole blob into memory and checks its SHA-1 (unless the hash is zero).
    Status ReadBlob(const Blob& blob, std::string* out, bool checkHash = true) const;
    // Reads the XML data as UTF-8.
    Status ReadXml(std::string* utf8) const;
    // Verifies the integrity table; `present` tells whether the file has one.
    Status CheckIntegrity(bool* present) const;

    // Reads and decompresses one chunk into `out` (resized to its size).
    Status ReadChunk(const ChunkExtent& c, Decompressor* d, std::string* out) const;

  private:
    Status ReadRange(const std::vector<ChunkExtent>& chunks, uint64_t offset, uint64_t size,
                     std::string* out) const;

    InputFile file_;
    WimHeaderInfo header_;
    std::vector<Blob> blobs_;
    std::vector<Blob> metadata_;
    std::vector<SolidGroup> groups_;
    std::map<Hash, size_t> index_;
};

}  // namespace wim
