// Small WIM files written in the test, with exactly the entries, hard-link
// groups, short names, streams and blob order a case needs.
#pragma once

#include <string>
#include <vector>

#include "engines/wimformat/metadata.h"

namespace ntfstest {

wim::Hash HashOf(const std::string& data);

struct WimFixture {
    wim::ImageTree tree;             // entries[0] is the root; parents and children are set by Add
    std::vector<std::string> blobs;  // written in this order

    WimFixture();
    // Adds an entry below `parent` and returns its index.
    int Add(int parent, const std::string& name, uint32_t attributes);
    // Content for an entry's data or a named stream; the blob is stored once.
    wim::Hash Blob(const std::string& data);
    // Writes the WIM (one image, stored raw).
    bool Write(const std::string& path) const;
};

}  // namespace ntfstest
