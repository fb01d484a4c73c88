#include "engines/ghost/format.h"

#include <zlib.h>

namespace ghost {

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    const Bytef* p = static_cast<const Bytef*>(data);
    // zlib's crc32 takes a uInt length; feed large buffers in slices.
    while (size > 0) {
        uInt n = size > (1u << 30) ? (1u << 30) : uInt(size);
        crc = uint32_t(crc32(crc, p, n));
        p += n;
        size -= n;
    }
    return crc;
}

void EncodeImageHeader(const ImageHeader& h, uint8_t out[kImageHeaderSize]) {
    memset(out, 0, kImageHeaderSize);
    memcpy(out + 0, h.magic, 8);
    StoreLe32(out + 8, h.version);
    StoreLe32(out + 12, h.headerSize);
    StoreLe32(out + 16, h.flags);
    StoreLe32(out + 20, h.chunkSize);
    StoreLe32(out + 24, h.level);
    StoreLe32(out + 28, h.spanCount);
    memcpy(out + 32, h.imageId, 16);
    StoreLe64(out + 48, h.spanLimit);
    StoreLe32(out + 56, h.indexSpan);
    StoreLe32(out + 60, h.indexChunkCount);
    StoreLe64(out + 64, h.indexOffset);
    StoreLe64(out + 72, h.indexRawSize);
    StoreLe32(out + 80, h.indexCrc);
    StoreLe32(out + 84, h.dataChunkCount);
    StoreLe64(out + 88, h.dataRawSize);
    StoreLe64(out + 96, h.entryCount);
    StoreLe64(out + 104, uint64_t(h.createdUnix));
    StoreLe32(out + 112, h.kdfIterations);
    StoreLe32(out + 116, h.kdfId);
    memcpy(out + 120, h.salt, 16);
    memcpy(out + 136, h.verifier, 32);
    StoreLe32(out + 168, h.cipherId);
    StoreLe32(out + 172, h.complete);
    StoreLe32(out + 176, h.origin);
    StoreLe32(out + 508, Crc32(out, 508));
}

bool DecodeImageHeader(const uint8_t in[kImageHeaderSize], ImageHeader* h) {
    if (memcmp(in, kImageMagic, 8) != 0) return false;
    if (LoadLe32(in + 508) != Crc32(in, 508)) return false;
    memcpy(h->magic, in, 8);
    h->version = LoadLe32(in + 8);
    h->headerSize = LoadLe32(in + 12);
    h->flags = LoadLe32(in + 16);
    h->chunkSize = LoadLe32(in + 20);
    h->level = LoadLe32(in + 24);
    h->spanCount = LoadLe32(in + 28);
    memcpy(h->imageId, in + 32, 16);
    h->spanLimit = LoadLe64(in + 48);
    h->indexSpan = LoadLe32(in + 56);
    h->indexChunkCount = LoadLe32(in + 60);
    h->indexOffset = LoadLe64(in + 64);
    h->indexRawSize = LoadLe64(in + 72);
    h->indexCrc = LoadLe32(in + 80);
    h->dataChunkCount = LoadLe32(in + 84);
    h->dataRawSize = LoadLe64(in + 88);
    h->entryCount = LoadLe64(in + 96);
    h->createdUnix = int64_t(LoadLe64(in + 104));
    h->kdfIterations = LoadLe32(in + 112);
    h->kdfId = LoadLe32(in + 116);
    memcpy(h->salt, in + 120, 16);
    memcpy(h->verifier, in + 136, 32);
    h->cipherId = LoadLe32(in + 168);
    h->complete = LoadLe32(in + 172);
    h->origin = LoadLe32(in + 176);
    h->headerCrc = LoadLe32(in + 508);
    return true;
}

void EncodeSpanHeader(const SpanHeader& h, uint8_t out[kSpanHeaderSize]) {
    memset(out, 0, kSpanHeaderSize);
    memcpy(out, h.magic, 8);
    StoreLe32(out + 8, h.version);
    StoreLe32(out + 12, h.spanNumber);
    memcpy(out + 16, h.imageId, 16);
    StoreLe32(out + 60, Crc32(out, 60));
}

bool DecodeSpanHeader(const uint8_t in[kSpanHeaderSize], SpanHeader* h) {
    if (memcmp(in, kSpanMagic, 8) != 0) return false;
    if (LoadLe32(in + 60) != Crc32(in, 60)) return false;
    memcpy(h->magic, in, 8);
    h->version = LoadLe32(in + 8);
    h->spanNumber = LoadLe32(in + 12);
    memcpy(h->imageId, in + 16, 16);
    h->headerCrc = LoadLe32(in + 60);
    return true;
}

void EncodeChunkHeader(const ChunkHeader& h, uint8_t out[kChunkHeaderSize]) {
    memset(out, 0, kChunkHeaderSize);
    StoreLe32(out + 0, h.magic);
    StoreLe32(out + 4, h.kind);
    StoreLe32(out + 8, h.sequence);
    StoreLe32(out + 12, h.flags);
    StoreLe32(out + 16, h.rawSize);
    StoreLe32(out + 20, h.storedSize);
    StoreLe32(out + 24, h.rawCrc);
    StoreLe32(out + 28, h.storedCrc);
    memcpy(out + 32, h.iv, 16);
    StoreLe32(out + 48, Crc32(out, 48));
}

bool DecodeChunkHeader(const uint8_t in[kChunkHeaderSize], ChunkHeader* h) {
    if (LoadLe32(in) != kChunkMagic) return false;
    if (LoadLe32(in + 48) != Crc32(in, 48)) return false;
    h->magic = LoadLe32(in + 0);
    h->kind = LoadLe32(in + 4);
    h->sequence = LoadLe32(in + 8);
    h->flags = LoadLe32(in + 12);
    h->rawSize = LoadLe32(in + 16);
    h->storedSize = LoadLe32(in + 20);
    h->rawCrc = LoadLe32(in + 24);
    h->storedCrc = LoadLe32(in + 28);
    memcpy(h->iv, in + 32, 16);
    h->headerCrc = LoadLe32(in + 48);
    h->reserved = LoadLe32(in + 52);
    return true;
}

}  // namespace ghost
