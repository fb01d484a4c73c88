// Where an apply puts things. One implementation per platform, chosen once by
// MakeApplyTarget(): target_posix.cpp (a Linux folder: files, folders, symbolic
// links, hard links, timestamps) and target_ntfs.cpp over the Win32 seam (also
// attributes, short names, named streams, security descriptors and reparse points).
//
// Paths handed in are relative to the target root, with '/' between parts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engines/wimformat/metadata.h"
#include "engines/wimformat/status.h"

namespace ntfs {
class Api;
}

namespace imagex {

class OutStream {
  public:
    virtual ~OutStream() = default;
    virtual wim::Status Write(const uint8_t* data, size_t size) = 0;
    virtual wim::Status Close() = 0;
};

struct ApplyWarnings {
    uint64_t namedStreamsSkipped = 0;
    uint64_t securitySkipped = 0;
    uint64_t reparseSkipped = 0;
    uint64_t shortNamesSkipped = 0;  // the target volume has 8.3 names turned off
};

// Something of one file the target could not keep; the apply carries on and
// ends with an error listing them.
struct NotKept {
    std::string path;
    std::string step;
    std::string error;
};

class ApplyTarget {
  public:
    virtual ~ApplyTarget() = default;
    // Makes sure the root folder exists and can be written.
    virtual wim::Status Prepare(const std::string& root) = 0;
    // Creates a folder (an existing one is kept; a file in its way is replaced)
    // and gives it its short name and compression.
    virtual wim::Status MakeDirectory(const std::string& rel, const wim::DirEntryInfo& e) = 0;
    // Creates the file empty (replacing what is there) and, right away, gives
    // it its short name, compression and sparseness.
    virtual wim::Status MakeFile(const std::string& rel, const wim::DirEntryInfo& e) = 0;
    // Opens a stream ("" = the file's data) of a file made by MakeFile for
    // writing, without dropping the file's other streams.
    virtual wim::Status CreateStream(const std::string& rel, const std::string& stream,
                                     uint64_t size, std::unique_ptr<OutStream>* out) = 0;
    // Makes `rel` another name of the already written `existing`.
    virtual wim::Status MakeHardLink(const std::string& existing, const std::string& rel) = 0;
    // Turns `rel` (already created, file or folder) into a reparse point.
    virtual wim::Status SetReparsePoint(const std::string& rel, const wim::DirEntryInfo& e,
                                        const std::string& reparseData, int depth) = 0;
    // Sets attributes, security and timestamps, once per file (not per link
    // name); called children first. What cannot be set is noted, not fatal.
    virtual wim::Status Finish(const std::string& rel, const wim::DirEntryInfo& e,
                               const std::string* securityDescriptor) = 0;
    // Creates an encrypted file from the raw EFS export the image holds;
    // where that cannot be done the file is listed as not kept.
    virtual wim::Status WriteEncrypted(const std::string& rel, const std::string&) {
        NoteNotKept(rel, "encryption", "an encrypted file (its raw EFS data) is not restored");
        return wim::Status::Ok();
    }
    virtual bool SupportsNamedStreams() const = 0;
    // Whether names that differ only in case are one name here (NTFS).
    virtual bool FoldsCase() const { return false; }
    // The image was captured with its links' targets made relative to its
    // root (the WIM header's reparse-fix flag): entries whose fix flag is clear
    // get their absolute targets pointed below the target root.
    void SetReparseFix(bool on) { reparseFix_ = on; }
    const ApplyWarnings& warnings() const { return warnings_; }
    void NoteSkippedStream() { warnings_.namedStreamsSkipped++; }
    const std::vector<NotKept>& notKept() const { return notKept_; }
    void NoteNotKept(const std::string& path, const std::string& step, const std::string& error) {
        notKept_.push_back({path, step, error});
    }

  protected:
    bool reparseFix_ = false;
    ApplyWarnings warnings_;
    std::vector<NotKept> notKept_;
};

std::unique_ptr<ApplyTarget> MakeApplyTarget();
// The Windows target over the Win32 seam; `api` (the real calls, or the fake
// NTFS volume in tests) outlives it.
std::unique_ptr<ApplyTarget> MakeNtfsApplyTarget(ntfs::Api* api);
std::unique_ptr<ApplyTarget> MakeNtfsApplyTarget(std::unique_ptr<ntfs::Api> api);

// The link text a Linux folder gets for a Windows symbolic link or junction:
// relative targets keep their shape, absolute ones are pointed inside the
// applied tree (`depth` folders below its root). Empty when unusable.
std::string PosixLinkText(const std::string& reparseData, uint32_t tag, int depth);

// The reparse data of a symbolic link or junction whose absolute target
// ("\??\C:\Users") is moved below `base` ("D:" or "D:\target"), as Windows
// applies a fixed link; other data (relative links, other tags, volume paths)
// comes back unchanged.
std::string FixedLinkData(const std::string& reparseData, uint32_t tag, const std::string& base);

}  // namespace imagex
