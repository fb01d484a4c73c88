// The Win32 file-system calls the Windows backends make, behind one interface:
// ntfs_api_win.cpp forwards them to Windows, fake_ntfs.cpp keeps an NTFS model in
// memory so that the backends' order of calls and what they keep can be checked
// on any machine.
//
// Paths are UTF-8, absolute, with '\' between names; "path:name" opens a named
// stream. Every call returns a Win32 error code, 0 on success.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ntfs {

// The Win32 error codes the backends look at.
enum : uint32_t {
    kOk = 0,
    kErrFileNotFound = 2,
    kErrNoMoreFiles = 18,
    kErrPathNotFound = 3,
    kErrAccessDenied = 5,
    kErrInvalidHandle = 6,
    kErrSharingViolation = 32,
    kErrNotSupported = 50,
    kErrFileExists = 80,
    kErrInvalidParameter = 87,
    kErrWriteFault = 29,
    kErrDiskFull = 112,
    kErrDirNotEmpty = 145,
    kErrAlreadyExists = 183,
    kErrPrivilegeNotHeld = 1314,
    kErrNotAReparsePoint = 4390,
};

// Access rights asked for when opening (mapped to the Win32 rights).
enum Access : uint32_t {
    kRead = 1,
    kWrite = 2,
    kWriteAttributes = 4,
    kDelete = 8,
    kWriteDac = 16,
    kWriteOwner = 32,
    kSystemSecurity = 64,  // ACCESS_SYSTEM_SECURITY: the SACL and the label
    kReadAttributes = 128,
    kReadControl = 256,  // READ_CONTROL: owner, group and DACL
};

enum class Disposition { kCreateAlways, kCreateNew, kOpenExisting, kOpenAlways };

// SECURITY_INFORMATION bits, as Windows numbers them.
enum : uint32_t {
    kOwnerInfo = 0x1,
    kGroupInfo = 0x2,
    kDaclInfo = 0x4,
    kSaclInfo = 0x8,
    kLabelInfo = 0x10,
};

// FILE_ATTRIBUTE_* bits the backends handle themselves.
enum : uint32_t {
    kAttrReadOnly = 0x1,
    kAttrDirectory = 0x10,
    kAttrSparse = 0x200,
    kAttrReparse = 0x400,
    kAttrCompressed = 0x800,
    kAttrEncrypted = 0x4000,
};

struct OpenOptions {
    bool backupSemantics = false;   // FILE_FLAG_BACKUP_SEMANTICS: backup intent
    bool openReparsePoint = false;  // FILE_FLAG_OPEN_REPARSE_POINT
    bool deleteOnClose = false;     // FILE_FLAG_DELETE_ON_CLOSE: the name goes with the handle
};

// One name of a folder listing (FindFirstFileW / FindNextFileW).
struct FoundName {
    std::string name;
    std::string shortName;  // cAlternateFileName, "" when none
    uint32_t attributes = 0;
    uint64_t creation = 0, access = 0, write = 0;  // FILETIME values
    uint64_t size = 0;                             // of the default stream
    uint32_t reparseTag = 0;                       // dwReserved0 of a reparse point
};

// One named stream (FindFirstStreamW), name without ':' and ":$DATA".
struct StreamInfo {
    std::string name;
    uint64_t size = 0;
};

// What GetFileInformationByHandle says of an open file.
struct FileIdentity {
    uint32_t volumeSerial = 0;
    uint64_t index = 0;
    uint32_t links = 0;
};

using Handle = uint64_t;  // 0: none

class Api {
  public:
    virtual ~Api() = default;
    // Enables SeBackup, SeRestore and SeSecurity (and, where held,
    // SeTakeOwnership and SeCreateSymbolicLink); false unless the first three
    // were all granted.
    virtual bool EnablePrivileges() = 0;
    // GetFullPathNameW, with the long-path prefix for drive paths.
    virtual uint32_t FullPath(const std::string& path, std::string* full) = 0;
    virtual uint32_t GetAttributes(const std::string& path, uint32_t* attributes) = 0;
    virtual uint32_t SetAttributes(const std::string& path, uint32_t attributes) = 0;
    virtual uint32_t MakeFolder(const std::string& path) = 0;
    virtual uint32_t RemoveFolder(const std::string& path) = 0;
    virtual uint32_t DeleteName(const std::string& path) = 0;
    virtual uint32_t MakeHardLink(const std::string& newPath, const std::string& existing) = 0;

