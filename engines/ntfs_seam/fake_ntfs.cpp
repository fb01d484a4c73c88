#include "engines/ntfs_seam/fake_ntfs.h"

#include <algorithm>
#include <cctype>

namespace ntfs {

namespace {

std::string Key(const std::string& path) {
    std::string k = path;
    while (k.size() > 2 && k.back() == '\\') k.pop_back();
    for (char& c : k) c = char(std::toupper(static_cast<unsigned char>(c)));
    return k;
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Splits "folder\name:stream" into the name and the stream.
void SplitStream(const std::string& path, std::string* file, std::string* stream) {
    size_t slash = path.rfind('\\');
    size_t colon = path.find(':', slash == std::string::npos ? 0 : slash);
    if (colon == std::string::npos) {
        *file = path;
        stream->clear();
    } else {
        *file = path.substr(0, colon);
        *stream = path.substr(colon + 1);
    }
}

bool ValidShortName(const std::string& s) {
    size_t dot = s.find('.');
    std::string base = s.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : s.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos)
        return false;
    for (char c : s) {
        if (c == ' ' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '/' ||
            static_cast<unsigned char>(c) < 0x20 || std::islower(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

constexpr uint32_t kWriting = kWrite | kWriteAttributes | kDelete | kWriteDac | kWriteOwner;

}  // namespace

FakeNtfs::FakeNtfs(std::string drive) {
    auto root = std::make_shared<FakeObject>();
    root->directory = true;
    root->attributes = kAttrDirectory;
    root->links = 1;
    root->id = nextId_++;
    names_[Key(drive)] = Name{drive, "", root};
}

std::shared_ptr<const FakeObject> FakeNtfs::Object(const std::string& path) const {
    const Name* n = Find(path);
    return n ? n->object : nullptr;
}

std::string FakeNtfs::ShortName(const std::string& path) const {
    const Name* n = Find(path);
    return n ? n->shortName : std::string();
}

std::vector<std::string> FakeNtfs::PathsBelow(const std::string& root) const {
    std::vector<std::string> out;
    std::string prefix = Key(root) + "\\";
    for (const auto& kv : names_) {
        if (kv.first.compare(0, prefix.size(), prefix) == 0) out.push_back(kv.second.path);
    }
    return out;
}

FakeNtfs::Name* FakeNtfs::Find(const std::string& path) {
    auto it = names_.find(Key(path));
    return it == names_.end() ? nullptr : &it->second;
}

const FakeNtfs::Name* FakeNtfs::Find(const std::string& path) const {
    auto it = names_.find(Key(path));
    return it == names_.end() ? nullptr : &it->second;
}

bool FakeNtfs::HasChildren(const std::string& path) const {
    std::string prefix = Key(path) + "\\";
    auto it = names_.lower_bound(prefix);
    return it != names_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

bool FakeNtfs::ParentWritable(const std::string& path, bool backup) const {
    const Name* parent = Find(ParentOf(path));
    if (!parent || !parent->object->directory) return false;
    return parent->object->sd.empty() || (backup && privileges_);
}

uint32_t FakeNtfs::Add(const std::string& path, std::shared_ptr<FakeObject> object) {
    if (!object->id) object->id = nextId_++;
    object->links++;
    names_[Key(path)] = Name{path, "", std::move(object)};
    return kOk;
}

FakeNtfs::OpenFile* FakeNtfs::Opened(Handle h) {
    auto it = open_.find(h);
    return it == open_.end() ? nullptr : &it->second;
}

uint32_t FakeNtfs::Logged(uint32_t result, const std::string& call, const std::string& path,
                          const std::string& detail) {
    std::string line = call + " " + path;
    if (!detail.empty()) line += " | " + detail;
    if (result != kOk) line += " -> " + std::to_string(result);
    log.push_back(line);
    return result;
}

bool FakeNtfs::EnablePrivileges() {
    privileges_ = grantPrivileges;
    log.push_back(privileges_ ? "EnablePrivileges" : "EnablePrivileges -> 1300");
    return privileges_;
}

uint32_t FakeNtfs::FullPath(const std::string& path, std::string* full) {
    *full = path;
    for (char& c : *full)
        if (c == '/') c = '\\';
    return kOk;
}

uint32_t FakeNtfs::GetAttributes(const std::string& path, uint32_t* attributes) {
    std::string file, stream;
    SplitStream(path, &file, &stream);
    const Name* n = Find(file);
    if (!n)
        return ParentOf(file).empty() || Find(ParentOf(file)) ? kErrFileNotFound : kErrPathNotFound;
    if (!stream.empty() && !n->object->streams.count(stream)) return kErrFileNotFound;
    *attributes = n->object->attributes;
    return kOk;
}

uint32_t FakeNtfs::SetAttributes(const std::string& path, uint32_t attributes) {
    Name* n = Find(path);
    if (!n) return Logged(kErrFileNotFound, "SetAttributes", path);
    if (!n->object->sd.empty()) return Logged(kErrAccessDenied, "SetAttributes", path);
    const uint32_t kept =
        kAttrDirectory | kAttrSparse | kAttrReparse | kAttrCompressed | kAttrEncrypted;
    n->object->attributes = (n->object->attributes & kept) | (attributes & ~kept & 0x7f7f);
    return Logged(kOk, "SetAttributes", path, std::to_string(attributes));
}

uint32_t FakeNtfs::MakeFolder(const std::string& path) {
    if (Find(path)) return Logged(kErrAlreadyExists, "CreateDirectory", path);
    if (!Find(ParentOf(path))) return Logged(kErrPathNotFound, "CreateDirectory", path);
    if (!ParentWritable(path, false)) return Logged(kErrAccessDenied, "CreateDirectory", path);
    auto o = std::make_shared<FakeObject>();
    o->directory = true;
    o->attributes = kAttrDirectory;
    Add(path, o);
    return Logged(kOk, "CreateDirectory", path);
}

uint32_t FakeNtfs::RemoveFolder(const std::string& path) {
    Name* n = Find(path);
    if (!n || !n->object->directory) return Logged(kErrFileNotFound, "RemoveDirectory", path);
    if (HasChildren(path)) return Logged(kErrDirNotEmpty, "RemoveDirectory", path);
    if (!ParentWritable(path, false)) return Logged(kErrAccessDenied, "RemoveDirectory", path);
    names_.erase(Key(path));
    return Logged(kOk, "RemoveDirectory", path);
}

uint32_t FakeNtfs::DeleteName(const std::string& path) {
    Name* n = Find(path);
    if (!n || n->object->directory) return Logged(kErrFileNotFound, "DeleteFile", path);
    if ((n->object->attributes & kAttrReadOnly) || !ParentWritable(path, false))
        return Logged(kErrAccessDenied, "DeleteFile", path);
    n->object->links--;
    names_.erase(Key(path));
    return Logged(kOk, "DeleteFile", path);
}

uint32_t FakeNtfs::MakeHardLink(const std::string& newPath, const std::string& existing) {
    Name* from = Find(existing);
    if (!from || from->object->directory)
        return Logged(kErrFileNotFound, "CreateHardLink", newPath, existing);
    if (Find(newPath)) return Logged(kErrAlreadyExists, "CreateHardLink", newPath, existing);
    if (!ParentWritable(newPath, false))
        return Logged(kErrAccessDenied, "CreateHardLink", newPath, existing);
    Add(newPath, from->object);
    return Logged(kOk, "CreateHardLink", newPath, existing);
}

uint32_t FakeNtfs::Open(const std::string& path, uint32_t access, Disposition disposition,
                        const OpenOptions& options, Handle* handle) {
    static const char* const kDispositions[] = {"create-always", "create-new", "open-existing",
                                                "open-always"};
    std::string detail = kDispositions[int(disposition)];
    if (options.backupSemantics) detail += " backup";
    if (access & kSystemSecurity) detail += " system-security";
    std::string file, stream;
    SplitStream(path, &file, &stream);
    *handle = 0;
    if (options.deleteOnClose) detail += " delete-on-close";
    if ((access & kSystemSecurity) && !privileges_)
        return Logged(kErrPrivilegeNotHeld, "Open", path, detail);
    Name* n = Find(file);
    if (options.deleteOnClose) {
        if (!n || !stream.empty() || !(access & kDelete))
            return Logged(kErrInvalidParameter, "Open", path, detail);
        if (n->object->attributes & kAttrReadOnly)
            return Logged(kErrAccessDenied, "Open", path, detail);
        if (n->object->directory && HasChildren(file))
            return Logged(kErrDirNotEmpty, "Open", path, detail);
        if (!ParentWritable(file, options.backupSemantics))
            return Logged(kErrAccessDenied, "Open", path, detail);
    }
    bool create = disposition != Disposition::kOpenExisting;
    if (!n) {
        if (!create) return Logged(kErrFileNotFound, "Open", path, detail);
        if (!Find(ParentOf(file))) return Logged(kErrPathNotFound, "Open", path, detail);
        if (!ParentWritable(file, options.backupSemantics))
            return Logged(kErrAccessDenied, "Open", path, detail);
        auto o = std::make_shared<FakeObject>();
        o->streams[""];
        Add(file, o);
        n = Find(file);
    } else {
        if (disposition == Disposition::kCreateNew && stream.empty())
            return Logged(kErrFileExists, "Open", path, detail);
        FakeObject& o = *n->object;
        if (o.directory && !options.backupSemantics)
            return Logged(kErrAccessDenied, "Open", path, detail);
        // A secured object: its descriptor grants the administrators nothing
        // here, only backup intent with the privileges gets in.
        const uint32_t kReading = kRead | kReadControl;
        if ((access & (kWriting | kReading)) && !o.sd.empty() &&
            !(options.backupSemantics && privileges_))
            return Logged(kErrAccessDenied, "Open", path, detail);
        if (disposition == Disposition::kCreateAlways) {
            if (o.directory || (o.attributes & kAttrReadOnly))
                return Logged(kErrAccessDenied, "Open", path, detail);
            if (stream.empty()) {
                // Superseding the default stream deletes the named ones with it.
                o.streams.clear();
                o.streams[""];
            } else {
                o.streams[stream].clear();
            }
        } else if (!o.streams.count(stream) && !o.directory) {
            if (!create) return Logged(kErrFileNotFound, "Open", path, detail);
        }
        if (!stream.empty() && o.directory && !create && !o.streams.count(stream))
            return Logged(kErrFileNotFound, "Open", path, detail);
    }
    if (!stream.empty() || !n->object->directory) n->object->streams[stream];
    OpenFile f;
    f.path = n->path;
    f.stream = stream;
    f.access = access;
    f.backup = options.backupSemantics;
    f.deleteOnClose = options.deleteOnClose;
    f.object = n->object;
    *handle = next_++;
    open_[*handle] = f;
    return Logged(kOk, "Open", path, detail);
}

uint32_t FakeNtfs::Write(Handle h, const uint8_t* data, size_t size) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWrite)) return Logged(kErrAccessDenied, "Write", f->path);
    std::string& s = f->object->streams[f->stream];
    if (s.size() < f->position + size) s.resize(f->position + size);
    s.replace(f->position, size, reinterpret_cast<const char*>(data), size);
    f->position += size;
    if (f->stream.empty()) f->object->dataWritten += size;
    return Logged(kOk, "Write", f->stream.empty() ? f->path : f->path + ":" + f->stream);
}

uint32_t FakeNtfs::Close(Handle h) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    OpenFile closed = *f;
    open_.erase(h);
    if (closed.deleteOnClose) {
        // The name may have gone with another handle meanwhile.
        Name* n = Find(closed.path);
        if (n && n->object == closed.object) {
            if (closed.object->directory && HasChildren(closed.path))
                return Logged(kErrDirNotEmpty, "Delete", closed.path);
            closed.object->links--;
            names_.erase(Key(closed.path));
            return Logged(kOk, "Delete", closed.path);
        }
    }
    return kOk;
}

uint32_t FakeNtfs::SetShortName(Handle h, const std::string& shortName) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kDelete)) return Logged(kErrAccessDenied, "SetShortName", f->path);
    if (!privileges_) return Logged(kErrPrivilegeNotHeld, "SetShortName", f->path);
    if (!shortNamesEnabled || !ValidShortName(shortName))
        return Logged(kErrInvalidParameter, "SetShortName", f->path, shortName);
    std::string parent = Key(ParentOf(f->path));
    for (const auto& kv : names_) {
        if (ParentOf(kv.first) == parent && kv.first != Key(f->path) &&
            (kv.second.shortName == shortName ||
             kv.first.substr(parent.size() + 1) == Key(shortName)))
            return Logged(kErrAlreadyExists, "SetShortName", f->path, shortName);
    }
    Find(f->path)->shortName = shortName;
    return Logged(kOk, "SetShortName", f->path, shortName);
}

