// The ISO reader on untrusted disc images: the first byte picks the names to read
// (automatic, ISO 9660, Joliet, Rock Ridge, UDF), the rest is the image. Every file
// of a tree that reads is copied out, and every name must be one the extractor may
// create.
#include <cstdlib>
#include <string>

#include "engines/isotool/iso_image.h"
#include "tests/fuzz/fuzz_target.h"

SB_FUZZ_TARGET(iso_image) {
    if (size < 1) return;
    static const isotool::NameSource kNames[] = {
        isotool::NameSource::Auto, isotool::NameSource::Iso9660, isotool::NameSource::Joliet,
        isotool::NameSource::RockRidge, isotool::NameSource::Udf};
    // Read in place: copying up to half a megabyte per input was the target's largest cost.
    isotool::MemorySource image(data + 1, size - 1);
    isotool::IsoTree tree;
    std::string error;
    if (!isotool::ReadIsoTree(image, kNames[data[0] % 5], tree, error)) return;
    uint64_t copied = 0;
    for (const isotool::IsoEntry& e : tree.entries) {
        // A path the reader hands out never climbs out of the destination.
        size_t start = 0;
        while (start <= e.path.size()) {
            size_t end = e.path.find('/', start);
            if (end == std::string::npos) end = e.path.size();
            if (!isotool::IsSafeComponent(e.path.substr(start, end - start))) abort();
            start = end + 1;
        }
        if (e.isDirectory || copied > (64u << 20)) continue;
        isotool::CopyFileBytes(image, e, [&](const char*, size_t n) {
            copied += n;
            return copied <= (64u << 20);
        });
    }
}
