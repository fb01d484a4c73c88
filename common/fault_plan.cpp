#include "common/fault_plan.h"

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace engine {

namespace detail {
std::atomic<bool> faultPlanArmed{false};
}  // namespace detail

namespace {

std::mutex planLock;
FaultPlan plan;
FaultCounts counts;

void SetReadError() {
#ifdef _WIN32
    SetLastError(ERROR_READ_FAULT);
#else
    errno = EIO;
#endif
}

void SetWriteError(bool full) {
#ifdef _WIN32
    SetLastError(full ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
#else
    errno = full ? ENOSPC : EIO;
#endif
}

}  // namespace

void SetFaultPlan(const FaultPlan& p) {
    std::lock_guard<std::mutex> hold(planLock);
    plan = p;
    counts = FaultCounts();
    detail::faultPlanArmed.store(true);
}

void ClearFaultPlan() {
    std::lock_guard<std::mutex> hold(planLock);
    detail::faultPlanArmed.store(false);
    plan = FaultPlan();
}

FaultCounts CurrentFaultCounts() {
    std::lock_guard<std::mutex> hold(planLock);
    return counts;
}

std::vector<FaultPlan> FaultSweep(const FaultCounts& counts, uint64_t most) {
    std::vector<FaultPlan> plans;
    auto each = [&](uint64_t calls, uint64_t FaultPlan::*field) {
        const uint64_t step = calls > most ? (calls + most - 1) / most : 1;
        for (uint64_t n = 1; n <= calls; n += step) {
            FaultPlan p;
            p.*field = n;
            plans.push_back(p);
        }
        if (calls > 0 && (calls - 1) % step != 0) {
            FaultPlan p;
            p.*field = calls;
            plans.push_back(p);
        }
    };
    each(counts.reads, &FaultPlan::failRead);
    each(counts.writes, &FaultPlan::failWrite);
    for (uint64_t part = 0; part < 4; ++part) {
        FaultPlan p;
        p.fullAfter = counts.bytesWritten / 4 * part;
        plans.push_back(p);
    }
    return plans;
}

std::string FaultName(const FaultPlan& p) {
    if (p.failRead) return "read " + std::to_string(p.failRead);
    if (p.failWrite) return "write " + std::to_string(p.failWrite);
    return "full after " + std::to_string(p.fullAfter);
}

namespace detail {

bool ReadFails() {
    std::lock_guard<std::mutex> hold(planLock);
    if (++counts.reads != plan.failRead) return false;
    counts.fired = true;
    counts.full = false;
    SetReadError();
    return true;
}

bool WriteFails(size_t size) {
    std::lock_guard<std::mutex> hold(planLock);
    const bool full = size > plan.fullAfter || counts.bytesWritten > plan.fullAfter - size;
    if (++counts.writes != plan.failWrite && !full) {
        counts.bytesWritten += size;
        return false;
    }
    counts.fired = true;
    counts.full = full;
    SetWriteError(full);
    return true;
}

}  // namespace detail

}  // namespace engine
