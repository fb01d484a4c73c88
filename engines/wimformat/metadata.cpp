#include "engines/wimformat/metadata.h"

#include <cstring>
#include <set>

#include "engines/wimformat/utf.h"
#include "engines/wimformat/wim_disk.h"
#include "engines/wimformat/wim_file.h"

namespace wim {

namespace {

uint64_t Align8(uint64_t v) {
    return (v + 7) & ~uint64_t(7);
}

Status Bad(const std::string& what) {
    return Status(Error::kBadMetadata, "corrupt image metadata: " + what);
}

bool SafeName(const std::string& n) {
    if (n.empty() || n == "." || n == "..") return false;
    for (char c : n)
        if (c == '/' || c == '\\' || c == '\0') return false;
    return true;
}

// Reads one entry and its stream entries at `off`; `next` gets the offset
// after them. `end` is set when the list terminator was found instead.
Status ReadEntry(const uint8_t* data, size_t size, uint64_t off, DirEntryInfo* e, uint64_t* next,
                 bool* end) {
    *end = false;
    if (off > size || size - off < 8) return Bad("entry past the end");
    uint64_t length = LoadLe64(data + off);
    if (length <= 8) {
        *end = true;
        return Status::Ok();
    }
    if (length < sizeof(disk::DirEntry) || length > size - off)
        return Bad("entry length out of range");
    disk::DirEntry d;
    memcpy(&d, data + off, sizeof d);
    uint64_t nameBytes = d.nameBytes.Get();
    uint64_t shortBytes = d.shortNameBytes.Get();
    if ((nameBytes & 1) || (shortBytes & 1)) return Bad("odd name length");
    uint64_t need = sizeof d + nameBytes + (nameBytes ? 2 : 0) + shortBytes + (shortBytes ? 2 : 0);
    if (need > length) return Bad("names longer than their entry");
    const uint8_t* p = data + off + sizeof d;
    e->name = Utf8FromUtf16Le(p, size_t(nameBytes));
    p += nameBytes + (nameBytes ? 2 : 0);
    e->shortName = Utf8FromUtf16Le(p, size_t(shortBytes));
    e->attributes = d.attributes.Get();
    e->securityId = int32_t(d.securityId.Get());
    e->creationTime = d.creationTime.Get();
    e->lastAccessTime = d.lastAccessTime.Get();
    e->lastWriteTime = d.lastWriteTime.Get();
    memcpy(e->data.data(), d.hash, 20);
    if (e->attributes & kAttrReparsePoint) {
        e->reparseTag = d.reparseTag.Get();
        e->reparseFlags = d.reparseFlags.Get();
    } else {
        e->hardLinkGroup = uint64_t(d.reparseTag.Get()) |
                           (uint64_t(d.reparseReserved.Get()) << 32) |
                           (uint64_t(d.reparseFlags.Get()) << 48);
    }
    uint64_t pos = off + Align8(length);
    unsigned streams = d.streamCount.Get();
    for (unsigned i = 0; i < streams; ++i) {
        if (pos > size || size - pos < sizeof(disk::StreamEntry))
            return Bad("stream entry past the end");
        disk::StreamEntry s;
        memcpy(&s, data + pos, sizeof s);
        uint64_t slen = s.length.Get();
        uint64_t snb = s.nameBytes.Get();
        if (slen < sizeof s || slen > size - pos || (snb & 1) || sizeof s + snb > slen)
            return Bad("stream entry length out of range");
        NamedStream ns;
        ns.name = Utf8FromUtf16Le(data + pos + sizeof s, size_t(snb));
        memcpy(ns.hash.data(), s.hash, 20);
        if (ns.name.empty()) {
            // The unnamed stream written as a stream entry.
            if (IsZeroHash(e->data)) e->data = ns.hash;
        } else {
            for (char c : ns.name)
                if (c == '/' || c == '\\' || c == ':' || c == '\0') return Bad("bad stream name");
            e->streams.push_back(ns);
        }
        pos += Align8(slen);
    }
    *next = pos;
    return Status::Ok();
}

}  // namespace

Status ParseMetadata(const uint8_t* data, size_t size, ImageTree* out) {
    out->entries.clear();
    out->securityDescriptors.clear();
    if (size < sizeof(disk::SecurityHead)) return Bad("too small");
    disk::SecurityHead head;
    memcpy(&head, data, sizeof head);
    uint64_t total = head.totalLength.Get();
    uint64_t count = head.count.Get();
    if (total < 8) total = 8;
    if (total > size) return Bad("security data past the end");
    if (count > (total - 8) / 8) return Bad("too many security descriptors");
    uint64_t pos = 8 + count * 8;
    out->securityDescriptors.reserve(size_t(count));
    for (uint64_t i = 0; i < count; ++i) {
        uint64_t len = LoadLe64(data + 8 + i * 8);
        if (len > total - pos) return Bad("security descriptor past the end");
        out->securityDescriptors.emplace_back(reinterpret_cast<const char*>(data + pos),
                                              size_t(len));
        pos += len;
    }
    uint64_t rootOff = Align8(total);
    DirEntryInfo root;
    uint64_t next = 0;
    bool end = false;
    Status s = ReadEntry(data, size, rootOff, &root, &next, &end);
    if (!s.ok()) return s;
    if (end) return Bad("no root directory");
    root.name.clear();
    uint64_t rootSub = LoadLe64(data + rootOff + 0x10);
    out->entries.push_back(std::move(root));
    // Directories still to read: (entry index, children list offset).
    std::vector<std::pair<int, uint64_t>> work;
    std::set<uint64_t> seen;
    if (rootSub) work.emplace_back(0, rootSub);
    while (!work.empty()) {
        auto [parent, listOff] = work.back();
        work.pop_back();
        if (!seen.insert(listOff).second) return Bad("directory loop");
        uint64_t off = listOff;
        for (;;) {
            DirEntryInfo e;
            s = ReadEntry(data, size, off, &e, &next, &end);
            if (!s.ok()) return s;
            if (end) break;
            if (!SafeName(e.name)) return Bad("unsafe file name \"" + e.name + "\"");
            uint64_t sub = LoadLe64(data + off + 0x10);
            e.parent = parent;
            int idx = int(out->entries.size());
            bool dir = e.IsDirectory();
            out->entries.push_back(std::move(e));
            out->entries[size_t(parent)].children.push_back(idx);
            if (dir && sub) work.emplace_back(idx, sub);
            off = next;
        }
    }
    return Status::Ok();
}

Status ReadImageTree(const WimFile& wim, unsigned image, ImageTree* out) {
    if (image == 0 || image > wim.metadata().size())
        return Status(Error::kImageIndex, "no image " + std::to_string(image));
    std::string raw;
    Status s = wim.ReadBlob(wim.metadata()[image - 1], &raw);
    if (!s.ok()) return s;
    return ParseMetadata(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), out);
}

}  // namespace wim
