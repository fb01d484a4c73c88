// Bounded fuzzing of the image reader: a valid image is mutated (bytes, fields,
// lengths, the index itself) with checksums repaired so that the mutations reach
// past the CRC checks; every result is opened, checked and extracted. Under ASan
// and UBSan any out-of-bounds access fails the test; an extraction must never
// write outside its destination.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "engines/ghost/chunk_codec.h"
#include "engines/ghost/format.h"
#include "engines/ghost/operations.h"
#include "tests/ghost/tree_util.h"

using namespace ghosttest;

namespace {

const ghost::ProgressFn kGo = [](uint64_t, uint64_t) { return true; };

std::string MakeImage(const TempDir& tmp, const std::string& password) {
    std::string src = tmp / "src";
    MakeDirs(src + "/dir/sub");
    WriteFile(src + "/dir/a.txt", "alpha");
    WriteFile(src + "/dir/sub/b.bin", RandomBytes(1500000, 7));
    WriteFile(src + "/c.txt", std::string(5000, 'c'));
    WriteFile(src + "/empty", "");
    link((src + "/c.txt").c_str(), (src + "/dir/c-link").c_str());
    symlink("dir/a.txt", (src + "/sym").c_str());
    setxattr((src + "/dir/a.txt").c_str(), "user.k", "v", 1, 0);
    auto fs = ghost::OpenVolumeFs(src);
    ghost::ImageWriter::Options o;
    o.level = 6;
    o.password = password;
    o.kdfIterations = 1000;
    std::string image = tmp / "seed.GHO";
    EXPECT_TRUE(ghost::BackupVolume(*fs, image, o, kGo).ok());
    return ReadFile(image);
}

// Recomputes the header CRC and, walking the chunk chain as far as it holds, every
// chunk header CRC and (when asked) every stored-payload CRC.
void RepairChecksums(std::string* img, bool payloads) {
    if (img->size() < ghost::kImageHeaderSize) return;
    uint8_t* p = reinterpret_cast<uint8_t*>(&(*img)[0]);
    ghost::StoreLe32(p + 508, ghost::Crc32(p, 508));
    uint64_t pos = ghost::kImageHeaderSize;
    while (pos + ghost::kChunkHeaderSize <= img->size()) {
        uint8_t* h = p + pos;
        uint32_t stored = ghost::LoadLe32(h + 20);
        if (stored > img->size() - pos - ghost::kChunkHeaderSize) break;
        if (payloads) ghost::StoreLe32(h + 28, ghost::Crc32(h + ghost::kChunkHeaderSize, stored));
        ghost::StoreLe32(h + 48, ghost::Crc32(h, 48));
        pos += ghost::kChunkHeaderSize + stored;
    }
}

// Replaces the index of an unencrypted image by other serialized bytes.
std::string WithIndex(const std::string& img, const std::vector<uint8_t>& index) {
    ghost::ImageHeader h;
    ghost::DecodeImageHeader(reinterpret_cast<const uint8_t*>(img.data()), &h);
    std::string out = img.substr(0, size_t(h.indexOffset));
    uint32_t seq = 0;
    for (size_t pos = 0; pos < index.size() || seq == 0; pos += ghost::kChunkSize, ++seq) {
        size_t n = std::min<size_t>(ghost::kChunkSize, index.size() - pos);
        ghost::StoredChunk c;
        ghost::EncodeChunk(ghost::kChunkIndex, seq, index.data() + pos, n, 1, nullptr, &c);
        uint8_t raw[ghost::kChunkHeaderSize];
        ghost::EncodeChunkHeader(c.header, raw);
        out.append(reinterpret_cast<char*>(raw), sizeof raw);
        out.append(c.payload.begin(), c.payload.end());
        if (n == index.size() - pos) {
            ++seq;
            break;
        }
    }
    h.indexRawSize = index.size();
    h.indexCrc = ghost::Crc32(index.data(), index.size());
    h.indexChunkCount = seq;
    uint8_t raw[ghost::kImageHeaderSize];
    ghost::EncodeImageHeader(h, raw);
    out.replace(0, sizeof raw, reinterpret_cast<char*>(raw), sizeof raw);
    return out;
}

void Exercise(const std::string& bytes, const TempDir& tmp, const std::string& password,
              int round) {
    std::string image = tmp / "fuzz.GHO";
    WriteFile(image, bytes);
    ghost::CheckImage(image, password, kGo);
    ghost::ImageReader reader;
    if (!reader.Open(image, password).ok()) return;
    std::string box = tmp / ("box" + std::to_string(round));
    std::string dest = box + "/dest";
    MakeDirs(dest);
    std::vector<uint32_t> all;
    for (uint32_t i = 0; i < reader.index().entries.size(); ++i) all.push_back(i);
    auto fs = ghost::OpenVolumeFs(dest);
    ghost::ExtractEntries(reader, all, *fs, round % 2 == 0, kGo);
    // Nothing may appear beside the destination.
    auto around = Describe(box);
    for (const auto& [path, what] : around) {
        EXPECT_EQ(0u, path.rfind("dest", 0)) << "escaped: " << path;
    }
    std::string cmd = "chmod -R u+rwx '" + box + "'; rm -rf '" + box + "'";
    ASSERT_EQ(0, system(cmd.c_str()));
}

TEST(GhostFuzz, MutatedImagesNeverCrashOrEscape) {
    TempDir tmp;
    const std::string plain = MakeImage(tmp, "");
    ghost::ImageReader seedReader;
    ASSERT_TRUE(seedReader.Open(tmp / "seed.GHO", "").ok());
    const std::vector<uint8_t> index = ghost::SerializeIndex(seedReader.index());

    std::mt19937 rng(20261208);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int rounds = 0;
    for (; rounds < 1500 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        std::string img;
        int kind = int(rng() % 4);
        if (kind == 3) {
            // Mutate the serialized index and wrap it back in a well-formed image.
            std::vector<uint8_t> idx = index;
            int edits = 1 + int(rng() % 4);
            for (int e = 0; e < edits && !idx.empty(); ++e) {
                size_t at = rng() % idx.size();
                switch (rng() % 4) {
                    case 0:
                        idx[at] ^= uint8_t(1u << (rng() % 8));
                        break;
                    case 1:
                        idx[at] = uint8_t(rng());
                        break;
                    case 2:
                        if (at + 4 <= idx.size()) {
                            const uint32_t v[] = {0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 2, 1048576};
                            ghost::StoreLe32(&idx[at], v[rng() % 6]);
                        }
                        break;
                    case 3:
                        idx.resize(at);
                        break;
                }
            }
            img = WithIndex(plain, idx);
        } else {
            img = plain;
            int edits = 1 + int(rng() % 6);
            for (int e = 0; e < edits && !img.empty(); ++e) {
                size_t at = rng() % (rng() % 2 ? std::min<size_t>(img.size(), 700) : img.size());
                switch (rng() % 3) {
                    case 0:
                        img[at] = char(rng());
                        break;
                    case 1:
                        if (at + 8 <= img.size()) {
                            uint64_t v = rng() % 2 ? rng() : (uint64_t(rng()) << 32 | rng());
                            ghost::StoreLe64(reinterpret_cast<uint8_t*>(&img[at]), v);
                        }
                        break;
                    case 2:
                        img.resize(at);
                        break;
                }
            }
            if (kind >= 1) RepairChecksums(&img, kind == 2);
        }
        Exercise(img, tmp, "", rounds);
        if (HasFatalFailure() || HasNonfatalFailure()) break;
    }
    EXPECT_GT(rounds, 100);

    // Encrypted images: damaged ciphertext must be refused, not trusted.
    TempDir tmp2;
    const std::string secret = MakeImage(tmp2, "pw");
    for (int r = 0; r < 30; ++r) {
        std::string img = secret;
        size_t at = ghost::kImageHeaderSize + rng() % (img.size() - ghost::kImageHeaderSize);
        img[at] = char(img[at] ^ (1 + rng() % 255));
        RepairChecksums(&img, true);
        Exercise(img, tmp2, "pw", r);
    }
}

TEST(GhostFuzz, ParseIndexRejectsHostileEntries) {
    ghost::ImageIndex idx;
    idx.chunks.push_back({0, ghost::kImageHeaderSize, 10, 10});
    auto parse = [&](const ghost::Entry& e) {
        ghost::ImageIndex copy = idx;
        copy.entries = {e};
        std::vector<uint8_t> raw = ghost::SerializeIndex(copy);
        ghost::ImageIndex out;
        return ghost::ParseIndex(raw.data(), raw.size(), 1, 10, 1, &out).code;
    };
    ghost::Entry ok;
    ok.path = "file.txt";
    ok.dataSize = 10;
    EXPECT_EQ(ghost::kOk, parse(ok));
    for (const char* bad :
         {"../escape", "a/../../b", "/abs", "a//b", "a\\b", "C:x", "a/", ".", ""}) {
        ghost::Entry e = ok;
        e.path = bad;
        EXPECT_EQ(ghost::kErrCorrupt, parse(e)) << bad;
    }
    ghost::Entry orphan = ok;
    orphan.path = "no-such-dir/file";
    EXPECT_EQ(ghost::kErrCorrupt, parse(orphan));
    ghost::Entry tooLong = ok;
    tooLong.dataSize = 11;
    EXPECT_EQ(ghost::kErrCorrupt, parse(tooLong));
    ghost::Entry selfLink = ok;
    selfLink.type = ghost::EntryType::kHardLink;
    EXPECT_EQ(ghost::kErrCorrupt, parse(selfLink));
    ghost::Entry badStream = ok;
    badStream.streams.push_back({ghost::StreamKind::kAlternate, "x:y", 0, 1});
    EXPECT_EQ(ghost::kErrCorrupt, parse(badStream));
}

}  // namespace
