#include <algorithm>

#include "common/fault_plan.h"
#include "engines/ntfs_seam/ntfs_api.h"

namespace ntfs {

uint32_t SparseWriter::Write(const uint8_t* data, size_t size) {
    while (size > 0) {
        size_t piece = std::min(size, kHole);
        if (piece == kHole && std::all_of(data, data + piece, [](uint8_t b) { return b == 0; })) {
            pending_ += piece;
        } else {
            if (pending_) {
                if (uint32_t e = api_->Skip(h_, pending_, false)) return e;
                pending_ = 0;
            }
            if (engine::InjectedWriteFault(piece))
                return engine::CurrentFaultCounts().full ? kErrDiskFull : kErrWriteFault;
            if (uint32_t e = api_->Write(h_, data, piece)) return e;
        }
        data += piece;
        size -= piece;
    }
    return kOk;
}

uint32_t SparseWriter::Finish() {
    uint64_t hole = pending_;
    pending_ = 0;
    return hole ? api_->Skip(h_, hole, true) : kOk;
}

}  // namespace ntfs