uint32_t FakeNtfs::SetReparsePoint(Handle h, const std::string& buffer) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWrite) || buffer.size() < 8)
        return Logged(kErrAccessDenied, "SetReparsePoint", f->path);
    if (f->object->directory && HasChildren(f->path))
        return Logged(kErrDirNotEmpty, "SetReparsePoint", f->path);
    f->object->reparse = buffer;
    f->object->attributes |= kAttrReparse;
    return Logged(kOk, "SetReparsePoint", f->path);
}

uint32_t FakeNtfs::SetCompressed(Handle h) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWrite)) return Logged(kErrAccessDenied, "SetCompressed", f->path);
    f->object->attributes |= kAttrCompressed;
    return Logged(kOk, "SetCompressed", f->path);
}

uint32_t FakeNtfs::SetSparse(Handle h) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWrite) || f->object->directory)
        return Logged(kErrAccessDenied, "SetSparse", f->path);
    f->object->attributes |= kAttrSparse;
    return Logged(kOk, "SetSparse", f->path);
}

uint32_t FakeNtfs::SetTimes(Handle h, uint64_t creation, uint64_t access, uint64_t write) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWriteAttributes)) return Logged(kErrAccessDenied, "SetTimes", f->path);
    f->object->creation = creation;
    f->object->access = access;
    f->object->write = write;
    return Logged(kOk, "SetTimes", f->path);
}