    virtual uint32_t Open(const std::string& path, uint32_t access, Disposition disposition,
                          const OpenOptions& options, Handle* handle) = 0;
    virtual uint32_t Write(Handle h, const uint8_t* data, size_t size) = 0;
    virtual uint32_t Close(Handle h) = 0;
    // SetFileShortNameW: needs DELETE access, SeRestore and 8.3 names on the volume.
    virtual uint32_t SetShortName(Handle h, const std::string& shortName) = 0;
    // FSCTL_SET_REPARSE_POINT with a whole reparse data buffer.
    virtual uint32_t SetReparsePoint(Handle h, const std::string& buffer) = 0;
    // FSCTL_SET_COMPRESSION (COMPRESSION_FORMAT_DEFAULT) and FSCTL_SET_SPARSE.
    virtual uint32_t SetCompressed(Handle h) = 0;
    virtual uint32_t SetSparse(Handle h) = 0;
    virtual uint32_t SetTimes(Handle h, uint64_t creation, uint64_t access, uint64_t write) = 0;
    // The attributes through the handle (FileBasicInformation), so that backup
    // intent counts; 0 leaves them as they are.
    virtual uint32_t SetAttributesOf(Handle h, uint32_t attributes) = 0;
    // SetKernelObjectSecurity on the handle.
    virtual uint32_t SetSecurity(Handle h, uint32_t information, const std::string& sd) = 0;

    // The reading side, for backups.
    // Every name in a folder except "." and "..".
    virtual uint32_t ListFolder(const std::string& path, std::vector<FoundName>* names) = 0;
    // The named streams of a file or folder; kErrNotSupported before Vista.
    virtual uint32_t ListStreams(const std::string& path, std::vector<StreamInfo>* streams) = 0;
    // *got == 0 at the end.
    virtual uint32_t Read(Handle h, uint8_t* data, size_t size, size_t* got) = 0;
    // Moves the position forward without writing (a hole in a sparse file)
    // and, with `end`, makes the position the end of the stream.
    virtual uint32_t Skip(Handle h, uint64_t bytes, bool end) = 0;
    // GetKernelObjectSecurity: a self-relative descriptor.
    virtual uint32_t GetSecurity(Handle h, uint32_t information, std::string* sd) = 0;
    // FSCTL_GET_REPARSE_POINT: the whole reparse data buffer.
    virtual uint32_t GetReparsePoint(Handle h, std::string* buffer) = 0;
    virtual uint32_t Identify(Handle h, FileIdentity* id) = 0;
    // GetDiskFreeSpaceExW of the volume holding `path`.
    virtual uint32_t FreeBytes(const std::string& path, uint64_t* free) = 0;
    // Creates an EFS-encrypted file from its raw export (OpenEncryptedFileRawW
    // with CREATE_FOR_IMPORT, WriteEncryptedFileRaw): it comes back encrypted
    // for its owners without anyone's key being needed here.
    virtual uint32_t WriteEncryptedRaw(const std::string& path, const std::string& raw) = 0;
};

// Writes a sparse file's stream, leaving every whole run of kHole zero bytes
// as a hole (Skip) instead of writing it.
class SparseWriter {
  public:
    static constexpr size_t kHole = 64 * 1024;
    SparseWriter(Api* api, Handle h) : api_(api), h_(h) {}
    uint32_t Write(const uint8_t* data, size_t size);
    // Ends the stream after a final hole.
    uint32_t Finish();

  private:
    Api* api_;
    Handle h_;
    uint64_t pending_ = 0;
};

// The calls forwarded to Windows (Windows builds only).
std::unique_ptr<Api> MakeWin32Api();

// "error <n>" and, on Windows, the system's text for it.
std::string ErrorText(uint32_t code);

}  // namespace ntfs
