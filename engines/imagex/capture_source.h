// Where a capture reads from. One implementation per platform, chosen once by
// MakeCaptureSource(): source_posix.cpp (a Linux folder: files, folders,
// symbolic links, hard links, timestamps) and source_win32.cpp (the Windows
// API with backup semantics: also attributes, short names, named streams,
// security descriptors and reparse points).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/wimformat/metadata.h"
#include "engines/wimformat/status.h"

namespace imagex {

struct SourceStream {
    std::string name;  // "" for the unnamed data
    uint64_t size = 0;
};

// One file or folder found under the source root.
struct SourceNode {
    // Name, short name, attributes, times, reparse tag, parent and children.
    // securityId, data and the streams' hashes are filled in by the capture.
    wim::DirEntryInfo info;
    std::string path;                   // the platform's path, for opening it again
    std::vector<SourceStream> streams;  // the unnamed data first when it has any
    std::string reparseData;            // without the 8-byte reparse header
    std::string security;               // self-relative descriptor; empty for none
    uint64_t linkKey = 0;               // nonzero for a file with several names
};

// Reads one stream of a source file front to back.
class SourceReader {
  public:
    virtual ~SourceReader() = default;
    // Reads up to `size` bytes; *got 0 means the end.
    virtual wim::Status Read(uint8_t* buffer, size_t size, size_t* got) = 0;
};

// Whether a path (relative to the source root, '\' or '/' between parts) is
// one of those a capture always leaves out.
bool ExcludedFromCapture(const std::string& relative);

class CaptureSource {
  public:
    virtual ~CaptureSource() = default;
    // Lists the tree under `root` (nodes[0] is the root; parents before
    // children), leaving out what ExcludedFromCapture() names.
    virtual wim::Status Scan(const std::string& root, std::vector<SourceNode>* nodes) = 0;
    virtual wim::Status Open(const SourceNode& node, const std::string& stream,
                             std::unique_ptr<SourceReader>* out) = 0;
    // Whether a node's path names the same file as `other` (which may not exist).
    virtual bool SamePath(const std::string& nodePath, const std::string& other) = 0;
};

std::unique_ptr<CaptureSource> MakeCaptureSource();

}  // namespace imagex
