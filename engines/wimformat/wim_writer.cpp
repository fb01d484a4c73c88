#include "engines/wimformat/wim_writer.h"

#include <chrono>
#include <cstring>
#include <random>

#include "engines/wimformat/sha1.h"
#include "engines/wimformat/utf.h"
#include "engines/wimformat/wim_disk.h"

namespace wim {

namespace {

uint64_t Align8(uint64_t v) {
    return (v + 7) & ~uint64_t(7);
}

void SetSpec(disk::ResourceHeader* h, const ResourceSpec& r) {
    for (int i = 0; i < 7; ++i) h->sizeInWim[i] = uint8_t(r.storedSize >> (8 * i));
    h->flags = r.flags;
    h->offset.Set(r.offset);
    h->originalSize.Set(r.originalSize);
}

size_t EntrySize(const DirEntryInfo& e) {
    size_t name = Utf16LeFromUtf8(e.name).size();
    size_t shortName = Utf16LeFromUtf8(e.shortName).size();
    size_t size =
        Align8(sizeof(disk::DirEntry) + name + (name ? 2 : 0) + shortName + (shortName ? 2 : 0));
    for (const NamedStream& s : e.streams) {
        size_t n = Utf16LeFromUtf8(s.name).size();
        size += Align8(sizeof(disk::StreamEntry) + n + (n ? 2 : 0));
    }
    return size;
}

void PutEntry(const DirEntryInfo& e, uint64_t subdirOffset, std::string* out) {
    std::string name = Utf16LeFromUtf8(e.name);
    std::string shortName = Utf16LeFromUtf8(e.shortName);
    size_t fixedLength = Align8(sizeof(disk::DirEntry) + name.size() + (name.empty() ? 0 : 2) +
                                shortName.size() + (shortName.empty() ? 0 : 2));
    disk::DirEntry d;
    memset(&d, 0, sizeof d);
    d.length.Set(fixedLength);
    d.attributes.Set(e.attributes);
    d.securityId.Set(uint32_t(e.securityId));
    d.subdirOffset.Set(subdirOffset);
    d.creationTime.Set(e.creationTime);
    d.lastAccessTime.Set(e.lastAccessTime);
    d.lastWriteTime.Set(e.lastWriteTime);
    memcpy(d.hash, e.data.data(), 20);
    if (e.attributes & kAttrReparsePoint) {
        d.reparseTag.Set(e.reparseTag);
        d.reparseFlags.Set(e.reparseFlags);
    } else {
        d.reparseTag.Set(uint32_t(e.hardLinkGroup));
        d.reparseReserved.Set(uint16_t(e.hardLinkGroup >> 32));
        d.reparseFlags.Set(uint16_t(e.hardLinkGroup >> 48));
    }
    d.streamCount.Set(uint16_t(e.streams.size()));
    d.shortNameBytes.Set(uint16_t(shortName.size()));
    d.nameBytes.Set(uint16_t(name.size()));
    size_t start = out->size();
    out->append(reinterpret_cast<const char*>(&d), sizeof d);
    if (!name.empty()) out->append(name).append(2, '\0');
    if (!shortName.empty()) out->append(shortName).append(2, '\0');
    out->resize(start + fixedLength, '\0');
    for (const NamedStream& s : e.streams) {
        std::string sn = Utf16LeFromUtf8(s.name);
        size_t len = Align8(sizeof(disk::StreamEntry) + sn.size() + (sn.empty() ? 0 : 2));
        disk::StreamEntry se;
        memset(&se, 0, sizeof se);
        se.length.Set(len);
        memcpy(se.hash, s.hash.data(), 20);
        se.nameBytes.Set(uint16_t(sn.size()));
        size_t at = out->size();
        out->append(reinterpret_cast<const char*>(&se), sizeof se);
        if (!sn.empty()) out->append(sn).append(2, '\0');
        out->resize(at + len, '\0');
    }
}

}  // namespace

std::string SerializeMetadata(const ImageTree& tree) {
    std::string out;
    // Security data: head, sizes, descriptors, padded to 8.
    uint64_t total = 8 + 8 * tree.securityDescriptors.size();
    for (const std::string& sd : tree.securityDescriptors) total += sd.size();
    out.resize(8);
    StoreLe32(&out[0], uint32_t(total));
    StoreLe32(&out[4], uint32_t(tree.securityDescriptors.size()));
    for (const std::string& sd : tree.securityDescriptors) {
        char b[8];
        StoreLe64(b, sd.size());
        out.append(b, 8);
    }
    for (const std::string& sd : tree.securityDescriptors) out += sd;
    out.resize(size_t(Align8(out.size())), '\0');

    // Directories in breadth-first order, each with its list of children
    // ended by an 8-byte zero; the root entry stands alone before them.
    const auto& entries = tree.entries;
    std::vector<size_t> sizes(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) sizes[i] = EntrySize(entries[i]);
    std::vector<size_t> order{0};
    for (size_t k = 0; k < order.size(); ++k)
        for (int c : entries[order[k]].children)
            if (entries[size_t(c)].IsDirectory() && !entries[size_t(c)].IsReparsePoint())
                order.push_back(size_t(c));
    std::vector<uint64_t> listOffset(entries.size(), 0);
    uint64_t cursor = out.size() + sizes[0] + 8;
    for (size_t d : order) {
        listOffset[d] = cursor;
        for (int c : entries[d].children) cursor += sizes[size_t(c)];
        cursor += 8;
    }
    out.reserve(size_t(cursor));
    PutEntry(entries[0], listOffset[0], &out);
    out.append(8, '\0');
    for (size_t d : order) {
        for (int c : entries[d].children) PutEntry(entries[size_t(c)], listOffset[size_t(c)], &out);
        out.append(8, '\0');
    }
    return out;
}

Status WimWriter::WriteFailed() {
    return Status(Error::kWrite, "cannot write \"" + path_ + "\": " + file_.errorText());
}

Status WimWriter::Create(const std::string& path, Compression kind) {
    path_ = path;
    kind_ = kind;
    if (!file_.Create(path))
        return Status(Error::kWrite, "cannot create \"" + path + "\": " + file_.errorText());
    disk::Header blank;
    memset(&blank, 0, sizeof blank);
    if (!file_.Append(&blank, sizeof blank)) return WriteFailed();
    return Status::Ok();
}

Status WimWriter::BeginResource(uint64_t originalSize) {
    resStart_ = file_.position();
    resOriginal_ = originalSize;
    resChunks_ = (originalSize + kWriteChunkSize - 1) / kWriteChunkSize;
    resDone_ = 0;
    chunkEnds_.clear();
    table_.clear();
    if (kind_ != Compression::kNone && resChunks_ > 1) {
        tableEntry_ = originalSize > 0xFFFFFFFFULL ? 8 : 4;
        table_.assign(size_t((resChunks_ - 1) * tableEntry_), '\0');
        if (!file_.Append(table_.data(), table_.size())) return WriteFailed();
    }
    return Status::Ok();
}

Status WimWriter::AddChunk(const uint8_t* data, size_t stored, size_t original) {
    if (!file_.Append(data, stored)) return WriteFailed();
    resDone_ += original;
    uint64_t dataStart = resStart_ + table_.size();
    chunkEnds_.push_back(file_.position() - dataStart);
    return Status::Ok();
}

Status WimWriter::EndResource(ResourceSpec* spec) {
    if (resDone_ != resOriginal_ || chunkEnds_.size() != resChunks_)
        return Status(Error::kWrite, "internal error: resource incomplete");
    ResourceSpec r;
    r.offset = resStart_;
    r.originalSize = resOriginal_;
    r.storedSize = file_.position() - resStart_;
    r.flags = 0;
    if (kind_ != Compression::kNone) {
        for (size_t i = 0; i + 1 < chunkEnds_.size(); ++i) {
            if (tableEntry_ == 8)
                StoreLe64(&table_[i * 8], chunkEnds_[i]);
            else
                StoreLe32(&table_[i * 4], uint32_t(chunkEnds_[i]));
        }
        if (!table_.empty() && !file_.WriteAt(resStart_, table_.data(), table_.size()))
            return WriteFailed();
        // A single chunk stored raw is simply an uncompressed resource.
        if (r.storedSize != r.originalSize || resChunks_ > 1) r.flags |= kResourceCompressed;
    }
    *spec = r;
    return Status::Ok();
}

Status WimWriter::DropResource() {
    if (!file_.Truncate(resStart_)) return WriteFailed();
    return Status::Ok();
}

Status WimWriter::WriteResource(const std::string& data, Compressor* compressor,
                                ResourceSpec* spec) {
    Status s = BeginResource(data.size());
    std::vector<uint8_t> out(kWriteChunkSize);
    for (size_t at = 0; s.ok() && at < data.size(); at += kWriteChunkSize) {
        size_t n = std::min<size_t>(kWriteChunkSize, data.size() - at);
        const uint8_t* in = reinterpret_cast<const uint8_t*>(data.data()) + at;
        size_t c =
            compressor && kind_ != Compression::kNone ? compressor->Compress(in, n, out.data()) : 0;
        s = c ? AddChunk(out.data(), c, n) : AddChunk(in, n, n);
    }
    if (s.ok()) s = EndResource(spec);
    return s;
}

void WimWriter::AddBlob(const Hash& hash, const ResourceSpec& spec, uint32_t refCount) {
    disk::BlobEntry e;
    memset(&e, 0, sizeof e);
    SetSpec(&e.resource, spec);
    e.partNumber.Set(1);
    e.refCount.Set(refCount);
    memcpy(e.hash, hash.data(), 20);
    blobTable_.append(reinterpret_cast<const char*>(&e), sizeof e);
}

void WimWriter::SetMetadata(const ResourceSpec& spec, const Hash& hash) {
    ResourceSpec m = spec;
    m.flags |= kResourceMetadata;
    AddBlob(hash, m, 1);
    haveMetadata_ = true;
}

// Hashes the file from the end of the header to `end` in pieces of
// kIntegrityChunk and appends the table as a raw resource.
Status WimWriter::AppendIntegrityTable(uint64_t end, ResourceSpec* spec) {
    const uint64_t start = sizeof(disk::Header);
    const uint64_t count = (end - start + kIntegrityChunk - 1) / kIntegrityChunk;
    std::string table(sizeof(disk::IntegrityHead), '\0');
    disk::IntegrityHead head;
    head.totalSize.Set(uint32_t(sizeof head + count * 20));
    head.entryCount.Set(uint32_t(count));
    head.chunkSize.Set(kIntegrityChunk);
    memcpy(&table[0], &head, sizeof head);
    std::vector<uint8_t> piece(kIntegrityChunk);
    for (uint64_t at = start; at < end; at += kIntegrityChunk) {
        size_t n = size_t(std::min<uint64_t>(kIntegrityChunk, end - at));
        if (!file_.ReadBack(at, piece.data(), n)) return WriteFailed();
        Sha1 sha;
        sha.Update(piece.data(), n);
        uint8_t hash[20];
        sha.Final(hash);
        table.append(reinterpret_cast<const char*>(hash), 20);
    }
    spec->offset = file_.position();
    spec->storedSize = spec->originalSize = table.size();
    spec->flags = 0;
    if (!file_.Append(table.data(), table.size())) return WriteFailed();
    return Status::Ok();
}

Status WimWriter::Finish(const std::string& xmlUtf8, bool integrity) {
    if (!haveMetadata_) return Status(Error::kWrite, "internal error: no image metadata");
    ResourceSpec table;
    table.offset = file_.position();
    table.storedSize = table.originalSize = blobTable_.size();
    if (!file_.Append(blobTable_.data(), blobTable_.size())) return WriteFailed();
    std::string xml = "\xFF\xFE" + Utf16LeFromUtf8(xmlUtf8);
    ResourceSpec xmlSpec;
    xmlSpec.offset = file_.position();
    xmlSpec.storedSize = xmlSpec.originalSize = xml.size();
    if (!file_.Append(xml.data(), xml.size())) return WriteFailed();
    ResourceSpec integritySpec;
    if (integrity) {
        Status s = AppendIntegrityTable(table.offset + table.storedSize, &integritySpec);
        if (!s.ok()) return s;
    }

    disk::Header h;
    memset(&h, 0, sizeof h);
    memcpy(h.magic, disk::kMagic, 8);
    h.headerSize.Set(sizeof h);
    h.version.Set(kWimVersionDefault);
    uint32_t flags = 0;
    if (kind_ == Compression::kXpress) flags = kHeaderCompressed | kHeaderXpress;
    if (kind_ == Compression::kLzx) flags = kHeaderCompressed | kHeaderLzx;
    h.flags.Set(flags);
    h.chunkSize.Set(kind_ == Compression::kNone ? 0 : kWriteChunkSize);
    std::random_device rd;
    std::mt19937_64 rng(uint64_t(rd()) ^
                        uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int i = 0; i < 16; i += 8) StoreLe64(h.guid + i, rng());
    h.partNumber.Set(1);
    h.totalParts.Set(1);
    h.imageCount.Set(1);
    SetSpec(&h.blobTable, table);
    SetSpec(&h.xmlData, xmlSpec);
    if (integrity) SetSpec(&h.integrity, integritySpec);
    h.bootIndex.Set(0);
    if (!file_.WriteAt(0, &h, sizeof h) || !file_.Close()) return WriteFailed();
    return Status::Ok();
}

}  // namespace wim
