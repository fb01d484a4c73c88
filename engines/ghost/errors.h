// Result of an engine step: a stable numbered code and the text printed for it.
#pragma once

#include <string>

namespace ghost {

// Numbers are stable: they are the engine's exit codes. Never reuse a retired one.
enum ErrorCode : int {
    kOk = 0,
    kErrUsage = 2,             // command line not understood
    kErrPartition = 4,         // D:P not found
    kErrImageOpen = 10,        // image file cannot be opened
    kErrNotImage = 11,         // not one of our images
    kErrTruncated = 12,        // file shorter than its header says
    kErrCorrupt = 13,          // structure damaged (header, index)
    kErrCrc = 14,              // a chunk failed its CRC
    kErrMissingSpan = 15,      // a span file is missing or belongs to another image
    kErrWrongPassword = 16,    // password does not match
    kErrNeedPassword = 17,     // image is encrypted and no password given
    kErrIncomplete = 18,       // image was never finished
    kErrDamagedRestored = 19,  // restored with -crcignore: damaged chunks written as zeros
    kErrTargetHoldsImage = 20,
    kErrTargetIsSystem = 21,
    kErrSameVolume = 22,
    kErrTargetFull = 23,
    kErrSourceIsSystem = 24,  // the running Windows' own volume cannot be read whole
    kErrNotKept = 25,         // done, but some entries' metadata or links were not kept
    kErrPrivilege = 26,       // the backup and restore privileges are not held
    kErrRead = 30,
    kErrWrite = 31,
    kErrCrypto = 40,
    kErrCancelled = 50,
    kErrInternal = 60,
};

struct Status {
    int code = kOk;
    std::string message;  // UTF-8, without the "错误 N：" prefix
    bool ok() const { return code == kOk; }
};

inline Status Ok() {
    return Status();
}
inline Status Fail(int code, std::string message) {
    return Status{code, std::move(message)};
}

// The text the engine prints for a failed status: the cancel marker alone for a
// cancel, otherwise the numbered message and a line end.
std::string ResultText(const Status& s);

}  // namespace ghost
