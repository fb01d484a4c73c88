// Password encryption of images: PBKDF2-HMAC-SHA256 and AES-256-CBC (PKCS#7 padding),
// both taken from the platform (OpenSSL's libcrypto natively, CryptoAPI on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ghost {

inline constexpr uint32_t kDefaultKdfIterations = 100000;

bool RandomBytes(uint8_t* out, size_t size);

// 64 bytes of key material: bytes 0..31 are the AES key, 32..63 the stored verifier.
bool DeriveKeyMaterial(const std::string& password, const uint8_t salt[16], uint32_t iterations,
                       uint8_t out[64]);

// AES-256-CBC with PKCS#7 padding. Encrypt/Decrypt may be called from several
// threads at once.
class ChunkCipher {
  public:
    ChunkCipher() = default;
    // An implementation owns a key handle: it is not copied.
    ChunkCipher(const ChunkCipher&) = delete;
    ChunkCipher& operator=(const ChunkCipher&) = delete;
    virtual ~ChunkCipher() = default;
    bool Encrypt(const uint8_t iv[16], const uint8_t* in, size_t size, std::vector<uint8_t>* out) {
        return Run(true, iv, in, size, out);
    }
    // False when the padding is wrong (damaged data or wrong key).
    bool Decrypt(const uint8_t iv[16], const uint8_t* in, size_t size, std::vector<uint8_t>* out) {
        return Run(false, iv, in, size, out);
    }

  protected:
    // AES-256-CBC with PKCS#7 padding, one call per chunk.
    virtual bool Run(bool encrypt, const uint8_t iv[16], const uint8_t* in, size_t size,
                     std::vector<uint8_t>* out) = 0;
};

std::unique_ptr<ChunkCipher> MakeChunkCipher(const uint8_t key[32]);

}  // namespace ghost
