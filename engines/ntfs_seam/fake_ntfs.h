// An NTFS volume in memory behind the Win32 seam, for tests on any machine.
// It keeps per object its streams, descriptor, attributes, times, reparse data
// and links, per name its 8.3 short name, and it behaves like NTFS where the
// backends can go wrong:
//  - opening the default stream with CREATE_ALWAYS drops every named stream;
//  - folders open only with backup semantics;
//  - a reparse point can only be set on an empty folder;
//  - a short name needs DELETE access, SeRestore and 8.3 names on the volume;
//  - the SACL and the label need ACCESS_SYSTEM_SECURITY, which needs SeSecurity;
//  - once an object has its descriptor, writing it or creating, linking or
//    deleting inside it needs backup intent with the privileges enabled, and its
//    attributes can no longer be set by path;
//  - reading a secured object, or listing a secured folder, needs backup
//    intent with the privileges enabled;
//  - a name opened for deletion on close goes when its handle closes; a
//    read-only file or a folder with contents cannot be opened that way;
//  - privileges are enabled only when the test grants them.
// Every call is logged as "<Call> <path>[ | <detail>][ -> <error>]" for checks
// on the order.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "engines/ntfs_seam/ntfs_api.h"

namespace ntfs {

struct FakeObject {
    bool directory = false;
    std::map<std::string, std::string> streams;  // "" = the default stream
    uint32_t attributes = 0;
    std::string sd;
    uint32_t sdInformation = 0;
    uint64_t creation = 0, access = 0, write = 0;
    std::string reparse;  // the whole reparse data buffer
    int links = 0;
    uint64_t id = 0;           // the file index
    uint64_t dataWritten = 0;  // bytes written to the default stream (holes skipped)
    std::string efsRaw;        // an encrypted file's raw export
};

class FakeNtfs : public Api {
  public:
    // The volume starts with its root folder `drive` ("C:").
    explicit FakeNtfs(std::string drive = "C:");

    bool grantPrivileges = true;
    bool shortNamesEnabled = true;
    // Objects whose descriptor cannot be set (as when another program holds
    // them open without sharing).
    // (Reading or setting; as when another program holds them open.)
    std::vector<std::string> refuseSecurity;
    uint64_t freeBytes = uint64_t(1) << 40;
    std::vector<std::string> log;

    // Inspection (nullptr / empty when the name does not exist).
    std::shared_ptr<const FakeObject> Object(const std::string& path) const;
    std::string ShortName(const std::string& path) const;
    // Every path below `root`, in sorted order.
    std::vector<std::string> PathsBelow(const std::string& root) const;

    bool EnablePrivileges() override;
    uint32_t FullPath(const std::string& path, std::string* full) override;
    uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override;
    uint32_t SetAttributes(const std::string& path, uint32_t attributes) override;
    uint32_t MakeFolder(const std::string& path) override;
    uint32_t RemoveFolder(const std::string& path) override;
    uint32_t DeleteName(const std::string& path) override;
    uint32_t MakeHardLink(const std::string& newPath, const std::string& existing) override;
    uint32_t Open(const std::string& path, uint32_t access, Disposition disposition,
                  const OpenOptions& options, Handle* handle) override;
    uint32_t Write(Handle h, const uint8_t* data, size_t size) override;
    uint32_t Close(Handle h) override;
    uint32_t SetShortName(Handle h, const std::string& shortName) override;
    uint32_t SetReparsePoint(Handle h, const std::string& buffer) override;
    uint32_t SetCompressed(Handle h) override;
    uint32_t SetSparse(Handle h) override;
    uint32_t SetTimes(Handle h, uint64_t creation, uint64_t access, uint64_t write) override;
    uint32_t SetAttributesOf(Handle h, uint32_t attributes) override;
    uint32_t SetSecurity(Handle h, uint32_t information, const std::string& sd) override;
    uint32_t ListFolder(const std::string& path, std::vector<FoundName>* names) override;
    uint32_t ListStreams(const std::string& path, std::vector<StreamInfo>* streams) override;
    uint32_t Read(Handle h, uint8_t* data, size_t size, size_t* got) override;
    uint32_t Skip(Handle h, uint64_t bytes, bool end) override;
    uint32_t GetSecurity(Handle h, uint32_t information, std::string* sd) override;
    uint32_t GetReparsePoint(Handle h, std::string* buffer) override;
    uint32_t Identify(Handle h, FileIdentity* id) override;
    uint32_t FreeBytes(const std::string& path, uint64_t* free) override;
    uint32_t WriteEncryptedRaw(const std::string& path, const std::string& raw) override;

  private:
    struct Name {
        std::string path;  // as created
        std::string shortName;
        std::shared_ptr<FakeObject> object;
    };
    struct OpenFile {
        std::string path;
        std::string stream;
        uint32_t access = 0;
        bool backup = false;
        bool deleteOnClose = false;
        size_t position = 0;
        std::shared_ptr<FakeObject> object;
    };

    Name* Find(const std::string& path);
    const Name* Find(const std::string& path) const;
    bool HasChildren(const std::string& path) const;
    // Whether creating or deleting inside `path`'s folder is allowed.
    bool ParentWritable(const std::string& path, bool backup) const;
    uint32_t Add(const std::string& path, std::shared_ptr<FakeObject> object);
    OpenFile* Opened(Handle h);
    uint32_t Logged(uint32_t result, const std::string& call, const std::string& path,
                    const std::string& detail = "");

    std::map<std::string, Name> names_;  // key: the path in upper case
    std::map<Handle, OpenFile> open_;
    Handle next_ = 1;
    uint64_t nextId_ = 5;
    bool privileges_ = false;
};

}  // namespace ntfs
