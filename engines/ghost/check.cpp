// Image check: walks every span from start to end, chunk by chunk, so that a fault
// anywhere (including bytes the index does not point at) is found.
#include <atomic>

#include "engines/ghost/operations.h"
#include "engines/ghost/pipeline.h"

namespace ghost {

namespace {

struct CheckTask {
    uint32_t span = 0;
    uint64_t offset = 0;
    StoredChunk chunk;
};
struct CheckDone {
    uint32_t span = 0;
    uint64_t offset = 0;
    uint64_t bytes = 0;
    Status status;
};

}  // namespace

Status CheckImage(const std::string& imagePath, const std::string& password,
                  const ProgressFn& progress) {
    ImageReader image;
    Status s = image.Open(imagePath, password, /*needIndex=*/false);
    if (!s.ok()) return s;
    const ImageHeader& h = image.header();
    // Without the password an encrypted image's index stays closed: only the stored
    // bytes can be verified then.
    const bool haveIndex = !image.encrypted() || image.cipher();
    ChunkCipher* cipher = image.cipher();
    const bool decode = !image.encrypted() || cipher;

    uint64_t total = 0;
    for (uint32_t i = 0; i < image.spanCount(); ++i) total += image.spanSize(i);
    std::atomic<uint64_t> done{0};
    Status sinkStatus;
    {
        OrderedPipeline<CheckTask, CheckDone> pipe(
            WorkerThreads(), size_t(WorkerThreads()) * 2 + 2,
            [&](CheckTask& t) {
                CheckDone d;
                d.span = t.span;
                d.offset = t.offset;
                d.bytes = kChunkHeaderSize + t.chunk.payload.size();
                if (decode) {
                    std::vector<uint8_t> raw;
                    d.status = DecodeChunk(t.chunk, cipher, &raw);
                } else if (Crc32(t.chunk.payload.data(), t.chunk.payload.size()) !=
                           t.chunk.header.storedCrc) {
                    d.status = Fail(kErrCrc, "");
                }
                return d;
            },
            [&](CheckDone& d) {
                if (!d.status.ok()) {
                    sinkStatus =
                        Fail(kErrCrc, u8"映像数据 CRC 校验错误：" + image.Where(d.span, d.offset));
                    return false;
                }
                done += d.bytes;
                return true;
            });

        uint32_t dataSeq = 0, indexSeq = 0;
        for (uint32_t span = 0; span < image.spanCount() && s.ok(); ++span) {
            uint64_t pos = image.spanStart(span);
            while (pos < image.spanSize(span)) {
                if (!progress(done.load(), total)) {
                    s = Fail(kErrCancelled, "");
                    break;
                }
                CheckTask t;
                t.span = span;
                t.offset = pos;
                s = image.ReadAt(span, pos, &t.chunk);
                if (!s.ok()) break;
                const ChunkHeader& ch = t.chunk.header;
                bool inOrder;
                if (ch.kind == kChunkData) {
                    inOrder =
                        indexSeq == 0 && ch.sequence == dataSeq++ && dataSeq <= h.dataChunkCount;
                    if (inOrder && haveIndex && !image.index().chunks.empty()) {
                        const ChunkLocation& c = image.index().chunks[ch.sequence];
                        inOrder = c.span == span && c.offset == pos;
                    }
                } else if (ch.kind == kChunkIndex) {
                    inOrder = ch.sequence == indexSeq++ && indexSeq <= h.indexChunkCount &&
                              (ch.sequence != 0 || (span == h.indexSpan && pos == h.indexOffset));
                } else {
                    inOrder = false;
                }
                if (!inOrder) {
                    s = Fail(kErrCorrupt, u8"映像数据块顺序错误：" + image.Where(span, pos));
                    break;
                }
                pos += kChunkHeaderSize + ch.storedSize;
                if (!pipe.Submit(std::move(t))) break;
            }
        }
        if (s.ok() && (dataSeq != h.dataChunkCount || indexSeq != h.indexChunkCount)) {
            s = Fail(kErrTruncated, u8"映像文件不完整：数据块数量与文件头不符。");
        }
        // A layout fault found by this thread lies after every chunk already queued,
        // so the queue is drained to report an earlier CRC fault first.
        if (s.code == kErrCancelled) pipe.Stop();
        pipe.Finish();
    }
    if (!sinkStatus.ok()) return sinkStatus;
    return s;
}

}  // namespace ghost
