// Results of the format library: a stable numbered code and a message.
// Numbers are never reused; the engine prints them with its error texts.
#pragma once

#include <string>
#include <utility>

namespace wim {

enum class Error : int {
    kOk = 0,
    kOpen = 1,             // the file cannot be opened
    kRead = 2,             // a read failed or came back short
    kNotWim = 3,           // wrong magic
    kBadHeader = 4,        // a header field is out of range
    kTruncated = 5,        // something lies past the end of the file
    kBadResource = 6,      // a resource header or chunk table is inconsistent
    kDecompress = 7,       // compressed data is corrupt
    kHashMismatch = 8,     // a blob's SHA-1 does not match
    kBadMetadata = 9,      // directory entries or security data are corrupt
    kBadXml = 10,          // the XML data is not well formed
    kImageIndex = 11,      // no such image
    kIntegrity = 12,       // the integrity table disagrees with the file
    kUnsupported = 13,     // a feature this build cannot read
    kWrite = 14,           // writing the target failed
    kCommandLine = 15,     // the command line was not understood
    kNoMemory = 16,        // an allocation failed
    kTarget = 17,          // the target folder is unusable
    kNotImplemented = 18,  // the command is not available yet
    kMissingBlob = 19,     // a file refers to data the WIM does not hold
    kNotKept = 20,         // applied, but some files' metadata could not be kept
};

struct Status {
    Error code = Error::kOk;
    std::string message;

    Status() = default;
    Status(Error c, std::string m) : code(c), message(std::move(m)) {}
    bool ok() const { return code == Error::kOk; }
    static Status Ok() { return Status(); }
};

}  // namespace wim