uint32_t FakeNtfs::SetAttributesOf(Handle h, uint32_t attributes) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWriteAttributes))
        return Logged(kErrAccessDenied, "SetAttributesOf", f->path);
    if (attributes) {
        const uint32_t kept =
            kAttrDirectory | kAttrSparse | kAttrReparse | kAttrCompressed | kAttrEncrypted;
        f->object->attributes = (f->object->attributes & kept) | (attributes & ~kept & 0x7f7f);
    }
    return Logged(kOk, "SetAttributesOf", f->path, std::to_string(attributes));
}

uint32_t FakeNtfs::SetSecurity(Handle h, uint32_t information, const std::string& sd) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (((information & (kOwnerInfo | kGroupInfo)) && !(f->access & kWriteOwner)) ||
        ((information & kDaclInfo) && !(f->access & kWriteDac)) ||
        ((information & (kSaclInfo | kLabelInfo)) && !(f->access & kSystemSecurity)))
        return Logged(kErrAccessDenied, "SetSecurity", f->path);
    if (sd.size() < 20) return Logged(kErrInvalidParameter, "SetSecurity", f->path);
    for (const std::string& p : refuseSecurity) {
        if (Key(p) == Key(f->path)) return Logged(kErrSharingViolation, "SetSecurity", f->path);
    }
    f->object->sd = sd;
    f->object->sdInformation = information;
    return Logged(kOk, "SetSecurity", f->path, std::to_string(information));
}

