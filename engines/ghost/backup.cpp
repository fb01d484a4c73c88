// Backup: scan the volume, lay every file's bytes out as one data stream, cut the
// stream into chunks that are compressed on all cores and written in order.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engines/ghost/operations.h"
#include "engines/ghost/pipeline.h"
#include "engines/ghost/tree_plan.h"

namespace ghost {

unsigned WorkerThreads() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 2 : n;
}

namespace {

struct Source {
    const Entry* entry;
    const ExtraStream* stream;  // null: main data
    uint64_t size;
};

// Gives every file and extra stream its place in the data stream. Files are laid
// out in the order the volume reads fastest (inode order on a folder: creation
// order, close to where the data lies), not name order: on a tree of many small
// files, name order makes the reads jump back and forth over the disk. A restore
// takes the data in any order: every entry records its own offset.
uint64_t LayOut(std::vector<Entry>* entries, std::vector<Source>* sources) {
    std::vector<Entry*> order;
    order.reserve(entries->size());
    for (Entry& e : *entries) {
        if (e.type == EntryType::kFile || !e.streams.empty()) order.push_back(&e);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Entry* a, const Entry* b) { return a->diskOrder < b->diskOrder; });
    uint64_t offset = 0;
    for (Entry* e : order) {
        if (e->type == EntryType::kFile) {
            e->dataOffset = offset;
            offset += e->dataSize;
            if (e->dataSize) sources->push_back({e, nullptr, e->dataSize});
        }
        for (ExtraStream& s : e->streams) {
            s.offset = offset;
            offset += s.size;
            if (s.size) sources->push_back({e, &s, s.size});
        }
    }
    return offset;
}

// Asks the volume for the files a little ahead of the reader, so that many small
// reads are in flight at once instead of one after the other. Bounded in files and
// bytes: what it fetches is wanted soon and stays in the cache until then.
class Prefetcher {
  public:
    static constexpr size_t kFilesAhead = 512;
    static constexpr uint64_t kBytesAhead = 32 << 20;

    Prefetcher(VolumeFs& volume, const std::vector<Source>& sources)
        : volume_(volume), sources_(sources), end_(sources.size() + 1, 0) {
        for (size_t i = 0; i < sources.size(); ++i) end_[i + 1] = end_[i] + sources[i].size;
        thread_ = std::thread([this] { Run(); });
    }
    ~Prefetcher() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    // The reader is at source i.
    void Reached(size_t i) {
        {
            std::lock_guard<std::mutex> lock(mu_);
            reader_ = i;
        }
        cv_.notify_all();
    }

  private:
    void Run() {
        for (size_t i = 0; i < sources_.size(); ++i) {
            {
                std::unique_lock<std::mutex> lock(mu_);
                cv_.wait(lock, [&] {
                    return stop_ || i < reader_ ||
                           (i - reader_ < kFilesAhead && end_[i] - end_[reader_] < kBytesAhead);
                });
                if (stop_) return;
                if (i < reader_) continue;  // the reader got there first
            }
            if (!sources_[i].stream) volume_.Prefetch(*sources_[i].entry);
        }
    }

    VolumeFs& volume_;
    const std::vector<Source>& sources_;
    std::vector<uint64_t> end_;  // end_[i]: bytes of the sources before source i
    std::mutex mu_;
    std::condition_variable cv_;
    size_t reader_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

struct EncodeJob {
    uint32_t sequence = 0;
    std::vector<uint8_t> raw;
};
struct EncodeResult {
    Status status;
    StoredChunk chunk;
    size_t rawSize = 0;
};

}  // namespace

