// Chunk encoders against our decoders where an encoder's shortcuts could
// corrupt data: search state carried from one chunk into the next, long
// matches and matches that end on the chunk's last byte, repeat offsets, and
// the test that stores near-random chunks raw without searching them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engines/wimformat/compress.h"

namespace {

const wim::Compression kKinds[] = {wim::Compression::kXpress, wim::Compression::kLzx};

// Words of a small vocabulary in random order: the mix of short matches and
// literals that text gives.
std::string Words(std::mt19937& rng, size_t n) {
    static const char* const kWords[] = {"alpha", "bo",    "cedar",  "delta", "ex",
                                         "fig",   "gamma", "harbor", "io",    "jade",
                                         "kilo",  "lumen", "moss",   "nadir", "opal"};
    std::string s;
    while (s.size() < n) {
        s += kWords[rng() % 15];
        s += rng() % 9 ? ' ' : '\n';
    }
    s.resize(n);
    return s;
}

std::string Noise(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

// Compresses `data` with `c` and decodes it back; true when it was stored raw
// (Compress returned 0) or came back identical and smaller.
::testing::AssertionResult RoundTrips(wim::Compressor* c, wim::Decompressor* d,
                                      const std::string& data, size_t* stored = nullptr) {
    std::vector<uint8_t> out(65536), back(data.size() + 1, 0xCC);
    size_t n = c->Compress(reinterpret_cast<const uint8_t*>(data.data()), data.size(), out.data());
    if (stored) *stored = n;
    if (n == 0) return ::testing::AssertionSuccess();
    if (n >= data.size()) return ::testing::AssertionFailure() << "grew to " << n;
    if (!d->Decompress(out.data(), n, back.data(), data.size()))
        return ::testing::AssertionFailure() << "does not decode (" << data.size() << " bytes)";
    if (memcmp(back.data(), data.data(), data.size()) != 0)
        return ::testing::AssertionFailure() << "decodes to other bytes (" << data.size() << ")";
    if (back[data.size()] != 0xCC) return ::testing::AssertionFailure() << "wrote past the end";
    return ::testing::AssertionSuccess();
}

TEST(WimEncoders, OneCompressorKeepsNoStateFromChunkToChunk) {
    // Each chunk repeats the bytes of the one before at other places, so a
    // search that still saw the earlier chunk would find matches in it. Enough
    // small chunks go through one XPRESS compressor for its table positions to
    // wrap around and start again.
    std::mt19937 rng(3);
    for (auto kind : kKinds) {
        auto c = wim::MakeCompressor(kind, 32768);
        auto d = wim::MakeDecompressor(kind, 32768);
        ASSERT_TRUE(c && d);
        std::string prev = Words(rng, 32768);
        for (int k = 0; k < 40; ++k) {
            std::string next = Words(rng, 5000 + rng() % 4000) + prev.substr(rng() % 9000, 20000);
            next += prev.substr(0, 32768 - next.size());
            size_t stored = 0;
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), next, &stored))
                << wim::CompressionName(kind) << " chunk " << k;
            EXPECT_NE(0u, stored);
            prev = next;
        }
        size_t chunks = kind == wim::Compression::kXpress ? 33000 : 300;
        std::string a = Words(rng, 300), b = Words(rng, 300);
        for (size_t k = 0; k < chunks; ++k)
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), k % 2 ? a : b))
                << wim::CompressionName(kind) << " small chunk " << k;
    }
}

TEST(WimEncoders, LongMatchesAndMatchesToTheLastByteDecode) {
    std::mt19937 rng(5);
    for (auto kind : kKinds) {
        uint32_t chunk = kind == wim::Compression::kXpress ? 65536 : 32768;
        auto c = wim::MakeCompressor(kind, chunk);
        auto d = wim::MakeDecompressor(kind, chunk);
        ASSERT_TRUE(c && d);
        std::string seed = Noise(rng, 300);
        // Repeats whose lengths sit on either side of each length-coding step.
        for (size_t len : {3u, 4u, 17u, 18u, 19u, 256u, 257u, 258u, 272u, 273u, 274u, 300u}) {
            std::string s = Noise(rng, 700);
            s += s.substr(100, std::min<size_t>(len, 300)) + seed + Noise(rng, 50);
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), s))
                << wim::CompressionName(kind) << " " << len;
        }
        // One byte value, and one short period, over whole chunks of several sizes:
        // a single match may run to the chunk's very end.
        for (size_t n : {4095u, 4096u, 32767u, 32768u, 65535u, 65536u}) {
            if (n > chunk) continue;
            size_t stored = 0;
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), std::string(n, 'z'), &stored))
                << wim::CompressionName(kind) << " run " << n;
            EXPECT_NE(0u, stored);
            std::string period;
            while (period.size() < n) period += seed.substr(0, 37);
            period.resize(n);
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), period, &stored))
                << wim::CompressionName(kind) << " period " << n;
            EXPECT_NE(0u, stored);
            // Text whose last bytes repeat bytes from the far start of the chunk.
            std::string far = Words(rng, n - 40) + Words(rng, 40);
            memcpy(&far[n - 40], far.data(), 40);
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), far))
                << wim::CompressionName(kind) << " far " << n;
        }
    }
}

