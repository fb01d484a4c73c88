#include "engines/ghost/image_reader.h"

#include <cstring>

#include "engines/ghost/image_writer.h"

namespace ghost {

std::string ImageReader::Where(uint32_t span, uint64_t offset) const {
    return (span < spanPaths_.size() ? spanPaths_[span] : std::string("?")) + u8"（偏移 " +
           std::to_string(offset) + u8"）";
}

Status ImageReader::Open(const std::string& path, const std::string& password, bool needIndex) {
    Status s = OpenSpans(path);
    if (!s.ok()) return s;
    if (encrypted()) {
        if (password.empty()) {
            if (needIndex) return Fail(kErrNeedPassword, u8"映像已加密，需要密码（-pwd=）。");
            return Ok();
        }
        s = CheckPassword(password);
        if (!s.ok()) return s;
    }
    return ReadIndex();
}

Status ImageReader::OpenSpans(const std::string& path) {
    auto first = std::make_unique<BinaryFile>();
    if (!first->Open(path, BinaryFile::kRead)) {
        return Fail(kErrImageOpen, u8"无法打开映像文件 " + path);
    }
    uint64_t size = first->Size();
    uint8_t raw[kImageHeaderSize];
    if (size < kImageHeaderSize || !first->ReadAt(0, raw, sizeof raw)) {
        if (size >= 8 && first->ReadAt(0, raw, 8) && memcmp(raw, kImageMagic, 8) == 0) {
            return Fail(kErrTruncated, u8"映像文件不完整（被截断）：" + path);
        }
        return Fail(kErrNotImage, u8"不是有效的映像文件：" + path);
    }
    if (memcmp(raw, kImageMagic, 8) != 0) {
        return Fail(kErrNotImage, u8"不是有效的映像文件：" + path);
    }
    ImageHeader& h = header_;
    if (!DecodeImageHeader(raw, &h)) return Fail(kErrCorrupt, u8"映像文件头已损坏：" + path);
    if (h.version < kOldestFormatVersion || h.version > kFormatVersion ||
        h.headerSize != kImageHeaderSize) {
        return Fail(kErrNotImage, u8"不支持的映像版本：" + path);
    }
    if (!h.complete) return Fail(kErrIncomplete, u8"映像文件未完成（备份曾中断）：" + path);
    bool sane = h.chunkSize == kChunkSize && h.level >= 1 && h.level <= 9 && h.spanCount >= 1 &&
                h.spanCount <= kMaxSpans && h.indexSpan < h.spanCount && h.indexChunkCount >= 1 &&
                h.indexRawSize >= 24 && h.indexRawSize <= kMaxIndexSize &&
                h.indexChunkCount == (h.indexRawSize + kChunkSize - 1) / kChunkSize &&
                h.dataChunkCount == (h.dataRawSize + kChunkSize - 1) / kChunkSize;
    if (sane && (h.flags & kImageEncrypted)) {
        sane = h.kdfId == kKdfPbkdf2Sha256 && h.cipherId == kCipherAes256Cbc &&
               h.kdfIterations >= 1 && h.kdfIterations <= kMaxKdfIterations;
    }
    if (!sane || (h.flags & ~uint32_t(kImageEncrypted))) {
        return Fail(kErrCorrupt, u8"映像文件头已损坏：" + path);
    }
    spans_.push_back(std::move(first));
    spanPaths_.push_back(path);
    spanSizes_.push_back(size);
    for (uint32_t n = 1; n < h.spanCount; ++n) {
        std::string file = SpanPath(path, n);
        auto f = std::make_unique<BinaryFile>();
        if (!f->Open(file, BinaryFile::kRead)) {
            return Fail(kErrMissingSpan, u8"缺少分卷文件 " + file);
        }
        uint8_t sraw[kSpanHeaderSize];
        SpanHeader sh;
        if (f->Size() < kSpanHeaderSize || !f->ReadAt(0, sraw, sizeof sraw) ||
            !DecodeSpanHeader(sraw, &sh) || sh.version != h.version || sh.spanNumber != n ||
            memcmp(sh.imageId, h.imageId, 16) != 0) {
            return Fail(kErrMissingSpan, u8"分卷文件不属于此映像或已损坏：" + file);
        }
        spanSizes_.push_back(f->Size());
        spans_.push_back(std::move(f));
        spanPaths_.push_back(file);
    }
    return Ok();
}

Status ImageReader::CheckPassword(const std::string& password) {
    uint8_t material[64];
    if (!DeriveKeyMaterial(password, header_.salt, header_.kdfIterations, material)) {
        return Fail(kErrCrypto, u8"无法由密码生成密钥。");
    }
    // Constant-time compare is moot for a local file, but cheap.
    uint8_t diff = 0;
    for (int i = 0; i < 32; ++i) diff |= uint8_t(material[32 + i] ^ header_.verifier[i]);
    if (diff) {
        memset(material, 0, sizeof material);
        return Fail(kErrWrongPassword, u8"映像密码不正确。");
    }
    cipher_ = MakeChunkCipher(material);
    memset(material, 0, sizeof material);
    if (!cipher_) return Fail(kErrCrypto, u8"无法初始化解密。");
    return Ok();
}

Status ImageReader::ReadAt(uint32_t span, uint64_t offset, StoredChunk* chunk) {
    if (span >= spans_.size() || offset < spanStart(span) || offset > spanSizes_[span] ||
        spanSizes_[span] - offset < kChunkHeaderSize) {
        return Fail(kErrTruncated, u8"映像文件不完整（被截断）：" + Where(span, offset));
    }
    uint8_t raw[kChunkHeaderSize];
    if (!spans_[span]->ReadAt(offset, raw, sizeof raw)) {
        return Fail(kErrRead, u8"读取映像失败：" + Where(span, offset));
    }
    if (!DecodeChunkHeader(raw, &chunk->header) || chunk->header.storedSize > kMaxStoredChunk ||
        chunk->header.rawSize > kChunkSize) {
        return Fail(kErrCorrupt, u8"映像数据块头已损坏：" + Where(span, offset));
    }
    uint64_t avail = spanSizes_[span] - offset - kChunkHeaderSize;
    if (chunk->header.storedSize > avail) {
        return Fail(kErrTruncated, u8"映像文件不完整（被截断）：" + Where(span, offset));
    }
    chunk->payload.resize(chunk->header.storedSize);
    if (!spans_[span]->ReadAt(offset + kChunkHeaderSize, chunk->payload.data(),
                              chunk->payload.size())) {
        return Fail(kErrRead, u8"读取映像失败：" + Where(span, offset));
    }
    return Ok();
}

Status ImageReader::ReadDataChunk(uint32_t i, StoredChunk* chunk) {
    const ChunkLocation& c = index_.chunks.at(i);
    Status s = ReadAt(c.span, c.offset, chunk);
    if (!s.ok()) return s;
    const ChunkHeader& h = chunk->header;
    if (h.kind != kChunkData || h.sequence != i || h.storedSize != c.storedSize ||
        h.rawSize != c.rawSize) {
        return Fail(kErrCorrupt, u8"映像数据块与索引不符：" + Where(c.span, c.offset));
    }
    return Ok();
}

Status ImageReader::ReadIndex() {
    std::vector<uint8_t> raw;
    raw.reserve(size_t(header_.indexRawSize));
    uint32_t span = header_.indexSpan;
    uint64_t offset = header_.indexOffset;
    for (uint32_t seq = 0; seq < header_.indexChunkCount; ++seq) {
        if (span < spanSizes_.size() && offset == spanSizes_[span] && span + 1 < spans_.size()) {
            ++span;
            offset = kSpanHeaderSize;
        }
        StoredChunk chunk;
        Status s = ReadAt(span, offset, &chunk);
        if (!s.ok()) return s;
        if (chunk.header.kind != kChunkIndex || chunk.header.sequence != seq) {
            return Fail(kErrCorrupt, u8"映像索引已损坏。");
        }
        std::vector<uint8_t> part;
        s = DecodeChunk(chunk, cipher_.get(), &part);
        if (!s.ok()) return Fail(kErrCorrupt, u8"映像索引已损坏（CRC 错误）。");
        if (part.size() > header_.indexRawSize - raw.size()) {
            return Fail(kErrCorrupt, u8"映像索引已损坏。");
        }
        raw.insert(raw.end(), part.begin(), part.end());
        offset += kChunkHeaderSize + chunk.header.storedSize;
    }
    if (raw.size() != header_.indexRawSize || Crc32(raw.data(), raw.size()) != header_.indexCrc) {
        return Fail(kErrCorrupt, u8"映像索引已损坏。");
    }
    Status s = ParseIndex(raw.data(), raw.size(), header_.dataChunkCount, header_.dataRawSize,
                          header_.spanCount, &index_);
    if (!s.ok()) return s;
    // Every data chunk must lie inside its file and all but the last be full:
    // a truncated or missing piece is found here, before anything is written.
    for (uint32_t i = 0; i < index_.chunks.size(); ++i) {
        const ChunkLocation& c = index_.chunks[i];
        bool last = i + 1 == index_.chunks.size();
        if (c.rawSize != (last ? header_.dataRawSize - uint64_t(i) * kChunkSize : kChunkSize)) {
            return Fail(kErrCorrupt, u8"映像索引已损坏。");
        }
        if (c.offset < spanStart(c.span) || c.offset > spanSizes_[c.span] ||
            spanSizes_[c.span] - c.offset < uint64_t(kChunkHeaderSize) + c.storedSize) {
            return Fail(kErrTruncated, u8"映像文件不完整（被截断）：" + spanPaths_[c.span]);
        }
    }
    return Ok();
}

}  // namespace ghost