Status BackupVolume(VolumeFs& source, const std::string& imagePath,
                    const ImageWriter::Options& options, const ProgressFn& progress) {
    std::vector<Entry> entries;
    Status s = source.Scan(&entries, [&] { return progress(0, 0); });
    if (!s.ok()) return s;
    std::vector<Source> sources;
    const uint64_t total = LayOut(&entries, &sources);

    ImageWriter writer;
    s = writer.Create(imagePath, options);
    if (!s.ok()) return s;

    std::atomic<uint64_t> written{0};
    Status sinkStatus;
    ChunkCipher* cipher = writer.cipher();
    const int level = writer.level();
    {
        OrderedPipeline<EncodeJob, EncodeResult> pipe(
            WorkerThreads(), size_t(WorkerThreads()) * 2 + 2,
            [&](EncodeJob& job) {
                EncodeResult r;
                r.rawSize = job.raw.size();
                r.status = EncodeChunk(kChunkData, job.sequence, job.raw.data(), job.raw.size(),
                                       level, cipher, &r.chunk);
                return r;
            },
            [&](EncodeResult& r) {
                if (r.status.ok()) r.status = writer.Append(r.chunk);
                if (!r.status.ok()) {
                    sinkStatus = r.status;
                    return false;
                }
                written += r.rawSize;
                return true;
            });

        EncodeJob job;
        job.raw.reserve(kChunkSize);
        std::vector<uint8_t> buffer(256 * 1024);
        auto flush = [&]() -> bool {
            EncodeJob next;
            next.sequence = job.sequence + 1;
            next.raw.reserve(kChunkSize);
            std::swap(job, next);
            return pipe.Submit(std::move(next));
        };
        uint64_t fed = 0;
        Prefetcher prefetcher(source, sources);
        for (size_t next = 0; next < sources.size(); ++next) {
            const Source& src = sources[next];
            if (!s.ok()) break;
            prefetcher.Reached(next);
            auto in = source.OpenData(*src.entry, src.stream);
            if (!in) {
                s = Fail(kErrRead, u8"无法读取文件 " + source.root() + "/" + src.entry->path +
                                       (src.stream ? ":" + src.stream->name : std::string()));
                break;
            }
            uint64_t left = src.size;
            while (left > 0) {
                if (!progress(written.load(), total)) {
                    s = Fail(kErrCancelled, "");
                    break;
                }
                size_t want = size_t(std::min<uint64_t>(left, buffer.size()));
                long long n = in->Read(buffer.data(), want);
                if (n < 0) {
                    s = Fail(kErrRead, u8"读取文件失败 " + source.root() + "/" + src.entry->path);
                    break;
                }
                // A file that shrank since the scan keeps its recorded size, zero-filled;
                // one that grew is cut there. Offsets stay as the index says.
                if (n == 0) {
                    std::fill(buffer.begin(), buffer.begin() + want, 0);
                    n = (long long)want;
                }
                const uint8_t* p = buffer.data();
                size_t got = size_t(n);
                left -= got;
                fed += got;
                while (got > 0) {
                    size_t room = kChunkSize - job.raw.size();
                    size_t take = std::min(room, got);
                    job.raw.insert(job.raw.end(), p, p + take);
                    p += take;
                    got -= take;
                    if (job.raw.size() == kChunkSize && !flush()) {
                        s = Fail(kErrInternal, u8"内部错误。");  // replaced by the sink's status
                        break;
                    }
                }
                if (!s.ok()) break;
            }
        }
        if (s.ok() && !job.raw.empty() && !flush()) s = Fail(kErrInternal, u8"内部错误。");
        if (!s.ok()) pipe.Stop();
        pipe.Finish();
        // After Finish the sink thread has ended, so its status can be read.
        if (!sinkStatus.ok() && (s.ok() || s.code == kErrInternal)) s = sinkStatus;
        (void)fed;
    }
    if (s.ok() && !progress(total, total)) s = Fail(kErrCancelled, "");
    if (s.ok()) s = writer.Finish(std::move(entries), total);
    if (!s.ok()) writer.Discard();
    // The image is complete; what it lacks is still reported, not passed over.
    if (s.ok()) s = NotKeptStatus(source.notKept());
    return s;
}

}  // namespace ghost
