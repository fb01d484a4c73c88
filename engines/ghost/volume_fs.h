// A volume seen at file level through its root folder: what backup reads and what
// restore, copy and extraction write. Implemented by volume_fs_posix.cpp (a folder on
// this machine) and volume_fs_ntfs.cpp (a drive or volume root through the Win32
// seam); the backend is chosen once, in OpenVolumeFs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/ghost/entry.h"
#include "engines/ghost/errors.h"

namespace ntfs {
class Api;
}

namespace ghost {

// Readers and writers own an open file: they are not copied.
class InputData {
  public:
    InputData() = default;
    InputData(const InputData&) = delete;
    InputData& operator=(const InputData&) = delete;
    virtual ~InputData() = default;
    // Bytes read into buffer, 0 at the end, -1 on error.
    virtual long long Read(uint8_t* buffer, size_t size) = 0;
};

class OutputData {
  public:
    OutputData() = default;
    OutputData(const OutputData&) = delete;
    OutputData& operator=(const OutputData&) = delete;
    virtual ~OutputData() = default;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
    virtual Status Close() = 0;
};

// Returns false to stop a long walk (cancel).
using KeepGoing = std::function<bool()>;

class VolumeFs {
  public:
    virtual ~VolumeFs() = default;
    const std::string& root() const { return root_; }

    // Every entry below the root in preorder (a folder before its contents), names
    // sorted, with metadata and the sizes of all data; offsets are left zero.
    virtual Status Scan(std::vector<Entry>* entries, const KeepGoing& keepGoing) = 0;
    // Opens the main data of a file (stream == nullptr) or one of its extra streams.
    virtual std::unique_ptr<InputData> OpenData(const Entry& e, const ExtraStream* stream) = 0;
    // Asks the volume to start reading a file's main data that OpenData will soon
    // want, without waiting for it. A hint: it may do nothing.
    virtual void Prefetch(const Entry&) {}

    // Deletes everything below the root (the root itself stays).
    virtual Status Wipe() = 0;
    // Free bytes on the volume, or UINT64_MAX when unknown.
    virtual uint64_t FreeBytes() = 0;

    virtual Status MakeDirectory(const Entry& e) = 0;
    virtual std::unique_ptr<OutputData> CreateData(const Entry& e, const ExtraStream* stream) = 0;
    virtual Status MakeHardLink(const Entry& e, const Entry& target) = 0;
    virtual Status MakeLink(const Entry& e) = 0;  // kSymlink, kReparse
    // Times, attributes, permissions, owner, security; after the entry's data.
    virtual Status ApplyMetadata(const Entry& e) = 0;

    // Whether this backend can store the entry (a POSIX folder cannot hold a Windows
    // reparse point and vice versa); unsupported entries are left out of a restore.
    virtual bool Supports(const Entry& e) const = 0;
    virtual bool SupportsStream(const ExtraStream& s) const = 0;

    // What a Scan could not read in full (a security descriptor it was denied) or
    // a restore could not set outside the calls that return a status (a short
    // name), one message per entry; the entries themselves are kept.
    const std::vector<std::string>& notKept() const { return notKept_; }
    // The EFS-encrypted files a Scan left out (they are also in notKept).
    const std::vector<std::string>& encryptedLeftOut() const { return encrypted_; }

  protected:
    explicit VolumeFs(std::string root) : root_(std::move(root)) {}
    std::string root_;
    std::vector<std::string> notKept_;
    std::vector<std::string> encrypted_;
};

// root: a folder (natively) or a volume root such as "D:\" or "\\?\Volume{...}\".
std::unique_ptr<VolumeFs> OpenVolumeFs(const std::string& root);
// A volume through the Win32 seam (volume_fs_ntfs.cpp): what OpenVolumeFs gives
// on Windows, and the fake NTFS volume in tests. `api` outlives the volume.
std::unique_ptr<VolumeFs> OpenNtfsVolumeFs(const std::string& root, ntfs::Api* api);
std::unique_ptr<VolumeFs> OpenNtfsVolumeFs(const std::string& root, std::unique_ptr<ntfs::Api> api);

}  // namespace ghost
