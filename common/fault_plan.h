// Faults injected into the engines' file I/O by tests: the Nth read or write fails,
// or the volume is full once so many bytes have been written. The file layers ask
// before each call; with no plan set (always, outside tests) the question is one
// relaxed atomic load.
//
// Asked by: engines/ghost/file_io.cpp (image files), engines/ghost/volume_fs_posix.cpp
// (tree files), engines/wimformat/file_io.cpp (WIM files), engines/imagex/target_posix.cpp
// and source_posix.cpp (tree files), engines/ntfs_seam/sparse_writer.cpp (tree files on
// Windows volumes and the fake NTFS volume).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace engine {

struct FaultPlan {
    uint64_t failRead = 0;            // the Nth read fails (counted from 1; 0: none)
    uint64_t failWrite = 0;           // the Nth write fails
    uint64_t fullAfter = UINT64_MAX;  // a write that would pass this many bytes in all
                                      // finds the volume full, and so do all after it
};

// What a plan has seen since it was set.
struct FaultCounts {
    uint64_t reads = 0;
    uint64_t writes = 0;
    uint64_t bytesWritten = 0;
    bool fired = false;
    bool full = false;  // the last fault was a full volume
};

// Arms the plan (counts start from zero). Not for use while a job runs.
void SetFaultPlan(const FaultPlan& plan);
void ClearFaultPlan();
FaultCounts CurrentFaultCounts();

// The plans a test sweeps over a job that made `counts` calls when nothing failed:
// each read and each write failing in turn (at most `most` of each, spread evenly,
// the last always among them), and the volume full at 0, 1/4, 1/2 and 3/4 of the
// bytes written.
std::vector<FaultPlan> FaultSweep(const FaultCounts& counts, uint64_t most = 48);
// "read 3", "write 7" or "full after 4096", for test messages.
std::string FaultName(const FaultPlan& plan);

namespace detail {
extern std::atomic<bool> faultPlanArmed;
bool ReadFails();
bool WriteFails(size_t size);
}  // namespace detail

// True when this read must fail; errno (GetLastError on Windows) then tells why.
inline bool InjectedReadFault() {
    return detail::faultPlanArmed.load(std::memory_order_relaxed) && detail::ReadFails();
}
// True when this write of `size` bytes must fail: an I/O error or a full volume.
inline bool InjectedWriteFault(size_t size) {
    return detail::faultPlanArmed.load(std::memory_order_relaxed) && detail::WriteFails(size);
}

// Sets a plan for the life of a scope, as tests use it.
class ScopedFaultPlan {
  public:
    explicit ScopedFaultPlan(const FaultPlan& plan) { SetFaultPlan(plan); }
    ~ScopedFaultPlan() { ClearFaultPlan(); }
    ScopedFaultPlan(const ScopedFaultPlan&) = delete;
    ScopedFaultPlan& operator=(const ScopedFaultPlan&) = delete;
};

}  // namespace engine
