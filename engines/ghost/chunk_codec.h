// Turning raw bytes into a stored chunk and back: zlib, CRC32, optional AES.
// Both directions are safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/ghost/crypto.h"
#include "engines/ghost/errors.h"
#include "engines/ghost/format.h"

namespace ghost {

struct StoredChunk {
    ChunkHeader header{};
    std::vector<uint8_t> payload;
};

// Compresses at level (1..9), keeps raw bytes when deflate does not help, then
// encrypts when cipher is given.
Status EncodeChunk(ChunkKind kind, uint32_t sequence, const uint8_t* raw, size_t size, int level,
                   ChunkCipher* cipher, StoredChunk* out);

// Verifies the stored CRC, decrypts, inflates and verifies the raw CRC.
// kErrCrc for damaged data, kErrNeedPassword when encrypted and cipher is null.
Status DecodeChunk(const StoredChunk& in, ChunkCipher* cipher, std::vector<uint8_t>* raw);

}  // namespace ghost
