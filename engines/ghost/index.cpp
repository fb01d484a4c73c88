#include "engines/ghost/entry.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

#include "common/cmdline.h"
#include "engines/ghost/format.h"

namespace ghost {

namespace {

class Writer {
  public:
    void U8(uint8_t v) { out.push_back(v); }
    void U32(uint32_t v) {
        uint8_t b[4];
        StoreLe32(b, v);
        out.insert(out.end(), b, b + 4);
    }
    void U64(uint64_t v) {
        uint8_t b[8];
        StoreLe64(b, v);
        out.insert(out.end(), b, b + 8);
    }
    void Bytes(const void* p, size_t n) {
        U32(uint32_t(n));
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void Str(const std::string& s) { Bytes(s.data(), s.size()); }
    std::vector<uint8_t> out;
};

class Reader {
  public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool U8(uint8_t* v) {
        if (n_ - pos_ < 1) return false;
        *v = p_[pos_++];
        return true;
    }
    bool U32(uint32_t* v) {
        if (n_ - pos_ < 4) return false;
        *v = LoadLe32(p_ + pos_);
        pos_ += 4;
        return true;
    }
    bool U64(uint64_t* v) {
        if (n_ - pos_ < 8) return false;
        *v = LoadLe64(p_ + pos_);
        pos_ += 8;
        return true;
    }
    bool I64(int64_t* v) {
        uint64_t u;
        if (!U64(&u)) return false;
        *v = int64_t(u);
        return true;
    }
    bool Str(std::string* s) {
        uint32_t len;
        if (!U32(&len) || len > n_ - pos_) return false;
        s->assign(reinterpret_cast<const char*>(p_ + pos_), len);
        pos_ += len;
        return true;
    }
    bool Blob(std::vector<uint8_t>* b) {
        uint32_t len;
        if (!U32(&len) || len > n_ - pos_) return false;
        b->assign(p_ + pos_, p_ + pos_ + len);
        pos_ += len;
        return true;
    }
    size_t Remaining() const { return n_ - pos_; }

