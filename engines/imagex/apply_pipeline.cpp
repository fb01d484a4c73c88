#include "engines/imagex/apply_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace imagex {

using wim::ChunkExtent;
using wim::Compression;
using wim::Error;
using wim::Status;

namespace {

constexpr uint64_t kSpanLimit = 8u << 20;  // one read covers at most this much
constexpr uint64_t kSpanGap = 64u << 10;   // unwanted bytes read through rather than seeked over
constexpr uint64_t kInflightBudget = 96u << 20;
constexpr uint64_t kMaxBudget = 512u << 20;

enum TaskState { kNew, kQueued, kDone, kFailed };

// Buffers go back to a pool instead of the allocator: large blocks would
// otherwise be mapped and faulted in afresh for every span and every chunk.
class BufferPool {
  public:
    ~BufferPool() {
        for (auto& kv : free_)
            for (uint8_t* p : kv.second) delete[] p;
    }
    static size_t ClassOf(size_t size) {
        size_t c = 4096;
        while (c < size) c <<= 1;
        return c;
    }
    uint8_t* Get(size_t size) {
        size_t c = ClassOf(size);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto& list = free_[c];
            if (!list.empty()) {
                uint8_t* p = list.back();
                list.pop_back();
                return p;
            }
        }
        return new uint8_t[c];
    }
    void Put(uint8_t* p, size_t size) {
        if (!p) return;
        std::lock_guard<std::mutex> lock(mutex_);
        free_[ClassOf(size)].push_back(p);
    }

  private:
    std::mutex mutex_;
    std::map<size_t, std::vector<uint8_t*>> free_;
};

struct Task {
    size_t unit = 0;
    uint64_t unitPos = 0;
    ChunkExtent chunk;
    std::shared_ptr<uint8_t> span;  // the read buffer this chunk lies in
    size_t spanOffset = 0;
    uint8_t* out = nullptr;  // from the pool; left uninitialised, it is written whole
    const uint8_t* result = nullptr;
    TaskState state = kNew;
};

class Pipeline {
  public:
    Pipeline(const wim::WimFile& wim, const std::vector<PlannedUnit>& units,
             SliceConsumer* consumer, unsigned threads)
        : wim_(wim), units_(units), consumer_(consumer), threads_(threads) {}

    ~Pipeline() {
        for (auto& t : tasks_) pool_.Put(t.out, t.chunk.originalSize);
    }

