// Ordered parallel work: jobs are processed on all cores, results reach one sink
// thread in submission order. The bounded number of jobs in flight keeps memory flat.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace ghost {

// Calls work(i) for every i below count on up to `threads` threads.
template <class Work>
void ParallelFor(size_t count, unsigned threads, const Work& work) {
    std::atomic<size_t> next{0};
    auto loop = [&] {
        for (size_t i; (i = next++) < count;) work(i);
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads && t < count; ++t) pool.emplace_back(loop);
    loop();
    for (auto& t : pool) t.join();
}

template <class Job, class Result>
class OrderedPipeline {
  public:
    using Work = std::function<Result(Job&)>;
    // The sink returns false to stop the pipeline (e.g. a write failed).
    using Sink = std::function<bool(Result&)>;

    OrderedPipeline(unsigned threads, size_t maxInFlight, Work work, Sink sink)
        : work_(std::move(work)), sink_(std::move(sink)), maxInFlight_(maxInFlight) {
        if (threads == 0) threads = 1;
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
        sinkThread_ = std::thread([this] { SinkLoop(); });
    }
    ~OrderedPipeline() { Finish(); }

    // Blocks while too many jobs are in flight. False once the pipeline stopped.
    bool Submit(Job job) {
        std::unique_lock<std::mutex> lock(mu_);
        spaceCv_.wait(lock, [&] { return stopped_ || submitted_ - sunk_ < maxInFlight_; });
        if (stopped_) return false;
        jobs_.emplace_back(submitted_++, std::move(job));
        jobCv_.notify_one();
        return true;
    }

    // Stops taking work; results not yet sunk are dropped.
    void Stop() {
        std::lock_guard<std::mutex> lock(mu_);
        stopped_ = true;
        jobs_.clear();
        jobCv_.notify_all();
        spaceCv_.notify_all();
        resultCv_.notify_all();
    }

    // Waits until every submitted job reached the sink (or the pipeline stopped).
    // True when all were sunk successfully.
    bool Finish() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (joined_) return !stopped_;
            closing_ = true;
            jobCv_.notify_all();
            resultCv_.notify_all();
        }
        for (auto& t : workers_) t.join();
        sinkThread_.join();
        std::lock_guard<std::mutex> lock(mu_);
        joined_ = true;
        return !stopped_;
    }

  private:
    void WorkerLoop() {
        for (;;) {
            std::pair<uint64_t, Job> item;
            {
                std::unique_lock<std::mutex> lock(mu_);
                jobCv_.wait(lock, [&] { return stopped_ || closing_ || !jobs_.empty(); });
                if (stopped_ || jobs_.empty()) return;
                item = std::move(jobs_.front());
                jobs_.pop_front();
            }
            Result r = work_(item.second);
            std::lock_guard<std::mutex> lock(mu_);
            results_.emplace(item.first, std::move(r));
            resultCv_.notify_all();
        }
    }

    void SinkLoop() {
        for (;;) {
            Result r;
            {
                std::unique_lock<std::mutex> lock(mu_);
                resultCv_.wait(lock, [&] {
                    return stopped_ || results_.count(sunk_) || (closing_ && sunk_ == submitted_);
                });
                if (stopped_ || !results_.count(sunk_)) return;
                auto it = results_.find(sunk_);
                r = std::move(it->second);
                results_.erase(it);
            }
            bool ok = sink_(r);
            std::lock_guard<std::mutex> lock(mu_);
            ++sunk_;
            spaceCv_.notify_all();
            if (!ok) {
                stopped_ = true;
                jobs_.clear();
                jobCv_.notify_all();
                spaceCv_.notify_all();
                return;
            }
        }
    }

    Work work_;
    Sink sink_;
    size_t maxInFlight_;
    std::mutex mu_;
    std::condition_variable jobCv_, resultCv_, spaceCv_;
    std::deque<std::pair<uint64_t, Job>> jobs_;
    std::map<uint64_t, Result> results_;
    uint64_t submitted_ = 0, sunk_ = 0;
    bool stopped_ = false, closing_ = false, joined_ = false;
    std::vector<std::thread> workers_;
    std::thread sinkThread_;
};

}  // namespace ghost
