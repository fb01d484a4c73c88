#include "engines/imagex/capture_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "engines/wimformat/sha1.h"

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

constexpr size_t kChunk = wim::kWriteChunkSize;
constexpr size_t kPiece = 1u << 20;  // the reader's read size

enum SlotState { kFree, kQueued, kDone };

struct Slot {
    std::vector<uint8_t> in, out;
    size_t inSize = 0;
    size_t outSize = 0;  // 0: stored raw
    size_t item = 0;
    bool first = false, last = false;
    SlotState state = kFree;
};

class Pipeline {
  public:
    Pipeline(std::vector<DataItem>& items, CaptureSource* source, wim::WimWriter* writer,
             unsigned threads, ProgressReporter* progress,
             std::map<wim::Hash, wim::ResourceSpec>* blobs)
        : items_(items),
          source_(source),
          writer_(writer),
          threads_(threads),
          progress_(progress),
          blobs_(blobs),
          compress_(writer->compression() != wim::Compression::kNone),
          slots_(std::max<size_t>(16, size_t(threads) * 8)) {
        for (Slot& s : slots_) {
            s.in.resize(kChunk);
            if (compress_) s.out.resize(kChunk);
        }
    }

    Status Run() {
        std::thread reader([this] { ReaderLoop(); });
        std::vector<std::thread> workers;
        if (compress_)
            for (unsigned i = 0; i < threads_; ++i) workers.emplace_back([this] { WorkerLoop(); });
        Status s = WriterLoop();
        if (!s.ok()) Fail(s);
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
    void WakeAll() {
        readerCv_.notify_all();
        workerCv_.notify_all();
        writerCv_.notify_all();
    }

    void Fail(const Status& s) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_.ok()) error_ = s;
        stop_ = true;
        WakeAll();
    }

    // Waits for the slot of sequence number `seq` to be free; false when stopping.
    bool WaitFree(uint64_t seq) {
        std::unique_lock<std::mutex> lock(mutex_);
        readerCv_.wait(lock, [&] { return stop_ || slots_[seq % slots_.size()].state == kFree; });
        return !stop_;
    }

    void Publish(uint64_t seq) {
        Slot& s = slots_[seq % slots_.size()];
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (compress_) {
                s.state = kQueued;
                queue_.push_back(seq);
            } else {
                s.state = kDone;
            }
            published_ = seq + 1;
        }
        // A chunk to compress is the workers' business; the writer waits for
        // it to be done, not published.
        if (compress_)
            workerCv_.notify_one();
        else
            writerCv_.notify_one();
    }

    Status ReadItem(size_t index, uint64_t* seq, std::vector<uint8_t>& piece) {
        DataItem& item = items_[index];
        std::unique_ptr<SourceReader> reader;
        if (!item.memory) {
            Status s = source_->Open(*item.node, item.stream, &reader);
            if (!s.ok()) return s;
        }
        wim::Sha1 sha;
        uint64_t done = 0;
        while (done < item.size) {
            size_t want = size_t(std::min<uint64_t>(kPiece, item.size - done));
            size_t have = 0;
            if (item.memory) {
                memcpy(piece.data(), item.memory->data() + done, want);
                have = want;
            }
            while (have < want) {
                size_t got = 0;
                Status s = reader->Read(piece.data() + have, want - have, &got);
                if (!s.ok()) return s;
                if (got == 0)
                    return Status(Error::kRead,
                                  "\"" + item.node->path + "\" became shorter while it was read");
                have += got;
            }
            sha.Update(piece.data(), want);
            bool lastPiece = done + want == item.size;
            if (lastPiece) {
                sha.Final(item.hash.data());
                // A copy of data already stored needs nothing written.
                bool known;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    known = !seen_.insert(item.hash).second;
                }
                if (known && done == 0) {
                    if (progress_) progress_->Add(want);
                    return Status::Ok();
                }
            }
            for (size_t at = 0; at < want; at += kChunk) {
                if (!WaitFree(*seq)) return Status::Ok();
                Slot& s = slots_[*seq % slots_.size()];
                s.inSize = std::min(kChunk, want - at);
                memcpy(s.in.data(), piece.data() + at, s.inSize);
                s.outSize = 0;
                s.item = index;
                s.first = done + at == 0;
                s.last = lastPiece && at + s.inSize == want;
                Publish((*seq)++);
            }
            done += want;
            if (progress_) progress_->Add(want);
        }
        return Status::Ok();
    }

    void ReaderLoop() {
        std::vector<uint8_t> piece(kPiece);
        uint64_t seq = 0;
        for (size_t i = 0; i < items_.size(); ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stop_) return;
            }
            Status s = ReadItem(i, &seq, piece);
            if (!s.ok()) {
                Fail(s);
                return;
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            readerDone_ = true;
        }
        writerCv_.notify_all();
    }

    void WorkerLoop() {
        std::unique_ptr<wim::Compressor> c =
            wim::MakeCompressor(writer_->compression(), wim::kWriteChunkSize);
        for (;;) {
            uint64_t seq;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workerCv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
                if (stop_) return;
                seq = queue_.front();
                queue_.pop_front();
            }
            Slot& s = slots_[seq % slots_.size()];
            s.outSize = c ? c->Compress(s.in.data(), s.inSize, s.out.data()) : 0;
            bool wanted;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                s.state = kDone;
                wanted = seq == writerWants_;
            }
            // Chunks finish out of order: only the one the writer waits for wakes it.
            if (wanted) writerCv_.notify_one();
        }
    }

    Status WriterLoop() {
        for (uint64_t seq = 0;; ++seq) {
            Slot& s = slots_[seq % slots_.size()];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                writerWants_ = seq;
                writerCv_.wait(lock, [&] {
                    return !error_.ok() || (seq < published_ && s.state == kDone) ||
                           (readerDone_ && seq >= published_);
                });
                if (!error_.ok()) return error_;
                if (seq >= published_) return Status::Ok();
            }
            const DataItem& item = items_[s.item];
            Status st;
            if (s.first) st = writer_->BeginResource(item.size);
            if (st.ok())
                st = s.outSize ? writer_->AddChunk(s.out.data(), s.outSize, s.inSize)
                               : writer_->AddChunk(s.in.data(), s.inSize, s.inSize);
            if (st.ok() && s.last) {
                if (blobs_->count(item.hash)) {
                    st = writer_->DropResource();
                } else {
                    wim::ResourceSpec spec;
                    st = writer_->EndResource(&spec);
                    if (st.ok()) blobs_->emplace(item.hash, spec);
                }
            }
            if (!st.ok()) return st;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                s.state = kFree;
            }
            readerCv_.notify_one();
        }
    }

    std::vector<DataItem>& items_;
    CaptureSource* source_;
    wim::WimWriter* writer_;
    unsigned threads_;
    ProgressReporter* progress_;
    std::map<wim::Hash, wim::ResourceSpec>* blobs_;
    bool compress_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable readerCv_, workerCv_, writerCv_;
    std::deque<uint64_t> queue_;
    std::set<wim::Hash> seen_;
    uint64_t published_ = 0;
    uint64_t writerWants_ = 0;  // the chunk the writer waits for
    bool readerDone_ = false;
    bool stop_ = false;
    Status error_;
};

}  // namespace

Status WriteItems(std::vector<DataItem>& items, CaptureSource* source, wim::WimWriter* writer,
                  unsigned threads, ProgressReporter* progress,
                  std::map<wim::Hash, wim::ResourceSpec>* blobs) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    Pipeline p(items, source, writer, threads, progress, blobs);
    return p.Run();
}

}  // namespace imagex
