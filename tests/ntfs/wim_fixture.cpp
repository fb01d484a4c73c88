#include "tests/ntfs/wim_fixture.h"

#include <algorithm>

#include "engines/wimformat/sha1.h"
#include "engines/wimformat/wim_writer.h"

namespace ntfstest {

wim::Hash HashOf(const std::string& data) {
    wim::Sha1 sha;
    sha.Update(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    wim::Hash h;
    sha.Final(h.data());
    return h;
}

WimFixture::WimFixture() {
    tree.entries.emplace_back();
    tree.entries[0].attributes = 0x10;
}

int WimFixture::Add(int parent, const std::string& name, uint32_t attributes) {
    wim::DirEntryInfo e;
    e.name = name;
    e.attributes = attributes;
    e.parent = parent;
    e.creationTime = 130000000000000000ULL + tree.entries.size();
    e.lastAccessTime = e.creationTime + 1;
    e.lastWriteTime = e.creationTime + 2;
    tree.entries.push_back(e);
    int index = int(tree.entries.size() - 1);
    tree.entries[size_t(parent)].children.push_back(index);
    return index;
}

wim::Hash WimFixture::Blob(const std::string& data) {
    if (std::find(blobs.begin(), blobs.end(), data) == blobs.end()) blobs.push_back(data);
    return HashOf(data);
}

bool WimFixture::Write(const std::string& path) const {
    wim::WimWriter w;
    if (!w.Create(path, wim::Compression::kNone).ok()) return false;
    for (const std::string& b : blobs) {
        wim::ResourceSpec spec;
        if (!w.WriteResource(b, nullptr, &spec).ok()) return false;
        w.AddBlob(HashOf(b), spec, 1);
    }
    std::string meta = wim::SerializeMetadata(tree);
    wim::ResourceSpec spec;
    if (!w.WriteResource(meta, nullptr, &spec).ok()) return false;
    w.SetMetadata(spec, HashOf(meta));
    return w.Finish("<WIM><IMAGE INDEX=\"1\"><NAME>test</NAME></IMAGE></WIM>").ok();
}

}  // namespace ntfstest
