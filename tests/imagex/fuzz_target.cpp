// One fuzz input: the first byte picks the parser, decoder or writer check, the
// rest is its input. The writer checks abort when what was written does not
// read back.
// Built into the mutation driver of the tests, and usable with libFuzzer
// (clang++ -fsanitize=fuzzer,address,undefined) as LLVMFuzzerTestOneInput.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <cstdlib>
#include <cstring>

#include "engines/wimformat/compress.h"
#include "engines/wimformat/decompress.h"
#include "engines/wimformat/metadata.h"
#include "engines/wimformat/wim_disk.h"
#include "engines/wimformat/wim_writer.h"
#include "engines/wimformat/wim_file.h"
#include "engines/wimformat/xml_info.h"

namespace {

// A tree made from the input bytes: folders, files, reparse points, named
// streams and odd names; written as metadata it must parse back whole.
void TreeRoundTrip(const uint8_t* in, size_t n) {
    wim::ImageTree t;
    wim::DirEntryInfo root;
    root.attributes = wim::kAttrDirectory;
    t.entries.push_back(root);
    std::vector<int> dirs{0};
    size_t p = 0;
    auto next = [&]() -> uint8_t { return p < n ? in[p++] : 0; };
    while (p + 4 <= n && t.entries.size() < 300) {
        wim::DirEntryInfo e;
        int parent = dirs[next() % dirs.size()];
        uint8_t kind = next();
        e.attributes = kind % 3 == 0   ? wim::kAttrDirectory
                       : kind % 3 == 1 ? wim::kAttrArchive
                                       : wim::kAttrReparsePoint;
        unsigned len = 1 + next() % 24;
        for (unsigned k = 0; k < len; ++k) {
            uint8_t c = next();
            e.name += c % 7 == 0 ? std::string(u8"名") : std::string(1, char('a' + c % 26));
        }
        e.name += std::to_string(t.entries.size());  // names unique in their folder
        e.data.fill(next());
        e.hardLinkGroup = kind % 3 == 1 ? next() : 0;
        e.reparseTag = kind % 3 == 2 ? wim::kReparseTagSymlink : 0;
        for (unsigned k = next() % 3; k > 0; --k)
            e.streams.push_back({"s" + std::to_string(k), {}});
        e.parent = parent;
        t.entries[size_t(parent)].children.push_back(int(t.entries.size()));
        if (e.attributes == wim::kAttrDirectory) dirs.push_back(int(t.entries.size()));
        t.entries.push_back(e);
    }
    std::string raw = wim::SerializeMetadata(t);
    wim::ImageTree back;
    if (!wim::ParseMetadata(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), &back).ok() ||
        back.entries.size() != t.entries.size())
        abort();
}

// Any chunk the encoders shrink must decode to itself.
void CodecRoundTrip(const uint8_t* in, size_t n, bool lzx) {
    if (n > 8192) n = 8192;  // keeps the bounded run short
    // One encoder per kind for the whole run, as each capture worker keeps one
    // for all its chunks (and because making one clears large tables).
    static const auto xpress = wim::MakeCompressor(wim::Compression::kXpress, 32768);
    static const auto lzxEncoder = wim::MakeCompressor(wim::Compression::kLzx, 32768);
    wim::Compression kind = lzx ? wim::Compression::kLzx : wim::Compression::kXpress;
    wim::Compressor* c = lzx ? lzxEncoder.get() : xpress.get();
    auto d = wim::MakeDecompressor(kind, 32768);
    std::vector<uint8_t> out(32768), back(n);
    size_t m = c->Compress(in, n, out.data());
    if (m >= n && n) abort();
    if (m && (!d->Decompress(out.data(), m, back.data(), n) || memcmp(back.data(), in, n) != 0))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
#ifdef SB_FUZZ_READERS_ONLY
    // The campaigns fuzz what reads untrusted files: kinds 0 to 6. The writer
    // checks (7 to 9) cost far more per input and stay in the bounded run.
    uint8_t kind = data[0] % 7;
#else
    uint8_t kind = data[0] % 10;
#endif
    const uint8_t* in = data + 1;
    size_t n = size - 1;
    switch (kind) {
        case 0: {  // header followed by a blob table
            wim::WimHeaderInfo h;
            if (wim::ParseHeader(in, n, n, &h).ok() && n > 208) {
                std::vector<wim::Blob> blobs, meta;
                std::vector<wim::SolidGroup> groups;
                wim::ParseBlobTable(in + 208, n - 208, n, &blobs, &meta, &groups);
            }
            break;
        }
        case 1: {
            wim::ImageTree tree;
            wim::ParseMetadata(in, n, &tree);
            break;
        }
        case 2: {
            std::unique_ptr<wim::XmlElement> root;
            if (wim::ParseXml(std::string(reinterpret_cast<const char*>(in), n), &root).ok())
                wim::FormatXml(*root);
            break;
        }
        case 7:
            TreeRoundTrip(in, n);
            break;
        case 8:
        case 9:
            CodecRoundTrip(in, n, kind == 9);
            break;
        default: {  // decoders: two bytes of output size, then the chunk
            if (n < 2) return 0;
            size_t outSize = (size_t(in[0]) | (size_t(in[1]) << 8)) + 1;
            static const wim::Compression kinds[] = {
                wim::Compression::kXpress, wim::Compression::kLzx, wim::Compression::kLzms,
                wim::Compression::kLzx};
            wim::Compression c = kinds[kind - 3];
            uint32_t chunk = c == wim::Compression::kXpress ? 65536 : kind == 6 ? 1u << 21 : 32768;
            if (c == wim::Compression::kLzx && kind == 4) outSize = outSize % 32768 + 1;
            auto d = wim::MakeDecompressor(c, chunk);
            std::vector<uint8_t> out(outSize);
            if (d) d->Decompress(in + 2, n - 2, out.data(), out.size());
            break;
        }
    }
    return 0;
}
