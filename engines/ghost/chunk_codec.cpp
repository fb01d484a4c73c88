#include "engines/ghost/chunk_codec.h"

#include <zlib.h>

#include <cstring>

namespace ghost {

Status EncodeChunk(ChunkKind kind, uint32_t sequence, const uint8_t* raw, size_t size, int level,
                   ChunkCipher* cipher, StoredChunk* out) {
    ChunkHeader& h = out->header;
    h = ChunkHeader{};
    h.magic = kChunkMagic;
    h.kind = kind;
    h.sequence = sequence;
    h.rawSize = uint32_t(size);
    h.rawCrc = Crc32(raw, size);

    std::vector<uint8_t> packed(compressBound(uLong(size)));
    uLongf packedSize = uLongf(packed.size());
    const uint8_t* body = raw;
    size_t bodySize = size;
    if (compress2(packed.data(), &packedSize, raw, uLong(size), level) == Z_OK &&
        packedSize < size) {
        h.flags |= kChunkDeflated;
        packed.resize(packedSize);
        body = packed.data();
        bodySize = packedSize;
    }
    if (cipher) {
        if (!RandomBytes(h.iv, sizeof h.iv) ||
            !cipher->Encrypt(h.iv, body, bodySize, &out->payload)) {
            return Fail(kErrCrypto, u8"加密失败。");
        }
        h.flags |= kChunkEncrypted;
    } else if (body == raw) {
        out->payload.assign(raw, raw + size);
    } else {
        out->payload = std::move(packed);
    }
    h.storedSize = uint32_t(out->payload.size());
    h.storedCrc = Crc32(out->payload.data(), out->payload.size());
    return Ok();
}

Status DecodeChunk(const StoredChunk& in, ChunkCipher* cipher, std::vector<uint8_t>* raw) {
    const ChunkHeader& h = in.header;
    if (in.payload.size() != h.storedSize ||
        Crc32(in.payload.data(), in.payload.size()) != h.storedCrc) {
        return Fail(kErrCrc, "");
    }
    if (h.rawSize > kChunkSize) return Fail(kErrCrc, "");
    std::vector<uint8_t> plain;
    const std::vector<uint8_t>* body = &in.payload;
    if (h.flags & kChunkEncrypted) {
        if (!cipher) return Fail(kErrNeedPassword, "");
        if (!cipher->Decrypt(h.iv, in.payload.data(), in.payload.size(), &plain)) {
            return Fail(kErrCrc, "");
        }
        body = &plain;
    }
    raw->resize(h.rawSize);
    if (h.flags & kChunkDeflated) {
        uLongf n = uLongf(h.rawSize);
        if (uncompress(raw->data(), &n, body->data(), uLong(body->size())) != Z_OK ||
            n != h.rawSize) {
            return Fail(kErrCrc, "");
        }
    } else {
        if (body->size() != h.rawSize) return Fail(kErrCrc, "");
        if (h.rawSize) memcpy(raw->data(), body->data(), h.rawSize);
    }
    if (Crc32(raw->data(), raw->size()) != h.rawCrc) return Fail(kErrCrc, "");
    return Ok();
}

}  // namespace ghost
