// The Ghost image reader on untrusted files. The first input byte picks what is read
// and how the rest is shaped:
//   bits 0-1  0: a whole image (file written and opened as the engine opens it, every
//                data chunk read and decoded), 1: a serialized index, 2: one stored
//                chunk (header and payload), 3: an image header and a span header;
//   bit 2     repair the CRCs first (header, chunk headers, payloads, the index), so
//             that mutations reach past the checksums;
//   bit 3     open with the password of the seed images;
//   bit 4     write the image as two spans, cut where the next four bytes say.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engines/ghost/chunk_codec.h"
#include "engines/ghost/entry.h"
#include "engines/ghost/format.h"
#include "engines/ghost/image_reader.h"
#include "engines/ghost/image_writer.h"
#include "tests/fuzz/fuzz_io.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

using namespace ghost;

std::string WorkDir();

void RemoveWorkDir() {
    unlink((WorkDir() + "/image.GHO").c_str());
    unlink(SpanPath(WorkDir() + "/image.GHO", 1).c_str());
    rmdir(WorkDir().c_str());
}

std::string WorkDir() {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string* dir = [] {
        // In memory when the machine has /dev/shm: the files are rewritten every input.
        struct stat st;
        const std::string base = stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp";
        std::string d = base + "/sb-fuzz-ghost-" + std::to_string(getpid());
        mkdir(d.c_str(), 0700);
        atexit(RemoveWorkDir);
        return new std::string(d);
    }();
    return *dir;
}

// Chunk headers and payload CRCs along the chain from pos; unencrypted stored chunks
// also get their raw CRC.
void RepairChain(std::vector<uint8_t>& img, uint64_t pos) {
    while (pos + kChunkHeaderSize <= img.size()) {
        uint8_t* h = img.data() + pos;
        uint32_t stored = LoadLe32(h + 20);
        if (stored > img.size() - pos - kChunkHeaderSize) break;
        const uint8_t* payload = h + kChunkHeaderSize;
        StoreLe32(h + 28, Crc32(payload, stored));
        if ((LoadLe32(h + 12) & (kChunkDeflated | kChunkEncrypted)) == 0) {
            StoreLe32(h + 16, stored);
            StoreLe32(h + 24, Crc32(payload, stored));
        }
        StoreLe32(h + 48, Crc32(h, 48));
        pos += kChunkHeaderSize + stored;
    }
}

void RepairImage(std::vector<uint8_t>& img) {
    if (img.size() < kImageHeaderSize) return;
    uint8_t* p = img.data();
    // A slow key derivation would only measure the KDF.
    if (LoadLe32(p + 112) > 1000) StoreLe32(p + 112, 1000);
    RepairChain(img, kImageHeaderSize);
    // The index: its raw size and CRC follow from its (unencrypted) chunks.
    ImageHeader h;
    StoreLe32(p + 508, Crc32(p, 508));
    if (!DecodeImageHeader(p, &h) || (h.flags & kImageEncrypted) || h.indexOffset > img.size())
        return;
    std::vector<uint8_t> index;
    uint64_t pos = h.indexOffset;
    for (uint32_t seq = 0; seq < h.indexChunkCount && seq < 16; ++seq) {
        if (pos + kChunkHeaderSize > img.size()) break;
        StoredChunk c;
        if (!DecodeChunkHeader(p + pos, &c.header)) break;
        if (c.header.storedSize > img.size() - pos - kChunkHeaderSize ||
            c.header.storedSize > kMaxStoredChunk)
            break;
        c.payload.assign(p + pos + kChunkHeaderSize,
                         p + pos + kChunkHeaderSize + c.header.storedSize);
        std::vector<uint8_t> part;
        if (!DecodeChunk(c, nullptr, &part).ok()) break;
        index.insert(index.end(), part.begin(), part.end());
        pos += kChunkHeaderSize + c.header.storedSize;
    }
    StoreLe64(p + 72, index.size());
    StoreLe32(p + 80, Crc32(index.data(), index.size()));
    StoreLe32(p + 508, Crc32(p, 508));
}

void WholeImage(std::vector<uint8_t> img, bool repair, bool password, bool twoSpans, uint32_t cut) {
    if (repair) RepairImage(img);
    const std::string path = WorkDir() + "/image.GHO";
    const std::string second = SpanPath(path, 1);
    if (twoSpans && img.size() > kImageHeaderSize) {
        // The second span gets a span header taken from the image's own id.
        size_t at = kImageHeaderSize + cut % (img.size() - kImageHeaderSize + 1);
        fuzz::WriteWholeFile(path, img.data(), at);
        std::vector<uint8_t> rest(kSpanHeaderSize, 0);
        SpanHeader sh{};
        ImageHeader h{};
        DecodeImageHeader(img.data(), &h);
        memcpy(sh.magic, "SBGSPAN1", sizeof sh.magic);
        sh.version = h.version;
        sh.spanNumber = 1;
        memcpy(sh.imageId, h.imageId, sizeof sh.imageId);
        EncodeSpanHeader(sh, rest.data());
        rest.insert(rest.end(), img.begin() + long(at), img.end());
        fuzz::WriteWholeFile(second, rest.data(), rest.size());
    } else {
        fuzz::WriteWholeFile(path, img.data(), img.size());
        unlink(second.c_str());
    }
    ImageReader reader;
    if (!reader.Open(path, password ? u8"互通 pass" : "", true).ok()) return;
    std::vector<uint8_t> raw;
    for (uint32_t i = 0; i < reader.index().chunks.size() && i < 64; ++i) {
        StoredChunk c;
        if (!reader.ReadDataChunk(i, &c).ok()) continue;
        DecodeChunk(c, reader.cipher(), &raw);
    }
}

}  // namespace

SB_FUZZ_TARGET(ghost_image) {
    if (size < 1) return;
    const uint8_t mode = data[0];
    const uint8_t* in = data + 1;
    const size_t n = size - 1;
    switch (mode & 3) {
        case 0: {
            uint32_t cut = 0;
            size_t skip = (mode & 16) && n >= 4 ? 4 : 0;
            if (skip) cut = LoadLe32(in);
            WholeImage(std::vector<uint8_t>(in + skip, in + n), mode & 4, mode & 8, mode & 16, cut);
            break;
        }
        case 1: {
            if (n < 9) return;
            ImageIndex index;
            ParseIndex(in + 9, n - 9, LoadLe32(in), LoadLe32(in + 4), 1 + in[8] % 4, &index);
            break;
        }
        case 2: {
            if (n < kChunkHeaderSize) return;
            std::vector<uint8_t> copy(in, in + n);
            if (mode & 4) RepairChain(copy, 0);
            StoredChunk c;
            if (!DecodeChunkHeader(copy.data(), &c.header)) return;
            if (c.header.storedSize > kMaxStoredChunk || c.header.rawSize > kChunkSize) return;
            c.payload.assign(copy.begin() + kChunkHeaderSize, copy.end());
            c.payload.resize(c.header.storedSize < c.payload.size() ? c.header.storedSize
                                                                    : c.payload.size());
            std::vector<uint8_t> raw;
            DecodeChunk(c, nullptr, &raw);
            break;
        }
        default: {
            if (n < kImageHeaderSize + kSpanHeaderSize) return;
            ImageHeader h;
            SpanHeader s;
            DecodeImageHeader(in, &h);
            DecodeSpanHeader(in + kImageHeaderSize, &s);
            break;
        }
    }
}
