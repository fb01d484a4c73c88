// Windows crypto backend: CryptoAPI's AES provider (advapi32). It exists from
// Windows XP SP3 on, so the engine runs on XP-era WinPE as well as on current
// systems, unlike bcrypt.dll (Vista on). PBKDF2 (RFC 8018) is the standard
// construction over the provider's own HMAC-SHA256; no primitive is our own.
#include "engines/ghost/crypto.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <mutex>

// The headers hide these behind newer WINVER settings; the values are fixed.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif
#ifndef MS_ENH_RSA_AES_PROV_W
#define MS_ENH_RSA_AES_PROV_W L"Microsoft Enhanced RSA and AES Cryptographic Provider"
#endif
#ifndef MS_ENH_RSA_AES_PROV_XP_W
#define MS_ENH_RSA_AES_PROV_XP_W \
    L"Microsoft Enhanced RSA and AES Cryptographic Provider (Prototype)"
#endif

namespace ghost {

namespace {

HCRYPTPROV Provider() {
    static HCRYPTPROV prov = [] {
        HCRYPTPROV p = 0;
        const wchar_t* names[] = {MS_ENH_RSA_AES_PROV_W, MS_ENH_RSA_AES_PROV_XP_W, nullptr};
        for (const wchar_t* name : names) {
            if (CryptAcquireContextW(&p, nullptr, name, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
                return p;
            }
        }
        return HCRYPTPROV(0);
    }();
    return prov;
}

std::mutex& ProviderLock() {
    static std::mutex lock;
    return lock;
}

// Imports raw bytes as a key: HMAC keys of any length need CRYPT_IPSEC_HMAC_KEY.
HCRYPTKEY ImportKey(ALG_ID alg, const uint8_t* key, DWORD size, DWORD flags) {
    std::vector<uint8_t> blob(sizeof(BLOBHEADER) + sizeof(DWORD) + size);
    BLOBHEADER* hdr = reinterpret_cast<BLOBHEADER*>(blob.data());
    hdr->bType = PLAINTEXTKEYBLOB;
    hdr->bVersion = CUR_BLOB_VERSION;
    hdr->reserved = 0;
    hdr->aiKeyAlg = alg;
    memcpy(blob.data() + sizeof(BLOBHEADER), &size, sizeof(DWORD));
    if (size) memcpy(blob.data() + sizeof(BLOBHEADER) + sizeof(DWORD), key, size);
    HCRYPTKEY k = 0;
    if (!CryptImportKey(Provider(), blob.data(), DWORD(blob.size()), 0, flags, &k)) k = 0;
    SecureZeroMemory(blob.data(), blob.size());
    return k;
}

bool Hmac(HCRYPTKEY key, const uint8_t* a, size_t na, const uint8_t* b, size_t nb,
          uint8_t out[32]) {
    HCRYPTHASH h = 0;
    if (!CryptCreateHash(Provider(), CALG_HMAC, key, 0, &h)) return false;
    HMAC_INFO info = {};
    info.HashAlgid = CALG_SHA_256;
    DWORD len = 32;
    bool ok = CryptSetHashParam(h, HP_HMAC_INFO, reinterpret_cast<BYTE*>(&info), 0) &&
              CryptHashData(h, a, DWORD(na), 0) && (nb == 0 || CryptHashData(h, b, DWORD(nb), 0)) &&
              CryptGetHashParam(h, HP_HASHVAL, out, &len, 0) && len == 32;
    CryptDestroyHash(h);
    return ok;
}

class CryptoApiCipher : public ChunkCipher {
  public:
    explicit CryptoApiCipher(HCRYPTKEY key) : key_(key) {}
    ~CryptoApiCipher() override {
        if (key_) CryptDestroyKey(key_);
    }

  private:
    // A key handle carries CBC state, so every call works on its own duplicate.
    bool Run(bool encrypt, const uint8_t iv[16], const uint8_t* in, size_t size,
             std::vector<uint8_t>* out) override {
        HCRYPTKEY k = 0;
        {
            std::lock_guard<std::mutex> guard(ProviderLock());
            if (!CryptDuplicateKey(key_, nullptr, 0, &k)) return false;
        }
        DWORD mode = CRYPT_MODE_CBC;
        bool ok = CryptSetKeyParam(k, KP_MODE, reinterpret_cast<BYTE*>(&mode), 0) &&
                  CryptSetKeyParam(k, KP_IV, const_cast<BYTE*>(iv), 0);
        if (ok) {
            out->assign(in, in + size);
            DWORD len = DWORD(size);
            if (encrypt) {
                out->resize(size + 16);
                ok = CryptEncrypt(k, 0, TRUE, 0, out->data(), &len, DWORD(out->size()));
            } else {
                ok = size > 0 && size % 16 == 0 && CryptDecrypt(k, 0, TRUE, 0, out->data(), &len);
            }
            if (ok) out->resize(len);
        }
        std::lock_guard<std::mutex> guard(ProviderLock());
        CryptDestroyKey(k);
        return ok;
    }
    HCRYPTKEY key_;
};

}  // namespace

bool RandomBytes(uint8_t* out, size_t size) {
    return Provider() && CryptGenRandom(Provider(), DWORD(size), out);
}

bool DeriveKeyMaterial(const std::string& password, const uint8_t salt[16], uint32_t iterations,
                       uint8_t out[64]) {
    if (!Provider() || iterations == 0) return false;
    HCRYPTKEY pk = ImportKey(CALG_RC2, reinterpret_cast<const uint8_t*>(password.data()),
                             DWORD(password.size()), CRYPT_IPSEC_HMAC_KEY);
    if (!pk) return false;
    bool ok = true;
    for (uint32_t block = 1; ok && block <= 2; ++block) {
        uint8_t counter[4] = {uint8_t(block >> 24), uint8_t(block >> 16), uint8_t(block >> 8),
                              uint8_t(block)};
        uint8_t u[32], t[32];
        ok = Hmac(pk, salt, 16, counter, 4, u);
        memcpy(t, u, 32);
        for (uint32_t i = 1; ok && i < iterations; ++i) {
            ok = Hmac(pk, u, 32, nullptr, 0, u);
            for (int j = 0; j < 32; ++j) t[j] ^= u[j];
        }
        memcpy(out + (block - 1) * 32, t, 32);
        SecureZeroMemory(u, sizeof u);
        SecureZeroMemory(t, sizeof t);
    }
    CryptDestroyKey(pk);
    return ok;
}

std::unique_ptr<ChunkCipher> MakeChunkCipher(const uint8_t key[32]) {
    HCRYPTKEY k = Provider() ? ImportKey(CALG_AES_256, key, 32, 0) : 0;
    if (!k) return nullptr;
    return std::make_unique<CryptoApiCipher>(k);
}

}  // namespace ghost