    Status Run() {
        BuildTasks();
        if (tasks_.empty()) return Status::Ok();
        uint64_t biggest = 0;
        for (auto& t : tasks_) biggest = std::max<uint64_t>(biggest, t.chunk.originalSize);
        budget_ = std::max<uint64_t>(kInflightBudget, biggest * (threads_ + 2));
        // Solid chunks are up to 64 MiB; keep a 32-bit process well inside its
        // address space however many cores there are.
        budget_ = std::min<uint64_t>(budget_, std::max<uint64_t>(kMaxBudget, biggest * 3));
        std::thread reader([this] { ReaderLoop(); });
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < threads_; ++i) workers.emplace_back([this] { WorkerLoop(); });
        Status s = WriterLoop();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        WakeAll();
        reader.join();
        for (auto& w : workers) w.join();
        if (s.ok() && !error_.ok()) s = error_;
        return s;
    }

  private:
    void BuildTasks() {
        for (size_t u = 0; u < units_.size(); ++u) {
            const PlannedUnit& unit = units_[u];
            uint64_t pos = 0;
            size_t k = 0;  // first slice that may still overlap
            for (const ChunkExtent& c : unit.chunks) {
                uint64_t end = pos + c.originalSize;
                while (k < unit.slices.size() && unit.slices[k].offset + unit.slices[k].size <= pos)
                    ++k;
                bool wanted = false;
                for (size_t j = k; j < unit.slices.size() && unit.slices[j].offset < end; ++j)
                    if (unit.slices[j].offset + unit.slices[j].size > pos) wanted = true;
                if (wanted) {
                    Task t;
                    t.unit = u;
                    t.unitPos = pos;
                    t.chunk = c;
                    tasks_.push_back(std::move(t));
                }
                pos = end;
            }
        }
    }

    void Fail(const Status& s) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_.ok()) error_ = s;
        stop_ = true;
        WakeAll();
    }

    // One condition per kind of waiter, so that a finished chunk wakes only
    // the writer and a queued chunk only a worker.
    void WakeAll() {
        readerCv_.notify_all();
        workerCv_.notify_all();
        writerCv_.notify_all();
    }

    void ReaderLoop() {
        size_t next = 0;
        while (next < tasks_.size()) {
            size_t first = next;
            uint64_t spanStart = tasks_[first].chunk.fileOffset;
            uint64_t spanEnd = spanStart + tasks_[first].chunk.storedSize;
            uint64_t orig = tasks_[first].chunk.originalSize;
            size_t last = first + 1;
            while (last < tasks_.size()) {
                const ChunkExtent& c = tasks_[last].chunk;
                if (c.fileOffset < spanEnd || c.fileOffset - spanEnd > kSpanGap) break;
                uint64_t newEnd = c.fileOffset + c.storedSize;
                if (newEnd - spanStart > kSpanLimit || orig + c.originalSize > budget_ / 4) break;
                spanEnd = newEnd;
                orig += c.originalSize;
                ++last;
            }
            {
                std::unique_lock<std::mutex> lock(mutex_);
                readerCv_.wait(lock, [&] {
                    return stop_ || inflight_ + orig <= budget_ || first == written_;
                });
                if (stop_) return;
                inflight_ += orig;
            }
            size_t spanSize = size_t(spanEnd - spanStart);
            std::shared_ptr<uint8_t> span;
            const wim::InputFile& file = wim_.file();
            if (file.Populate(spanStart, spanSize)) {
                // The mapped file's own pages: nothing to copy or give back.
                span = std::shared_ptr<uint8_t>(std::shared_ptr<uint8_t>(),
                                                const_cast<uint8_t*>(file.mapped() + spanStart));
            } else {
                span = std::shared_ptr<uint8_t>(
                    pool_.Get(spanSize), [this, spanSize](uint8_t* p) { pool_.Put(p, spanSize); });
                if (!file.ReadAt(spanStart, span.get(), spanSize)) {
                    Fail(
                        Status(Error::kRead, "read failed at offset " + std::to_string(spanStart)));
                    return;
                }
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (size_t i = first; i < last; ++i) {
                    Task& t = tasks_[i];
                    t.span = span;
                    t.spanOffset = size_t(t.chunk.fileOffset - spanStart);
                    if (t.chunk.kind == Compression::kNone) {
                        t.result = span.get() + t.spanOffset;
                        t.state = kDone;
                    } else {
                        t.state = kQueued;
                        queue_.push_back(i);
                    }
                }
            }
            if (last - first > 1)
                workerCv_.notify_all();
            else
                workerCv_.notify_one();
            writerCv_.notify_one();
            next = last;
        }
    }

    void WorkerLoop() {
        std::map<std::pair<int, uint32_t>, std::unique_ptr<wim::Decompressor>> decoders;
        for (;;) {
            size_t i;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workerCv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
                if (stop_) return;
                i = queue_.front();
                queue_.pop_front();
            }
            Task& t = tasks_[i];
            auto key = std::make_pair(int(t.chunk.kind), t.chunk.chunkSize);
            auto& d = decoders[key];
            if (!d) d = wim::MakeDecompressor(t.chunk.kind, t.chunk.chunkSize);
            bool ok = false;
            if (d) {
                t.out = pool_.Get(t.chunk.originalSize);
                ok = d->Decompress(t.span.get() + t.spanOffset, t.chunk.storedSize, t.out,
                                   t.chunk.originalSize);
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                t.span.reset();
                t.result = t.out;
                t.state = ok ? kDone : kFailed;
            }
            writerCv_.notify_one();
        }
    }

    Status WriterLoop() {
        std::vector<size_t> firstOpen(units_.size(), 0);
        std::vector<std::vector<uint8_t>> begun(units_.size());
        for (size_t u = 0; u < units_.size(); ++u) begun[u].assign(units_[u].slices.size(), 0);
        for (size_t w = 0; w < tasks_.size(); ++w) {
            Task& t = tasks_[w];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                writerCv_.wait(
                    lock, [&] { return t.state == kDone || t.state == kFailed || !error_.ok(); });
                if (!error_.ok()) return error_;
            }
            if (t.state == kFailed)
                return Status(Error::kDecompress,
                              std::string("corrupt ") + wim::CompressionName(t.chunk.kind) +
                                  " data at offset " + std::to_string(t.chunk.fileOffset));
            const PlannedUnit& unit = units_[t.unit];
            uint64_t a = t.unitPos, b = a + t.chunk.originalSize;
            size_t& k0 = firstOpen[t.unit];
            for (size_t k = k0; k < unit.slices.size() && unit.slices[k].offset < b; ++k) {
                const PlannedSlice& sl = unit.slices[k];
                uint64_t sEnd = sl.offset + sl.size;
                if (sEnd <= a || begun[t.unit][k] == 2) continue;
                Status s;
                if (!begun[t.unit][k]) {
                    begun[t.unit][k] = 1;
                    s = consumer_->Begin(sl.id);
                    if (!s.ok()) return s;
                }
                uint64_t from = std::max(a, sl.offset), to = std::min(b, sEnd);
                s = consumer_->Data(sl.id, t.result + (from - a), size_t(to - from));
                if (!s.ok()) return s;
                if (sEnd <= b) {
                    begun[t.unit][k] = 2;
                    s = consumer_->End(sl.id);
                    if (!s.ok()) return s;
                }
            }
            while (k0 < unit.slices.size() && begun[t.unit][k0] == 2) ++k0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                inflight_ -= t.chunk.originalSize;
                written_ = w + 1;
                t.span.reset();
                pool_.Put(t.out, t.chunk.originalSize);
                t.out = nullptr;
                t.result = nullptr;
            }
            readerCv_.notify_one();
        }
        for (size_t u = 0; u < units_.size(); ++u)
            for (size_t k = 0; k < units_[u].slices.size(); ++k)
                if (begun[u][k] != 2)
                    return Status(Error::kBadResource, "a blob runs past the end of its resource");
        return Status::Ok();
    }

    BufferPool pool_;  // declared first: tasks hand their buffers back to it
    const wim::WimFile& wim_;
    const std::vector<PlannedUnit>& units_;
    SliceConsumer* consumer_;
    unsigned threads_;
    std::vector<Task> tasks_;
    std::mutex mutex_;
    std::condition_variable readerCv_, workerCv_, writerCv_;
    std::deque<size_t> queue_;
    uint64_t inflight_ = 0;
    uint64_t budget_ = kInflightBudget;
    size_t written_ = 0;
    bool stop_ = false;
    Status error_;
};

}  // namespace

Status RunPipeline(const wim::WimFile& wim, const std::vector<PlannedUnit>& units,
                   SliceConsumer* consumer, unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    Pipeline p(wim, units, consumer, threads);
    return p.Run();
}

}  // namespace imagex
