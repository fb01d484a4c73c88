#include "engines/wimformat/compress.h"

namespace wim {

std::unique_ptr<Compressor> MakeXpressCompressor(uint32_t chunkSize);
std::unique_ptr<Compressor> MakeLzxCompressor(uint32_t chunkSize);

std::unique_ptr<Compressor> MakeCompressor(Compression kind, uint32_t chunkSize) {
    switch (kind) {
        case Compression::kXpress:
            return MakeXpressCompressor(chunkSize);
        case Compression::kLzx:
            return MakeLzxCompressor(chunkSize);
        default:
            return nullptr;
    }
}

}  // namespace wim