TEST(WimEncoders, RepeatedOffsetsInTurnDecode) {
    // Records of a fixed size with fields copied from one, two and three
    // records back in turn: the same few offsets again and again, as LZX codes
    // with its repeat offsets.
    std::mt19937 rng(7);
    for (auto kind : kKinds) {
        auto c = wim::MakeCompressor(kind, 32768);
        auto d = wim::MakeDecompressor(kind, 32768);
        std::string s = Noise(rng, 96);
        while (s.size() < 32768) {
            size_t back = 32 * (1 + rng() % 3);
            s += s.substr(s.size() - back, 5 + rng() % 20);
            s += Noise(rng, 1 + rng() % 3);
        }
        s.resize(32768);
        size_t stored = 0;
        ASSERT_TRUE(RoundTrips(c.get(), d.get(), s, &stored)) << wim::CompressionName(kind);
        EXPECT_NE(0u, stored);
    }
}

TEST(WimEncoders, OnlyChunksThatCannotShrinkAreStoredRaw) {
    std::mt19937 rng(9);
    for (auto kind : kKinds) {
        auto c = wim::MakeCompressor(kind, 32768);
        auto d = wim::MakeDecompressor(kind, 32768);
        size_t stored = 1;
        // Random bytes: raw, at every size the quick test looks at.
        for (size_t n : {4096u, 16383u, 16384u, 32768u}) {
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), Noise(rng, n), &stored));
            EXPECT_EQ(0u, stored) << wim::CompressionName(kind) << " " << n;
        }
        // Half random, half text, either way round: the text half still pays.
        std::string text = Words(rng, 16384), noise = Noise(rng, 16384);
        for (const std::string& s : {noise + text, text + noise}) {
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), s, &stored));
            EXPECT_NE(0u, stored) << wim::CompressionName(kind);
            EXPECT_LT(stored, 16384u + 12000u) << wim::CompressionName(kind);
        }
        // Random bytes over only a few values are not random enough to skip.
        std::string few(32768, '\0');
        for (char& ch : few) ch = char('a' + rng() % 8);
        ASSERT_TRUE(RoundTrips(c.get(), d.get(), few, &stored));
        EXPECT_NE(0u, stored) << wim::CompressionName(kind);
        EXPECT_LT(stored, 32768u / 2) << wim::CompressionName(kind);
    }
}

}  // namespace

TEST(WimEncoders, LzxCallBytesAnywhereInAChunkComeBack) {
    // 0xE8 bytes where the call translation has its edges: at the start, as
    // the operand of another, in the last ten bytes (left alone), with
    // operands at the limits of the translated range.
    auto c = wim::MakeCompressor(wim::Compression::kLzx, 32768);
    auto d = wim::MakeDecompressor(wim::Compression::kLzx, 32768);
    ASSERT_TRUE(c && d);
    std::mt19937 rng(11);
    const int32_t kOperands[] = {0, 1, -1, 11999999, 12000000, -12000000, 0x7FFFFFFF};
    for (size_t size : {size_t(32768), size_t(20000), size_t(4097), size_t(15)}) {
        for (int variant = 0; variant < 8; ++variant) {
            std::string data = Words(rng, size);
            auto call = [&](size_t at, int32_t operand) {
                if (at >= size) return;
                data[at] = char(0xE8);
                for (size_t k = 1; k <= 4 && at + k < size; ++k)
                    data[at + k] = char(uint32_t(operand) >> (8 * (k - 1)));
            };
            call(0, kOperands[variant % 7]);
            // An operand whose own bytes read as a call with a translated
            // operand, had the 0xE8 in it been taken for one.
            if (size > 200) {
                call(100 + size_t(variant), 0xE8);
                data[105 + size_t(variant)] = 0;
            }
            for (size_t at = 120 + size_t(variant); at + 64 < size; at += 97 + rng() % 300) {
                int32_t pos = int32_t(at);
                int32_t operands[] = {-pos, -pos - 1, pos, kOperands[rng() % 7]};
                call(at, operands[rng() % 4]);
            }
            for (size_t back : {11, 10, 9, 6, 5, 1})
                if (back <= size) call(size - back, int32_t(rng()));
            if (size > 40) data.replace(size - 30, 8, std::string(8, char(0xE8)));
            size_t stored = 0;
            ASSERT_TRUE(RoundTrips(c.get(), d.get(), data, &stored))
                << size << " bytes, variant " << variant;
            if (size > 1000) {
                EXPECT_NE(0u, stored) << size;
            }
        }
    }
}