uint32_t FakeNtfs::ListFolder(const std::string& path, std::vector<FoundName>* names) {
    names->clear();
    const Name* folder = Find(path);
    if (!folder) return Logged(kErrPathNotFound, "List", path);
    if (!folder->object->directory) return Logged(kErrInvalidParameter, "List", path);
    if (!folder->object->sd.empty() && !privileges_) return Logged(kErrAccessDenied, "List", path);
    std::string prefix = Key(path) + "\\";
    for (auto it = names_.lower_bound(prefix);
         it != names_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
        const FakeObject& o = *it->second.object;
        FoundName n;
        n.name = it->second.path.substr(it->second.path.rfind('\\') + 1);
        n.shortName = it->second.shortName;
        n.attributes = o.attributes;
        n.creation = o.creation;
        n.access = o.access;
        n.write = o.write;
        auto data = o.streams.find("");
        n.size = o.directory || data == o.streams.end() ? 0 : data->second.size();
        if ((o.attributes & kAttrReparse) && o.reparse.size() >= 4)
            n.reparseTag = uint32_t(uint8_t(o.reparse[0])) | uint32_t(uint8_t(o.reparse[1])) << 8 |
                           uint32_t(uint8_t(o.reparse[2])) << 16 |
                           uint32_t(uint8_t(o.reparse[3])) << 24;
        names->push_back(n);
    }
    return Logged(kOk, "List", path);
}

