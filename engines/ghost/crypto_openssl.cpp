// Native crypto backend: OpenSSL's libcrypto.
#include "engines/ghost/crypto.h"

#include <cstring>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace ghost {

bool RandomBytes(uint8_t* out, size_t size) {
    return RAND_bytes(out, int(size)) == 1;
}

bool DeriveKeyMaterial(const std::string& password, const uint8_t salt[16], uint32_t iterations,
                       uint8_t out[64]) {
    return PKCS5_PBKDF2_HMAC(password.data(), int(password.size()), salt, 16, int(iterations),
                             EVP_sha256(), 64, out) == 1;
}

namespace {

class OpenSslCipher : public ChunkCipher {
  public:
    explicit OpenSslCipher(const uint8_t key[32]) { memcpy(key_, key, 32); }
    ~OpenSslCipher() override { OPENSSL_cleanse(key_, sizeof key_); }

  private:
    bool Run(bool encrypt, const uint8_t iv[16], const uint8_t* in, size_t size,
             std::vector<uint8_t>* out) override {
        EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
        if (!ctx) return false;
        out->resize(size + 16);
        int n1 = 0, n2 = 0;
        bool ok =
            EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key_, iv, encrypt ? 1 : 0) == 1 &&
            EVP_CipherUpdate(ctx, out->data(), &n1, in, int(size)) == 1 &&
            EVP_CipherFinal_ex(ctx, out->data() + n1, &n2) == 1;
        EVP_CIPHER_CTX_free(ctx);
        if (!ok) return false;
        out->resize(size_t(n1) + size_t(n2));
        return true;
    }
    uint8_t key_[32];
};

}  // namespace

std::unique_ptr<ChunkCipher> MakeChunkCipher(const uint8_t key[32]) {
    return std::make_unique<OpenSslCipher>(key);
}

}  // namespace ghost