  private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};

// Entry paths come from the image: refuse anything that could leave the target.
bool SafeRelativePath(const std::string& path) {
    if (path.empty() || path.size() > 32767) return false;
    if (path.front() == '/' || path.back() == '/') return false;
    if (path.find('\\') != std::string::npos || path.find(':') != std::string::npos) return false;
    if (path.find('\0') != std::string::npos) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

bool RangeInside(uint64_t offset, uint64_t size, uint64_t total) {
    return offset <= total && size <= total - offset;
}

}  // namespace

bool IsExcludedRootFile(const std::string& name) {
    return engine::EqualsNoCase(name, "pagefile.sys") ||
           engine::EqualsNoCase(name, "hiberfil.sys") || engine::EqualsNoCase(name, "swapfile.sys");
}

// The serialized size, so that the buffer of a large index is allocated once
// rather than grown by doubling (which briefly holds two copies of it).
static size_t SerializedSize(const ImageIndex& index) {
    size_t n = 24 + index.chunks.size() * 20;
    for (const Entry& e : index.entries) {
        n += 1 + 4 + e.path.size() + 16 + 40 + 4 + 4 + e.symlinkTarget.size() + 4 +
             e.security.size() + 4 + e.reparse.size() + 4 + 4 + e.shortName.size();
        for (const ExtraStream& s : e.streams) n += 1 + 4 + s.name.size() + 16;
    }
    return n;
}

std::vector<uint8_t> SerializeIndex(const ImageIndex& index) {
    Writer w;
    w.out.reserve(SerializedSize(index));
    w.U32(kIndexMagic);
    w.U32(kFormatVersion);
    w.U64(index.chunks.size());
    w.U64(index.entries.size());
    for (const ChunkLocation& c : index.chunks) {
        w.U32(c.span);
        w.U64(c.offset);
        w.U32(c.storedSize);
        w.U32(c.rawSize);
    }
    for (const Entry& e : index.entries) {
        w.U8(uint8_t(e.type));
        w.Str(e.path);
        w.U32(e.attributes);
        w.U32(e.mode);
        w.U32(e.uid);
        w.U32(e.gid);
        w.U64(uint64_t(e.createNs));
        w.U64(uint64_t(e.accessNs));
        w.U64(uint64_t(e.writeNs));
        w.U64(e.dataOffset);
        w.U64(e.dataSize);
        w.U32(e.linkTarget);
        w.Str(e.symlinkTarget);
        w.Bytes(e.security.data(), e.security.size());
        w.Bytes(e.reparse.data(), e.reparse.size());
        w.U32(uint32_t(e.streams.size()));
        for (const ExtraStream& s : e.streams) {
            w.U8(uint8_t(s.kind));
            w.Str(s.name);
            w.U64(s.offset);
            w.U64(s.size);
        }
        w.Str(e.shortName);
    }
    return std::move(w.out);
}

Status ParseIndex(const uint8_t* data, size_t size, uint32_t expectedChunks, uint64_t dataRawSize,
                  uint32_t spanCount, ImageIndex* index) {
    const Status bad = Fail(kErrCorrupt, u8"映像索引已损坏。");
    Reader r(data, size);
    uint32_t magic, version;
    uint64_t chunkCount, entryCount;
    if (!r.U32(&magic) || magic != kIndexMagic || !r.U32(&version) ||
        version < kOldestFormatVersion || version > kFormatVersion || !r.U64(&chunkCount) ||
        !r.U64(&entryCount)) {
        return bad;
    }
    // Each chunk record takes 20 bytes and each entry at least 80: both counts are
    // bounded by the buffer before anything is reserved.
    if (chunkCount != expectedChunks || chunkCount > r.Remaining() / 20) return bad;
    if (entryCount > r.Remaining() / 80) return bad;
    index->chunks.resize(size_t(chunkCount));
    uint64_t rawTotal = 0;
    for (ChunkLocation& c : index->chunks) {
        if (!r.U32(&c.span) || !r.U64(&c.offset) || !r.U32(&c.storedSize) || !r.U32(&c.rawSize)) {
            return bad;
        }
        if (c.span >= spanCount || c.storedSize > kMaxStoredChunk || c.rawSize > kChunkSize ||
            c.rawSize == 0) {
            return bad;
        }
        rawTotal += c.rawSize;
    }
    if (rawTotal != dataRawSize) return bad;
    index->entries.resize(size_t(entryCount));
    for (size_t i = 0; i < index->entries.size(); ++i) {
        Entry& e = index->entries[i];
        uint8_t type;
        uint32_t streams;
        if (!r.U8(&type) || !r.Str(&e.path) || !r.U32(&e.attributes) || !r.U32(&e.mode) ||
            !r.U32(&e.uid) || !r.U32(&e.gid) || !r.I64(&e.createNs) || !r.I64(&e.accessNs) ||
            !r.I64(&e.writeNs) || !r.U64(&e.dataOffset) || !r.U64(&e.dataSize) ||
            !r.U32(&e.linkTarget) || !r.Str(&e.symlinkTarget) || !r.Blob(&e.security) ||
            !r.Blob(&e.reparse) || !r.U32(&streams)) {
            return bad;
        }
        if (type < 1 || type > 5 || !SafeRelativePath(e.path)) return bad;
        e.type = EntryType(type);
        if (!RangeInside(e.dataOffset, e.dataSize, dataRawSize)) return bad;
        if (e.type == EntryType::kHardLink &&
            (e.linkTarget >= i || index->entries[e.linkTarget].type != EntryType::kFile)) {
            return bad;
        }
        if (streams > r.Remaining() / 21) return bad;
        e.streams.resize(streams);
        for (ExtraStream& s : e.streams) {
            uint8_t kind;
            if (!r.U8(&kind) || !r.Str(&s.name) || !r.U64(&s.offset) || !r.U64(&s.size)) {
                return bad;
            }
            if (kind < 1 || kind > 2 || s.name.empty() || s.name.find('\0') != std::string::npos ||
                s.name.find('/') != std::string::npos || s.name.find('\\') != std::string::npos ||
                (kind == 1 && s.name.find(':') != std::string::npos) ||
                !RangeInside(s.offset, s.size, dataRawSize)) {
                return bad;
            }
            s.kind = StreamKind(kind);
        }
        if (version >= 2) {
            if (!r.Str(&e.shortName) || e.shortName.size() > 36 ||
                e.shortName.find_first_of(std::string("/\\:\0", 4)) != std::string::npos)
                return bad;
        }
    }
    if (r.Remaining() != 0) return bad;
    // A child must follow its parent directory and every path must be unique, so a
    // restore can create entries in order without ever replacing one.
    // Views of the entries' own paths: the entries stay where they are meanwhile.
    std::unordered_set<std::string_view> seen, dirs;
    seen.reserve(index->entries.size());
    for (const Entry& e : index->entries) {
        size_t slash = e.path.rfind('/');
        if (slash != std::string::npos && !dirs.count(std::string_view(e.path).substr(0, slash)))
            return bad;
        if (!seen.insert(e.path).second) return bad;
        if (e.type == EntryType::kDirectory) dirs.insert(e.path);
    }
    return Ok();
}

}  // namespace ghost
