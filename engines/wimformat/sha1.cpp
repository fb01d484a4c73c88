#include "engines/wimformat/sha1.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SB_SHA1_X86 1
#endif

namespace wim {

#ifdef SB_SHA1_X86
namespace {

bool HaveShaInstructions() {
    unsigned a, b, c, d;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    bool sha = (b >> 29) & 1;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    bool sse41 = (c >> 19) & 1, ssse3 = (c >> 9) & 1;
    return sha && sse41 && ssse3;
}
const bool kHaveSha = HaveShaInstructions();

// The SHA extensions do four rounds per instruction; the message schedule
// rotates through four registers.
__attribute__((target("sha,sse4.1,ssse3"))) void BlocksSha(uint32_t h[5], const uint8_t* p,
                                                           size_t count) {
    const __m128i mask = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
    __m128i e0 = _mm_set_epi32(int(h[4]), 0, 0, 0);
    for (; count; --count, p += 64) {
        const __m128i abcdSave = abcd, eSave = e0;
        __m128i m[4], e1;
        for (int i = 0; i < 4; ++i)
            m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)),
                                    mask);
        e0 = _mm_add_epi32(e0, m[0]);
        e1 = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
        e1 = _mm_sha1nexte_epu32(e1, m[1]);
        e0 = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, e1, 0);
        m[0] = _mm_sha1msg1_epu32(m[0], m[1]);
        e0 = _mm_sha1nexte_epu32(e0, m[2]);
        e1 = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
        m[1] = _mm_sha1msg1_epu32(m[1], m[2]);
        m[0] = _mm_xor_si128(m[0], m[2]);
#define SB_SHA1_GROUP(g, ea, eb, f)                                      \
    ea = _mm_sha1nexte_epu32(ea, m[(g) % 4]);                            \
    eb = abcd;                                                           \
    m[((g) + 1) % 4] = _mm_sha1msg2_epu32(m[((g) + 1) % 4], m[(g) % 4]); \
    abcd = _mm_sha1rnds4_epu32(abcd, ea, f);                             \
    m[((g) + 3) % 4] = _mm_sha1msg1_epu32(m[((g) + 3) % 4], m[(g) % 4]); \
    m[((g) + 2) % 4] = _mm_xor_si128(m[((g) + 2) % 4], m[(g) % 4]);
        SB_SHA1_GROUP(3, e1, e0, 0)
        SB_SHA1_GROUP(4, e0, e1, 0)
        SB_SHA1_GROUP(5, e1, e0, 1)
        SB_SHA1_GROUP(6, e0, e1, 1)
        SB_SHA1_GROUP(7, e1, e0, 1)
        SB_SHA1_GROUP(8, e0, e1, 1)
        SB_SHA1_GROUP(9, e1, e0, 1)
        SB_SHA1_GROUP(10, e0, e1, 2)
        SB_SHA1_GROUP(11, e1, e0, 2)
        SB_SHA1_GROUP(12, e0, e1, 2)
        SB_SHA1_GROUP(13, e1, e0, 2)
        SB_SHA1_GROUP(14, e0, e1, 2)
        SB_SHA1_GROUP(15, e1, e0, 3)
        SB_SHA1_GROUP(16, e0, e1, 3)
        SB_SHA1_GROUP(17, e1, e0, 3)
        SB_SHA1_GROUP(18, e0, e1, 3)
        SB_SHA1_GROUP(19, e1, e0, 3)
#undef SB_SHA1_GROUP
        e0 = _mm_sha1nexte_epu32(e0, eSave);
        abcd = _mm_add_epi32(abcd, abcdSave);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
    h[4] = uint32_t(_mm_extract_epi32(e0, 3));
}

}  // namespace
#endif

static inline uint32_t Rol(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

Sha1::Sha1() : h_{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0} {}

void Sha1::Blocks(const uint8_t* p, size_t count) {
#ifdef SB_SHA1_X86
    if (kHaveSha) {
        BlocksSha(h_, p, count);
        return;
    }
#endif
    for (; count; --count, p += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = (uint32_t(p[4 * i]) << 24) | (uint32_t(p[4 * i + 1]) << 16) |
                   (uint32_t(p[4 * i + 2]) << 8) | p[4 * i + 3];
        for (int i = 16; i < 80; ++i) w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            uint32_t t = Rol(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = Rol(b, 30);
            b = a;
            a = t;
        }
        h_[0] += a;
        h_[1] += b;
        h_[2] += c;
        h_[3] += d;
        h_[4] += e;
    }
}

void Sha1::Update(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    total_ += size;
    if (used_) {
        size_t take = 64 - used_ < size ? 64 - used_ : size;
        memcpy(buf_ + used_, p, take);
        used_ += take;
        p += take;
        size -= take;
        if (used_ < 64) return;
        Blocks(buf_, 1);
        used_ = 0;
    }
    if (size >= 64) {
        Blocks(p, size / 64);
        p += size / 64 * 64;
        size %= 64;
    }
    memcpy(buf_, p, size);
    used_ = size;
}

void Sha1::Final(uint8_t digest[20]) {
    uint64_t bits = total_ * 8;
    uint8_t pad = 0x80;
    Update(&pad, 1);
    uint8_t zero = 0;
    while (used_ != 56) Update(&zero, 1);
    uint8_t len[8];
    for (int i = 0; i < 8; ++i) len[i] = uint8_t(bits >> (56 - 8 * i));
    Update(len, 8);
    for (int i = 0; i < 5; ++i) {
        digest[4 * i] = uint8_t(h_[i] >> 24);
        digest[4 * i + 1] = uint8_t(h_[i] >> 16);
        digest[4 * i + 2] = uint8_t(h_[i] >> 8);
        digest[4 * i + 3] = uint8_t(h_[i]);
    }
}

std::string HexOfHash(const uint8_t hash[20]) {
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 20; ++i) {
        s += kHex[hash[i] >> 4];
        s += kHex[hash[i] & 15];
    }
    return s;
}

}  // namespace wim
