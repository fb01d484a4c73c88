#include "engines/wimformat/wim_file.h"

#include <cstring>
#include <memory>

#include "engines/wimformat/sha1.h"
#include "engines/wimformat/utf.h"
#include "engines/wimformat/wim_disk.h"

namespace wim {

namespace {

// Uncompressed resources are handed out in pieces of this size.
constexpr uint32_t kRawPiece = 1u << 20;

ResourceSpec SpecOf(const disk::ResourceHeader& h) {
    ResourceSpec r;
    uint64_t s = 0;
    for (int i = 0; i < 7; ++i) s |= uint64_t(h.sizeInWim[i]) << (8 * i);
    r.storedSize = s;
    r.flags = h.flags;
    r.offset = h.offset.Get();
    r.originalSize = h.originalSize.Get();
    return r;
}

bool WithinFile(const ResourceSpec& r, uint64_t fileSize) {
    return r.offset <= fileSize && r.storedSize <= fileSize - r.offset;
}

std::string Num(uint64_t v) {
    return std::to_string(v);
}

}  // namespace

Status ParseHeader(const uint8_t* data, size_t size, uint64_t fileSize, WimHeaderInfo* out) {
    if (size < sizeof(disk::Header))
        return Status(Error::kTruncated, "file too small for a WIM header");
    disk::Header h;
    memcpy(&h, data, sizeof h);
    if (memcmp(h.magic, disk::kMagic, 8) != 0)
        return Status(Error::kNotWim, "not a WIM file (wrong magic)");
    if (h.headerSize.Get() != sizeof(disk::Header))
        return Status(Error::kBadHeader, "unexpected header size " + Num(h.headerSize.Get()));
    WimHeaderInfo& w = *out;
    w.version = h.version.Get();
    w.flags = h.flags.Get();
    w.chunkSize = h.chunkSize.Get();
    memcpy(w.guid, h.guid, 16);
    w.partNumber = h.partNumber.Get();
    w.totalParts = h.totalParts.Get();
    w.imageCount = h.imageCount.Get();
    w.bootIndex = h.bootIndex.Get();
    w.blobTable = SpecOf(h.blobTable);
    w.xmlData = SpecOf(h.xmlData);
    w.bootMetadata = SpecOf(h.bootMetadata);
    w.integrity = SpecOf(h.integrity);
    w.compression = Compression::kNone;
    if (w.flags & kHeaderCompressed) {
        if (w.flags & kHeaderLzx)
            w.compression = Compression::kLzx;
        else if (w.flags & (kHeaderXpress | kHeaderXpress2))
            w.compression = Compression::kXpress;
        else if (w.flags & kHeaderLzms)
            w.compression = Compression::kLzms;
        else
            return Status(Error::kUnsupported, "unknown compression in header flags");
        if (w.chunkSize == 0) w.chunkSize = 32768;
        if (!ChunkSizeSupported(w.compression, w.chunkSize))
            return Status(Error::kUnsupported, "unsupported chunk size " + Num(w.chunkSize));
    }
    if (w.totalParts != 1 || w.partNumber != 1 || (w.flags & kHeaderSpanned))
        return Status(Error::kUnsupported, "split (spanned) WIM files are not supported");
    if (w.imageCount > 65535) return Status(Error::kBadHeader, "image count out of range");
    if (w.bootIndex > w.imageCount) return Status(Error::kBadHeader, "boot index out of range");
    if (!WithinFile(w.blobTable, fileSize))
        return Status(Error::kTruncated, "blob table lies past the end of the file");
    if (!WithinFile(w.xmlData, fileSize))
        return Status(Error::kTruncated, "XML data lies past the end of the file");
    if (w.integrity.offset && !WithinFile(w.integrity, fileSize))
        return Status(Error::kTruncated, "integrity table lies past the end of the file");
    return Status::Ok();
}

Status ParseBlobTable(const uint8_t* data, size_t size, uint64_t fileSize, std::vector<Blob>* blobs,
                      std::vector<Blob>* metadata, std::vector<SolidGroup>* groups) {
    size_t count = size / sizeof(disk::BlobEntry);
    // Solid blobs give offsets into the data of all solid resources of the
    // table taken together, in table order, wherever their entries stand (a
    // resource added later continues where the earlier ones end). So every
    // solid resource joins one group.
    bool anySolid = false;
    for (size_t i = 0; i < count; ++i) {
        disk::BlobEntry e;
        memcpy(&e, data + i * sizeof e, sizeof e);
        Blob b;
        b.resource = SpecOf(e.resource);
        b.partNumber = e.partNumber.Get();
        b.refCount = e.refCount.Get();
        memcpy(b.hash.data(), e.hash, 20);
        const ResourceSpec& r = b.resource;
        if (r.flags & kResourceFree) continue;
        if (r.flags & kResourceSolid) {
            if (groups->empty()) groups->emplace_back();
            if (r.originalSize == kSolidResourceMagicSize) {
                if (!WithinFile(r, fileSize) || r.storedSize < sizeof(disk::SolidHeader))
                    return Status(Error::kTruncated,
                                  "solid resource lies past the end of the file");
                groups->back().resources.push_back(r);
                continue;
            }
            anySolid = true;
            // Writers put the size in the stored-size field; some repeat it.
            b.size = r.originalSize ? r.originalSize : r.storedSize;
            b.solidOffset = r.offset;
            if (b.solidOffset + b.size < b.solidOffset)
                return Status(Error::kBadResource, "solid blob range overflows");
            b.solidGroup = 0;
            blobs->push_back(b);
            continue;
        }
        if (!WithinFile(r, fileSize))
            return Status(Error::kTruncated, "a blob lies past the end of the file");
        if (!(r.flags & kResourceCompressed) && r.storedSize != r.originalSize)
            return Status(Error::kBadResource, "uncompressed blob with two different sizes");
        b.size = r.originalSize;
        if (r.flags & kResourceMetadata)
            metadata->push_back(b);
        else
            blobs->push_back(b);
    }
    if (anySolid && groups->back().resources.empty())
        return Status(Error::kBadResource, "solid blobs without a solid resource");
    return Status::Ok();
}

Status ChunkTableSize(const ResourceSpec& res, uint32_t chunkSize, size_t* size) {
    uint64_t n = (res.originalSize + chunkSize - 1) / chunkSize;
    uint64_t entry = res.originalSize > 0xFFFFFFFFULL ? 8 : 4;
    uint64_t bytes = n ? (n - 1) * entry : 0;
    if (bytes > res.storedSize)
        return Status(Error::kBadResource, "chunk table larger than its resource");
    *size = size_t(bytes);
    return Status::Ok();
}

Status ParseChunkTable(const ResourceSpec& res, uint32_t chunkSize, Compression kind,
                       const uint8_t* table, size_t tableSize, std::vector<ChunkExtent>* out) {
    uint64_t n = (res.originalSize + chunkSize - 1) / chunkSize;
    uint64_t entry = res.originalSize > 0xFFFFFFFFULL ? 8 : 4;
    if (n == 0) return Status::Ok();
    if (tableSize != (n - 1) * entry)
        return Status(Error::kBadResource, "chunk table size mismatch");
    uint64_t dataSize = res.storedSize - tableSize;
    uint64_t dataStart = res.offset + tableSize;
    uint64_t prev = 0;
    out->reserve(out->size() + size_t(n));
    for (uint64_t i = 0; i < n; ++i) {
        uint64_t start = prev;
        uint64_t end = dataSize;
        if (i + 1 < n) end = entry == 8 ? LoadLe64(table + i * 8) : LoadLe32(table + i * 4);
        if (end < start || end > dataSize)
            return Status(Error::kBadResource, "chunk table offsets out of order");
        uint64_t orig = i + 1 < n ? chunkSize : res.originalSize - (n - 1) * uint64_t(chunkSize);
        uint64_t stored = end - start;
        if (stored == 0 || stored > orig)
            return Status(Error::kBadResource, "chunk larger than its data");
        ChunkExtent c;
        c.fileOffset = dataStart + start;
        c.storedSize = uint32_t(stored);
        c.originalSize = uint32_t(orig);
        c.kind = stored == orig ? Compression::kNone : kind;
        c.chunkSize = chunkSize;
        out->push_back(c);
        prev = end;
    }
    return Status::Ok();
}

Status WimFile::Open(const std::string& path) {
    if (!file_.Open(path)) return Status(Error::kOpen, "cannot open \"" + path + "\"");
    uint8_t raw[sizeof(disk::Header)];
    if (file_.size() < sizeof raw)
        return Status(Error::kTruncated, "file too small for a WIM header");
    if (!file_.ReadAt(0, raw, sizeof raw)) return Status(Error::kRead, "cannot read the header");
    Status s = ParseHeader(raw, sizeof raw, file_.size(), &header_);
    if (!s.ok()) return s;
    const ResourceSpec& bt = header_.blobTable;
    if (bt.flags & kResourceCompressed) return Status(Error::kUnsupported, "compressed blob table");
    if (bt.storedSize > kMaxInMemoryResource)
        return Status(Error::kBadResource, "blob table too large");
    std::string table(size_t(bt.storedSize), '\0');
    if (!table.empty() && !file_.ReadAt(bt.offset, &table[0], table.size()))
        return Status(Error::kRead, "cannot read the blob table");
    s = ParseBlobTable(reinterpret_cast<const uint8_t*>(table.data()), table.size(), file_.size(),
                       &blobs_, &metadata_, &groups_);
    if (!s.ok()) return s;
    for (size_t i = 0; i < blobs_.size(); ++i) index_.emplace(blobs_[i].hash, i);
    if (metadata_.size() < header_.imageCount)
        return Status(Error::kBadResource, "fewer metadata resources than images");
    return Status::Ok();
}

const Blob* WimFile::FindBlob(const Hash& hash) const {
    auto it = index_.find(hash);
    return it == index_.end() ? nullptr : &blobs_[it->second];
}

Status WimFile::ResourceChunks(const ResourceSpec& res, std::vector<ChunkExtent>* out) const {
    if (!WithinFile(res, file_.size()))
        return Status(Error::kTruncated, "resource lies past the end of the file");
    if (!(res.flags & kResourceCompressed)) {
        if (res.storedSize != res.originalSize)
            return Status(Error::kBadResource, "raw resource sizes differ");
        for (uint64_t done = 0; done < res.originalSize;) {
            uint64_t piece =
                res.originalSize - done < kRawPiece ? res.originalSize - done : kRawPiece;
            ChunkExtent c;
            c.fileOffset = res.offset + done;
            c.storedSize = c.originalSize = uint32_t(piece);
            out->push_back(c);
            done += piece;
        }
        return Status::Ok();
    }
    if (header_.compression == Compression::kNone)
        return Status(Error::kBadResource, "compressed resource in an uncompressed WIM");
    size_t tableSize = 0;
    Status s = ChunkTableSize(res, header_.chunkSize, &tableSize);
    if (!s.ok()) return s;
    std::string table(tableSize, '\0');
    if (tableSize && !file_.ReadAt(res.offset, &table[0], tableSize))
        return Status(Error::kRead, "cannot read a chunk table");
    return ParseChunkTable(res, header_.chunkSize, header_.compression,
                           reinterpret_cast<const uint8_t*>(table.data()), tableSize, out);
}

Status WimFile::SolidGroupChunks(int group, std::vector<ChunkExtent>* out) const {
    if (group < 0 || size_t(group) >= groups_.size())
        return Status(Error::kBadResource, "no such solid group");
    for (const ResourceSpec& r : groups_[size_t(group)].resources) {
        disk::SolidHeader sh;
        if (!file_.ReadAt(r.offset, &sh, sizeof sh))
            return Status(Error::kRead, "cannot read a solid resource header");
        uint64_t orig = sh.originalSize.Get();
        uint32_t chunkSize = sh.chunkSize.Get();
        uint32_t kindValue = sh.compression.Get();
        if (kindValue > 3)
            return Status(Error::kUnsupported, "unknown solid compression " + Num(kindValue));
        Compression kind = Compression(kindValue);
        if (chunkSize == 0 || !ChunkSizeSupported(kind, chunkSize))
            return Status(Error::kUnsupported, "unsupported solid chunk size " + Num(chunkSize));
        uint64_t n = (orig + chunkSize - 1) / chunkSize;
        uint64_t avail = r.storedSize - sizeof sh;
        if (n > avail / 4)
            return Status(Error::kBadResource, "solid chunk table larger than its resource");
        std::string sizes(size_t(n * 4), '\0');
        if (n && !file_.ReadAt(r.offset + sizeof sh, &sizes[0], sizes.size()))
            return Status(Error::kRead, "cannot read a solid chunk table");
        uint64_t pos = r.offset + sizeof sh + n * 4;
        uint64_t end = r.offset + r.storedSize;
        for (uint64_t i = 0; i < n; ++i) {
            uint32_t stored = LoadLe32(&sizes[size_t(i * 4)]);
            uint64_t o = i + 1 < n ? chunkSize : orig - (n - 1) * uint64_t(chunkSize);
            if (stored == 0 || stored > o || stored > end - pos)
                return Status(Error::kBadResource, "solid chunk sizes out of range");
            ChunkExtent c;
            c.fileOffset = pos;
            c.storedSize = stored;
            c.originalSize = uint32_t(o);
            c.kind = stored == o ? Compression::kNone : kind;
            c.chunkSize = chunkSize;
            out->push_back(c);
            pos += stored;
        }
    }
    return Status::Ok();
}

Status WimFile::ReadChunk(const ChunkExtent& c, Decompressor* d, std::string* out) const {
    out->resize(c.originalSize);
    if (c.kind == Compression::kNone) {
        if (c.storedSize != c.originalSize)
            return Status(Error::kBadResource, "raw chunk size mismatch");
        if (c.originalSize && !file_.ReadAt(c.fileOffset, &(*out)[0], c.originalSize))
            return Status(Error::kRead, "read failed at offset " + Num(c.fileOffset));
        return Status::Ok();
    }
    std::string in(c.storedSize, '\0');
    if (!file_.ReadAt(c.fileOffset, &in[0], in.size()))
        return Status(Error::kRead, "read failed at offset " + Num(c.fileOffset));
    if (!d || !d->Decompress(reinterpret_cast<const uint8_t*>(in.data()), in.size(),
                             reinterpret_cast<uint8_t*>(&(*out)[0]), out->size()))
        return Status(Error::kDecompress, "corrupt compressed data at offset " + Num(c.fileOffset));
    return Status::Ok();
}

Status WimFile::ReadRange(const std::vector<ChunkExtent>& chunks, uint64_t offset, uint64_t size,
                          std::string* out) const {
    out->clear();
    if (size > kMaxInMemoryResource)
        return Status(Error::kBadResource, "resource too large to read whole");
    out->reserve(size_t(size));
    std::unique_ptr<Decompressor> dec[4];
    uint32_t decChunk[4] = {0, 0, 0, 0};
    std::string chunk;
    uint64_t pos = 0;
    for (const ChunkExtent& c : chunks) {
        uint64_t cEnd = pos + c.originalSize;
        if (cEnd > offset && pos < offset + size) {
            Decompressor* d = nullptr;
            if (c.kind != Compression::kNone) {
                auto& slot = dec[int(c.kind)];
                if (!slot || decChunk[int(c.kind)] != c.chunkSize) {
                    slot = MakeDecompressor(c.kind, c.chunkSize);
                    decChunk[int(c.kind)] = c.chunkSize;
                }
                if (!slot)
                    return Status(Error::kUnsupported,
                                  std::string("cannot decode ") + CompressionName(c.kind));
                d = slot.get();
            }
            Status s = ReadChunk(c, d, &chunk);
            if (!s.ok()) return s;
            uint64_t from = offset > pos ? offset - pos : 0;
            uint64_t to = cEnd < offset + size ? c.originalSize : offset + size - pos;
            out->append(chunk, size_t(from), size_t(to - from));
        }
        pos = cEnd;
        if (pos >= offset + size) break;
    }
    if (out->size() != size) return Status(Error::kBadResource, "resource shorter than its size");
    return Status::Ok();
}

Status WimFile::ReadBlob(const Blob& blob, std::string* out, bool checkHash) const {
    std::vector<ChunkExtent> chunks;
    Status s = blob.solidGroup >= 0 ? SolidGroupChunks(blob.solidGroup, &chunks)
                                    : ResourceChunks(blob.resource, &chunks);
    if (!s.ok()) return s;
    s = ReadRange(chunks, blob.solidGroup >= 0 ? blob.solidOffset : 0, blob.size, out);
    if (!s.ok()) return s;
    if (checkHash && !IsZeroHash(blob.hash)) {
        Sha1 sha;
        sha.Update(out->data(), out->size());
        Hash h;
        sha.Final(h.data());
        if (h != blob.hash)
            return Status(Error::kHashMismatch,
                          "SHA-1 mismatch in blob " + HexOfHash(blob.hash.data()));
    }
    return Status::Ok();
}

Status WimFile::ReadXml(std::string* utf8) const {
    Blob b;
    b.resource = header_.xmlData;
    b.size = header_.xmlData.originalSize;
    std::string raw;
    Status s = ReadBlob(b, &raw, false);
    if (!s.ok()) return s;
    size_t skip = raw.size() >= 2 && uint8_t(raw[0]) == 0xFF && uint8_t(raw[1]) == 0xFE ? 2 : 0;
    *utf8 = Utf8FromUtf16Le(reinterpret_cast<const uint8_t*>(raw.data()) + skip, raw.size() - skip);
    return Status::Ok();
}

Status WimFile::CheckIntegrity(bool* present) const {
    *present = false;
    const ResourceSpec& r = header_.integrity;
    if (r.offset == 0 || r.originalSize == 0) return Status::Ok();
    *present = true;
    Blob b;
    b.resource = r;
    b.size = r.originalSize;
    std::string raw;
    Status s = ReadBlob(b, &raw, false);
    if (!s.ok()) return s;
    if (raw.size() < sizeof(disk::IntegrityHead))
        return Status(Error::kIntegrity, "integrity table too small");
    disk::IntegrityHead head;
    memcpy(&head, raw.data(), sizeof head);
    uint64_t count = head.entryCount.Get();
    uint64_t chunk = head.chunkSize.Get();
    if (chunk == 0 || count > (raw.size() - sizeof head) / 20)
        return Status(Error::kIntegrity, "integrity table is malformed");
    uint64_t start = sizeof(disk::Header);
    uint64_t end = header_.blobTable.offset + header_.blobTable.storedSize;
    if (end < start) return Status(Error::kIntegrity, "integrity table is malformed");
    uint64_t expect = (end - start + chunk - 1) / chunk;
    if (expect != count)
        return Status(Error::kIntegrity, "integrity table does not cover the file");
    if (chunk > (64u << 20)) return Status(Error::kIntegrity, "integrity chunk size out of range");
    std::string buf(size_t(chunk), '\0');
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t off = start + i * chunk;
        size_t len = size_t(end - off < chunk ? end - off : chunk);
        if (!file_.ReadAt(off, &buf[0], len))
            return Status(Error::kRead, "cannot read the file for the integrity check");
        Sha1 sha;
        sha.Update(buf.data(), len);
        uint8_t h[20];
        sha.Final(h);
        if (memcmp(h, raw.data() + sizeof head + i * 20, 20) != 0)
            return Status(Error::kIntegrity, "integrity check failed at offset " + Num(off));
    }
    return Status::Ok();
}

}  // namespace wim
