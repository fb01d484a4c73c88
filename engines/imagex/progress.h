// ImageX-style progress lines, e.g. "[  45% ] Applying progress: 3:21 mins remaining".
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace imagex {

// The text of one progress line without its line end. `remainingSeconds` < 0
// leaves the remaining-time part out (not yet estimated).
std::string ProgressLine(const std::string& verb, int percent, int64_t remainingSeconds);

// Remaining time as ImageX words it: "0:45 mins", "3:21 mins", "1:02:03 hours".
std::string RemainingText(int64_t seconds);

// Prints a progress line from its own thread at least once a second while work
// goes on, so a long chunk or a slow disk never silences it.
class ProgressReporter {
  public:
    ProgressReporter(std::string verb, uint64_t total);
    ~ProgressReporter();
    void Add(uint64_t amount) { done_.fetch_add(amount, std::memory_order_relaxed); }
    // Stops the thread; with `complete` prints the 100% line.
    void Finish(bool complete);

  private:
    void Run();
    void PrintNow();

    std::string verb_;
    uint64_t total_;
    std::atomic<uint64_t> done_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace imagex
