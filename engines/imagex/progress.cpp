#include "engines/imagex/progress.h"

#include <cstdio>

#include "common/console_out.h"

namespace imagex {

std::string RemainingText(int64_t seconds) {
    char buf[64];
    if (seconds < 0) seconds = 0;
    if (seconds >= 3600) {
        snprintf(buf, sizeof buf, "%lld:%02d:%02d hours", (long long)(seconds / 3600),
                 int(seconds / 60 % 60), int(seconds % 60));
    } else {
        snprintf(buf, sizeof buf, "%d:%02d mins", int(seconds / 60), int(seconds % 60));
    }
    return buf;
}

std::string ProgressLine(const std::string& verb, int percent, int64_t remainingSeconds) {
    char buf[64];
    snprintf(buf, sizeof buf, "[ %3d%% ] ", percent);
    std::string line = buf + verb + " progress";
    if (remainingSeconds >= 0) line += ": " + RemainingText(remainingSeconds) + " remaining";
    return line;
}

ProgressReporter::ProgressReporter(std::string verb, uint64_t total)
    : verb_(std::move(verb)), total_(total ? total : 1), start_(std::chrono::steady_clock::now()) {
    PrintNow();
    thread_ = std::thread([this] { Run(); });
}

ProgressReporter::~ProgressReporter() {
    Finish(false);
}

void ProgressReporter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, std::chrono::milliseconds(500));
        if (stop_) break;
        PrintNow();
    }
}

void ProgressReporter::PrintNow() {
    uint64_t done = done_.load(std::memory_order_relaxed);
    if (done > total_) done = total_;
    int percent = int(done * 100 / total_);
    if (percent > 99) percent = 99;  // 100% is printed only once everything is done
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    int64_t remaining = -1;
    if (done > 0 && elapsed >= 1.0) {
        double rate = double(done) / elapsed;
        remaining = int64_t(double(total_ - done) / rate + 0.5);
    }
    engine::PrintText(ProgressLine(verb_, percent, remaining) + "\r\n");
}

void ProgressReporter::Finish(bool complete) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (complete) engine::PrintText(ProgressLine(verb_, 100, 0) + "\r\n");
}

}  // namespace imagex
