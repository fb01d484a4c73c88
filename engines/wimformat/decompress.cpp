#include "engines/wimformat/decompress.h"

#include "engines/wimformat/lzms.h"
#include "engines/wimformat/lzx.h"

namespace wim {

const char* CompressionName(Compression c) {
    switch (c) {
        case Compression::kNone:
            return "None";
        case Compression::kXpress:
            return "XPRESS";
        case Compression::kLzx:
            return "LZX";
        case Compression::kLzms:
            return "LZMS";
    }
    return "?";
}

namespace {

class XpressDecompressor : public Decompressor {
  public:
    bool Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        return DecompressXpress(in, inSize, out, outSize);
    }
};

}  // namespace

bool ChunkSizeSupported(Compression kind, uint32_t chunkSize) {
    bool pow2 = chunkSize && (chunkSize & (chunkSize - 1)) == 0;
    switch (kind) {
        case Compression::kNone:
            return true;
        case Compression::kXpress:
            return pow2 && chunkSize >= 4096 && chunkSize <= 65536;
        case Compression::kLzx:
            return pow2 && chunkSize >= 32768 && chunkSize <= 2097152;
        case Compression::kLzms:
            return chunkSize >= 4096 && chunkSize <= (1u << 30);
    }
    return false;
}

std::unique_ptr<Decompressor> MakeDecompressor(Compression kind, uint32_t chunkSize) {
    if (!ChunkSizeSupported(kind, chunkSize)) return nullptr;
    switch (kind) {
        case Compression::kXpress:
            return std::make_unique<XpressDecompressor>();
        case Compression::kLzx: {
            auto d = std::make_unique<LzxDecoder>();
            if (!d->Init(chunkSize)) return nullptr;
            return d;
        }
        case Compression::kLzms:
            return std::make_unique<LzmsDecoder>();
        default:
            return nullptr;
    }
}

}  // namespace wim