uint32_t FakeNtfs::ListStreams(const std::string& path, std::vector<StreamInfo>* streams) {
    streams->clear();
    const Name* n = Find(path);
    if (!n) return Logged(kErrFileNotFound, "ListStreams", path);
    for (const auto& kv : n->object->streams)
        if (!kv.first.empty()) streams->push_back({kv.first, kv.second.size()});
    return kOk;
}

uint32_t FakeNtfs::Read(Handle h, uint8_t* data, size_t size, size_t* got) {
    *got = 0;
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kRead)) return Logged(kErrAccessDenied, "Read", f->path);
    const std::string& s = f->object->streams[f->stream];
    if (f->position < s.size()) {
        *got = std::min(size, s.size() - f->position);
        s.copy(reinterpret_cast<char*>(data), *got, f->position);
        f->position += *got;
    }
    return kOk;
}

uint32_t FakeNtfs::Skip(Handle h, uint64_t bytes, bool end) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (!(f->access & kWrite)) return Logged(kErrAccessDenied, "Skip", f->path);
    f->position += size_t(bytes);
    std::string& s = f->object->streams[f->stream];
    if (end && s.size() < f->position) s.resize(f->position);
    return Logged(kOk, "Skip", f->path, std::to_string(bytes));
}

uint32_t FakeNtfs::GetSecurity(Handle h, uint32_t information, std::string* sd) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (((information & (kOwnerInfo | kGroupInfo | kDaclInfo)) &&
         !(f->access & (kReadControl | kRead))) ||
        ((information & (kSaclInfo | kLabelInfo)) && !(f->access & kSystemSecurity)))
        return Logged(kErrAccessDenied, "GetSecurity", f->path);
    for (const std::string& p : refuseSecurity) {
        if (Key(p) == Key(f->path)) return Logged(kErrSharingViolation, "GetSecurity", f->path);
    }
    *sd = f->object->sd;
    return kOk;
}

uint32_t FakeNtfs::GetReparsePoint(Handle h, std::string* buffer) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    if (f->object->reparse.empty()) return Logged(kErrNotAReparsePoint, "GetReparse", f->path);
    *buffer = f->object->reparse;
    return kOk;
}

uint32_t FakeNtfs::Identify(Handle h, FileIdentity* id) {
    OpenFile* f = Opened(h);
    if (!f) return kErrInvalidHandle;
    id->volumeSerial = 0x5b2e1c40;
    id->index = f->object->id;
    id->links = uint32_t(f->object->links);
    return kOk;
}

uint32_t FakeNtfs::FreeBytes(const std::string&, uint64_t* free) {
    *free = freeBytes;
    return kOk;
}

uint32_t FakeNtfs::WriteEncryptedRaw(const std::string& path, const std::string& raw) {
    if (!privileges_) return Logged(kErrPrivilegeNotHeld, "WriteEncryptedRaw", path);
    if (Find(path)) return Logged(kErrFileExists, "WriteEncryptedRaw", path);
    if (!Find(ParentOf(path))) return Logged(kErrPathNotFound, "WriteEncryptedRaw", path);
    if (!ParentWritable(path, true)) return Logged(kErrAccessDenied, "WriteEncryptedRaw", path);
    auto o = std::make_shared<FakeObject>();
    o->streams[""];
    o->attributes = kAttrEncrypted;
    o->efsRaw = raw;
    Add(path, o);
    return Logged(kOk, "WriteEncryptedRaw", path);
}

}  // namespace ntfs
