// The on-disk pieces: header and chunk encoding, chunk codec, span names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engines/ghost/chunk_codec.h"
#include "engines/ghost/entry.h"
#include "engines/ghost/format.h"
#include "engines/ghost/image_writer.h"

namespace {

TEST(GhostFormat, HeaderFieldsSitAtTheirDocumentedOffsets) {
    ghost::ImageHeader h{};
    memcpy(h.magic, ghost::kImageMagic, 8);
    h.version = 1;
    h.headerSize = 512;
    h.indexOffset = 0x1122334455667788ULL;
    h.dataRawSize = 0x0102030405060708ULL;
    h.complete = 1;
    uint8_t raw[ghost::kImageHeaderSize];
    ghost::EncodeImageHeader(h, raw);
    EXPECT_EQ(0, memcmp(raw, "SBGHOST1", 8));
    EXPECT_EQ(0x55667788u, ghost::LoadLe32(raw + 64));
    EXPECT_EQ(0x88, raw[64]);  // little-endian
    EXPECT_EQ(0x0102030405060708ULL, ghost::LoadLe64(raw + 88));
    EXPECT_EQ(1u, ghost::LoadLe32(raw + 172));
    ghost::ImageHeader back;
    ASSERT_TRUE(ghost::DecodeImageHeader(raw, &back));
    EXPECT_EQ(h.indexOffset, back.indexOffset);
    raw[100] ^= 1;
    EXPECT_FALSE(ghost::DecodeImageHeader(raw, &back));
}

// Version 2 carries each entry's 8.3 name after its streams; a version 1 index,
// which ends the entry at its streams, still reads (with no short names).
TEST(GhostFormat, IndexVersionTwoKeepsShortNamesAndVersionOneStillReads) {
    ghost::ImageIndex idx;
    idx.chunks.push_back({0, ghost::kImageHeaderSize, 10, 10});
    ghost::Entry dir;
    dir.type = ghost::EntryType::kDirectory;
    dir.path = "Program Files (x86)";
    dir.shortName = "PROGRA~2";
    ghost::Entry file;
    file.path = "Program Files (x86)/setup info.txt";
    file.dataSize = 10;
    file.shortName = "SETUPI~1.TXT";
    idx.entries = {dir, file};
    std::vector<uint8_t> raw = ghost::SerializeIndex(idx);
    EXPECT_EQ(2u, ghost::LoadLe32(raw.data() + 4));
    ghost::ImageIndex back;
    ASSERT_TRUE(ghost::ParseIndex(raw.data(), raw.size(), 1, 10, 1, &back).ok());
    EXPECT_EQ("PROGRA~2", back.entries[0].shortName);
    EXPECT_EQ("SETUPI~1.TXT", back.entries[1].shortName);

    // The same index as version 1 wrote it: no name fields, version 1.
    idx.entries[0].shortName.clear();
    idx.entries[1].shortName.clear();
    std::vector<uint8_t> v2 = ghost::SerializeIndex(idx);
    std::vector<uint8_t> v1 = ghost::SerializeIndex({idx.chunks, {idx.entries[0]}});
    v1.resize(v1.size() - 4);  // the first entry's empty name field
    std::vector<uint8_t> second = ghost::SerializeIndex({idx.chunks, {idx.entries[1]}});
    size_t head = 4 + 4 + 8 + 8 + 20;
    v1.insert(v1.end(), second.begin() + long(head), second.end() - 4);
    ghost::StoreLe32(v1.data() + 4, 1);
    ghost::StoreLe64(v1.data() + 16, 2);
    ASSERT_EQ(v2.size() - 8, v1.size());
    ghost::ImageIndex old;
    ASSERT_TRUE(ghost::ParseIndex(v1.data(), v1.size(), 1, 10, 1, &old).ok());
    ASSERT_EQ(2u, old.entries.size());
    EXPECT_EQ("Program Files (x86)/setup info.txt", old.entries[1].path);
    EXPECT_EQ("", old.entries[1].shortName);
    // A version 1 index read as version 2 is short by the name fields.
    ghost::StoreLe32(v1.data() + 4, 2);
    EXPECT_FALSE(ghost::ParseIndex(v1.data(), v1.size(), 1, 10, 1, &old).ok());
    // Names with a separator are refused.
    idx.entries[1].shortName = "A:B";
    raw = ghost::SerializeIndex(idx);
    EXPECT_FALSE(ghost::ParseIndex(raw.data(), raw.size(), 1, 10, 1, &back).ok());
}

TEST(GhostFormat, ChunksRoundTripWithAndWithoutEncryption) {
    std::vector<uint8_t> text(300000);
    for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t("abcabd"[i % 6]);
    std::vector<uint8_t> noise(70000);
    uint32_t x = 1;
    for (auto& b : noise) b = uint8_t((x = x * 1103515245 + 12345) >> 16);
    uint8_t key[32] = {1, 2, 3};
    auto cipher = ghost::MakeChunkCipher(key);
    for (ghost::ChunkCipher* c : {static_cast<ghost::ChunkCipher*>(nullptr), cipher.get()}) {
        for (const auto* data : {&text, &noise}) {
            ghost::StoredChunk chunk;
            ASSERT_TRUE(
                ghost::EncodeChunk(ghost::kChunkData, 7, data->data(), data->size(), 9, c, &chunk)
                    .ok());
            EXPECT_EQ(data == &text, (chunk.header.flags & ghost::kChunkDeflated) != 0);
            EXPECT_EQ(c != nullptr, (chunk.header.flags & ghost::kChunkEncrypted) != 0);
            if (data == &noise && !c) {
                EXPECT_EQ(noise.size(), chunk.payload.size());
            }
            std::vector<uint8_t> back;
            ASSERT_TRUE(ghost::DecodeChunk(chunk, c, &back).ok());
            EXPECT_EQ(*data, back);
            chunk.payload[chunk.payload.size() / 2] ^= 1;
            EXPECT_EQ(ghost::kErrCrc, ghost::DecodeChunk(chunk, c, &back).code);
        }
    }
    // An encrypted chunk needs the key; a wrong key is caught by the checksums.
    ghost::StoredChunk chunk;
    ASSERT_TRUE(
        ghost::EncodeChunk(ghost::kChunkData, 0, text.data(), text.size(), 1, cipher.get(), &chunk)
            .ok());
    std::vector<uint8_t> back;
    EXPECT_EQ(ghost::kErrNeedPassword, ghost::DecodeChunk(chunk, nullptr, &back).code);
    uint8_t other[32] = {9};
    auto wrong = ghost::MakeChunkCipher(other);
    EXPECT_EQ(ghost::kErrCrc, ghost::DecodeChunk(chunk, wrong.get(), &back).code);
}

std::string Hex(const uint8_t* p, size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += std::string{d[p[i] >> 4], d[p[i] & 15]};
    return s;
}

// Reference values from an independent PBKDF2-HMAC-SHA256 (Python's hashlib), so
// images made by either build open in the other. The long password exercises the
// HMAC key longer than a block.
TEST(GhostFormat, KeyDerivationIsPbkdf2HmacSha256) {
    uint8_t salt[16];
    for (int i = 0; i < 16; ++i) salt[i] = uint8_t(i);
    uint8_t out[64];
    ASSERT_TRUE(ghost::DeriveKeyMaterial(u8"StarBridge 密码", salt, 1000, out));
    EXPECT_EQ(
        "88453aadd1aa904bbde56cf9a0d14f824962f0f661f0d2a2284139778a98960d"
        "e0ad4fa4183566f1504df5e40c5bfed45f2faced912e3df7becfcf25292025b9",
        Hex(out, 64));
    ASSERT_TRUE(ghost::DeriveKeyMaterial(std::string(100, 'x'), salt, 3, out));
    EXPECT_EQ(
        "3937a0427aa459f127834adda3d8f3135b29095f791821ee271533e75279c910"
        "beae919b877295f1213abf9c5ca4141d9d43d94a9cbb9694bb3fac4c9fac88ea",
        Hex(out, 64));
}

TEST(GhostFormat, SpanNamesFollowTheImageName) {
    EXPECT_EQ("D:\\bak\\c.GHO", ghost::SpanPath("D:\\bak\\c.GHO", 0));
    EXPECT_EQ("D:\\bak\\c001.GHS", ghost::SpanPath("D:\\bak\\c.GHO", 1));
    EXPECT_EQ("D:\\bak\\c012.GHS", ghost::SpanPath("D:\\bak\\c.gho", 12));
    EXPECT_EQ("/x.y/img001.GHS", ghost::SpanPath("/x.y/img", 1));
}

}  // namespace

