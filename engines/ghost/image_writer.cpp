#include "engines/ghost/image_writer.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>

#include "engines/ghost/pipeline.h"

namespace ghost {

std::string SpanPath(const std::string& imagePath, uint32_t span) {
    if (span == 0) return imagePath;
    size_t slash = imagePath.find_last_of("/\\");
    size_t dot = imagePath.rfind('.');
    std::string stem = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                           ? imagePath
                           : imagePath.substr(0, dot);
    char number[16];
    snprintf(number, sizeof number, "%03u", span);
    return stem + number + ".GHS";
}

ImageWriter::~ImageWriter() {
    if (!finished_) Discard();
}

Status ImageWriter::Create(const std::string& path, const Options& options) {
    path_ = path;
    options_ = options;
    ImageHeader& h = header_;
    memcpy(h.magic, kImageMagic, 8);
    h.version = kFormatVersion;
    h.headerSize = kImageHeaderSize;
    h.chunkSize = kChunkSize;
    h.level = uint32_t(options.level);
    h.spanLimit = options.spanLimit;
    h.createdUnix = int64_t(time(nullptr));
    h.origin = options.origin;
    if (!RandomBytes(h.imageId, sizeof h.imageId)) return Fail(kErrCrypto, u8"无法取得随机数。");
    if (!options.password.empty()) {
        uint8_t material[64];
        h.flags |= kImageEncrypted;
        h.kdfId = kKdfPbkdf2Sha256;
        h.cipherId = kCipherAes256Cbc;
        h.kdfIterations = options.kdfIterations;
        if (!RandomBytes(h.salt, sizeof h.salt) ||
            !DeriveKeyMaterial(options.password, h.salt, h.kdfIterations, material)) {
            return Fail(kErrCrypto, u8"无法由密码生成密钥。");
        }
        memcpy(h.verifier, material + 32, 32);
        cipher_ = MakeChunkCipher(material);
        memset(material, 0, sizeof material);
        if (!cipher_) return Fail(kErrCrypto, u8"无法初始化加密。");
    }
    return OpenSpan(0);
}

// Spans are written under working names and take their own names only when the image
// is complete: a failed or cancelled backup leaves an older image at the path intact.
static std::string WorkingPath(const std::string& imagePath, uint32_t span) {
    return SpanPath(imagePath, span) + ".partial";
}

// A write that failed: a full volume is named as such (the user can free space or
// choose another place), anything else as a write error.
static Status WriteFailure(const BinaryFile& f, const std::string& file) {
    if (f.foundVolumeFull()) return Fail(kErrTargetFull, u8"保存映像的分区空间不足：" + file);
    return Fail(kErrWrite, u8"无法写入映像文件 " + file);
}

Status ImageWriter::OpenSpan(uint32_t span) {
    if (span >= kMaxSpans) return Fail(kErrWrite, u8"分卷数量超过上限。");
    std::string file = SpanPath(path_, span);
    auto f = std::make_unique<BinaryFile>();
    if (!f->Open(WorkingPath(path_, span), BinaryFile::kCreate)) {
        return Fail(kErrImageOpen, u8"无法创建映像文件 " + file);
    }
    spans_.push_back(std::move(f));
    if (span == 0) {
        uint8_t raw[kImageHeaderSize];
        EncodeImageHeader(header_, raw);  // incomplete until Finish rewrites it
        if (!spans_.back()->WriteAt(0, raw, sizeof raw)) return WriteFailure(*spans_.back(), file);
        spanPos_ = kImageHeaderSize;
    } else {
        SpanHeader sh{};
        memcpy(sh.magic, kSpanMagic, 8);
        sh.version = kFormatVersion;
        sh.spanNumber = span;
        memcpy(sh.imageId, header_.imageId, 16);
        uint8_t raw[kSpanHeaderSize];
        EncodeSpanHeader(sh, raw);
        if (!spans_.back()->WriteAt(0, raw, sizeof raw)) return WriteFailure(*spans_.back(), file);
        spanPos_ = kSpanHeaderSize;
    }
    return Ok();
}

Status ImageWriter::WriteStored(const StoredChunk& chunk, ChunkLocation* where) {
    uint64_t need = kChunkHeaderSize + chunk.payload.size();
    uint64_t start = spans_.size() == 1 ? kImageHeaderSize : kSpanHeaderSize;
    if (options_.spanLimit && spanPos_ + need > options_.spanLimit && spanPos_ > start) {
        Status s = OpenSpan(uint32_t(spans_.size()));
        if (!s.ok()) return s;
    }
    uint8_t raw[kChunkHeaderSize];
    EncodeChunkHeader(chunk.header, raw);
    BinaryFile& f = *spans_.back();
    if (!f.WriteAt(spanPos_, raw, sizeof raw) ||
        !f.WriteAt(spanPos_ + kChunkHeaderSize, chunk.payload.data(), chunk.payload.size())) {
        return WriteFailure(f, SpanPath(path_, uint32_t(spans_.size() - 1)));
    }
    where->span = uint32_t(spans_.size() - 1);
    where->offset = spanPos_;
    where->storedSize = chunk.header.storedSize;
    where->rawSize = chunk.header.rawSize;
    spanPos_ += need;
    return Ok();
}

Status ImageWriter::Append(const StoredChunk& chunk) {
    ChunkLocation where;
    Status s = WriteStored(chunk, &where);
    if (s.ok()) chunks_.push_back(where);
    return s;
}

Status ImageWriter::Finish(std::vector<Entry> entries, uint64_t dataRawSize) {
    std::vector<uint8_t> raw;
    {
        // The entries are freed once serialized, before the chunks are encoded.
        ImageIndex index;
        index.chunks = chunks_;
        index.entries = std::move(entries);
        raw = SerializeIndex(index);
        header_.entryCount = index.entries.size();
    }
    header_.indexRawSize = raw.size();
    header_.indexCrc = Crc32(raw.data(), raw.size());
    header_.dataChunkCount = uint32_t(chunks_.size());
    header_.dataRawSize = dataRawSize;
    // The index of a large tree runs to tens of MiB: its chunks are encoded on all
    // cores, then written in order.
    const uint32_t count = uint32_t((raw.size() + kChunkSize - 1) / kChunkSize);
    std::vector<StoredChunk> encoded(count);
    std::vector<Status> results(count);
    unsigned threads = std::thread::hardware_concurrency();
    ParallelFor(count, threads ? threads : 2, [&](size_t i) {
        size_t pos = i * kChunkSize, n = std::min<size_t>(kChunkSize, raw.size() - pos);
        results[i] = EncodeChunk(kChunkIndex, uint32_t(i), raw.data() + pos, n, options_.level,
                                 cipher_.get(), &encoded[i]);
    });
    uint32_t sequence = 0;
    for (; sequence < count; ++sequence) {
        if (!results[sequence].ok()) return results[sequence];
        ChunkLocation where;
        Status s = WriteStored(encoded[sequence], &where);
        if (!s.ok()) return s;
        encoded[sequence] = StoredChunk();
        if (sequence == 0) {
            header_.indexSpan = where.span;
            header_.indexOffset = where.offset;
        }
    }
    header_.indexChunkCount = sequence;
    header_.spanCount = uint32_t(spans_.size());
    header_.complete = 1;
    uint8_t head[kImageHeaderSize];
    EncodeImageHeader(header_, head);
    if (!spans_[0]->WriteAt(0, head, sizeof head)) return WriteFailure(*spans_[0], path_);
    for (size_t i = 0; i < spans_.size(); ++i) {
        if (!spans_[i]->Close()) {
            return Fail(kErrWrite, u8"无法写入映像文件 " + SpanPath(path_, uint32_t(i)));
        }
    }
    // The first span last: the image's own name appears once all its spans are in place.
    for (size_t i = spans_.size(); i-- > 0;) {
        const std::string file = SpanPath(path_, uint32_t(i));
        if (!RenameReplacing(WorkingPath(path_, uint32_t(i)), file))
            return Fail(kErrWrite, u8"无法写入映像文件 " + file);
        renamed_ = i;
    }
    finished_ = true;
    return Ok();
}

void ImageWriter::Discard() {
    for (size_t i = 0; i < spans_.size() && i < renamed_; ++i) {
        spans_[i]->Close();
        RemoveFile(WorkingPath(path_, uint32_t(i)));
    }
    spans_.clear();
    finished_ = true;
}

}  // namespace ghost
