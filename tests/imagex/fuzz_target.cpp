// One fuzz input: the first byte picks the parser or decoder, the rest is its input.
// Built into the mutation driver of the tests, and usable with libFuzzer
// (clang++ -fsanitize=fuzzer,address,undefined) as LLVMFuzzerTestOneInput.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engines/wimformat/decompress.h"
#include "engines/wimformat/metadata.h"
#include "engines/wimformat/wim_file.h"
#include "engines/wimformat/xml_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t kind = data[0] % 7;
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