// Paths may be as long as the index allows (32,767 bytes) and as deep as that
// makes them; one byte more is refused. Every parent must come before its child.
TEST(GhostFormat, IndexTakesPathsUpToItsLimitAndNoLonger) {
    auto chainTo = [](size_t length) {
        ghost::ImageIndex idx;
        std::string path;
        for (;;) {
            std::string next = (path.empty() ? "" : path + "/") + std::string(200, 'd');
            if (next.size() + 2 > length) break;  // room for "/" and a name
            ghost::Entry dir;
            dir.type = ghost::EntryType::kDirectory;
            dir.path = next;
            idx.entries.push_back(dir);
            path = next;
        }
        ghost::Entry file;
        file.path = path + "/" + std::string(length - path.size() - 1, 'f');
        idx.entries.push_back(file);
        return idx;
    };
    ghost::ImageIndex deepest = chainTo(32767);
    ASSERT_EQ(32767u, deepest.entries.back().path.size());
    ASSERT_GT(deepest.entries.size(), 160u);
    std::vector<uint8_t> raw = ghost::SerializeIndex(deepest);
    ghost::ImageIndex back;
    ghost::Status s = ghost::ParseIndex(raw.data(), raw.size(), 0, 0, 1, &back);
    ASSERT_TRUE(s.ok()) << s.message;
    ASSERT_EQ(deepest.entries.size(), back.entries.size());
    EXPECT_EQ(deepest.entries.back().path, back.entries.back().path);

    ghost::ImageIndex tooLong = chainTo(32768);
    raw = ghost::SerializeIndex(tooLong);
    EXPECT_FALSE(ghost::ParseIndex(raw.data(), raw.size(), 0, 0, 1, &back).ok());

    // A missing parent anywhere in the chain is refused too.
    deepest.entries.erase(deepest.entries.begin() + 80);
    raw = ghost::SerializeIndex(deepest);
    EXPECT_FALSE(ghost::ParseIndex(raw.data(), raw.size(), 0, 0, 1, &back).ok());
}
