// A volume reached through its root on Windows, over the Win32 seam: attributes,
// three times, 8.3 names, descriptors with SACL and label, named streams, hard
// links and link reparse points. On Windows the seam is the real API; the tests
// run the same code against the fake NTFS volume.
#include <algorithm>
#include <map>
#include <utility>

#include "common/cmdline.h"
#include "engines/ghost/backup_exclusions.h"
#include "engines/ghost/volume_fs.h"
#include "engines/ntfs_seam/ntfs_api.h"

namespace ghost {

namespace {

constexpr int64_t kEpochDelta = 116444736000000000LL;  // 1601 → 1970 in 100 ns
// Read-only, hidden, system, archive, temporary, offline, not content indexed.
constexpr uint32_t kSettableAttributes = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;
constexpr uint32_t kNormalAttribute = 0x80;
// Owner, group, DACL, SACL and the integrity label (LocalLow and app folders
// need their Low label); systems before Vista know no label.
constexpr uint32_t kSecurityParts =
    ntfs::kOwnerInfo | ntfs::kGroupInfo | ntfs::kDaclInfo | ntfs::kSaclInfo | ntfs::kLabelInfo;
constexpr uint32_t kSecurityPartsXp = kSecurityParts & ~ntfs::kLabelInfo;
constexpr uint32_t kNameSurrogate = 0x20000000;
constexpr uint32_t kErrCallNotImplemented = 120;
constexpr uint32_t kErrDiskFull = 112, kErrHandleDiskFull = 39;

int64_t Ns(uint64_t filetime) {
    return (int64_t(filetime) - kEpochDelta) * 100;
}
uint64_t Filetime(int64_t ns) {
    return uint64_t(ns / 100 + kEpochDelta);
}

// Junctions and symbolic links stay links; every other reparse point (WOF
// compressed system files, cloud files, deduplicated files) is read through
// its filter and restored as what it holds.
bool IsLink(const ntfs::FoundName& n) {
    return (n.attributes & ntfs::kAttrReparse) && (n.reparseTag & kNameSurrogate);
}

std::string Code(uint32_t error) {
    return std::to_string(error);
}

ntfs::OpenOptions Backup(bool reparsePoint = true) {
    ntfs::OpenOptions o;
    o.backupSemantics = true;
    o.openReparsePoint = reparsePoint;
    return o;
}

class SeamInput : public InputData {
  public:
    SeamInput(ntfs::Api* api, ntfs::Handle h) : api_(api), h_(h) {}
    ~SeamInput() override { api_->Close(h_); }
    long long Read(uint8_t* buffer, size_t size) override {
        size_t got = 0;
        if (api_->Read(h_, buffer, size, &got) != ntfs::kOk) return -1;
        return (long long)got;
    }

  private:
    ntfs::Api* api_;
    ntfs::Handle h_;
};

// Writes a stream; for a sparse file, whole runs of zeros become holes.
class SeamOutput : public OutputData {
  public:
    SeamOutput(ntfs::Api* api, ntfs::Handle h, std::string path, bool sparse)
        : api_(api), h_(h), path_(std::move(path)), sparse_(sparse), holes_(api, h) {}
    ~SeamOutput() override {
        if (h_) api_->Close(h_);
    }
    bool Write(const uint8_t* data, size_t size) override {
        if (!err_) err_ = sparse_ ? holes_.Write(data, size) : api_->Write(h_, data, size);
        return !err_;
    }
    Status Close() override {
        ntfs::Handle h = h_;
        h_ = 0;
        if (!err_ && sparse_) err_ = holes_.Finish();
        uint32_t closed = api_->Close(h);
        if (!err_) err_ = closed;
        if (err_ == kErrDiskFull || err_ == kErrHandleDiskFull)
            return Fail(kErrTargetFull, u8"目标分区空间不足：" + path_);
        if (err_) return Fail(kErrWrite, u8"无法写入文件 " + path_ + u8"（" + Code(err_) + u8"）");
        return Ok();
    }

  private:
    ntfs::Api* api_;
    ntfs::Handle h_;
    std::string path_;
    bool sparse_;
    ntfs::SparseWriter holes_;
    uint32_t err_ = 0;
};

class NtfsVolume : public VolumeFs {
  public:
    NtfsVolume(std::string root, ntfs::Api* api, std::unique_ptr<ntfs::Api> owned)
        : VolumeFs(std::move(root)), owned_(std::move(owned)), api_(api) {
        if (!root_.empty() && root_.back() != '\\') root_ += '\\';
        // Backup, restore and security privileges let the engine read and write
        // every file with its owner, SACL and label; without them it refuses.
        privileges_ = api_->EnablePrivileges();
        if (api_->FullPath(root_, &base_) != ntfs::kOk) base_ = root_;
        if (base_.empty() || base_.back() != '\\') base_ += '\\';
    }

    Status Scan(std::vector<Entry>* entries, const KeepGoing& keepGoing) override {
        Status p = Privileges();
        if (!p.ok()) return p;
        notKept_.clear();
        encrypted_.clear();
        uint32_t a = 0;
        if (api_->GetAttributes(base_, &a) != ntfs::kOk)
            return Fail(kErrPartition, u8"无法访问分区 " + root_);
        LoadExclusions();
        std::map<std::pair<uint32_t, uint64_t>, uint32_t> firstNames;
        return ScanDir("", entries, &firstNames, keepGoing);
    }

    std::unique_ptr<InputData> OpenData(const Entry& e, const ExtraStream* s) override {
        ntfs::Handle h = 0;
        if (api_->Open(Full(e.path, s), ntfs::kRead, ntfs::Disposition::kOpenExisting,
                       Backup(false), &h) != ntfs::kOk)
            return nullptr;
        return std::make_unique<SeamInput>(api_, h);
    }

    Status Wipe() override {
        Status s = Privileges();
        if (!s.ok()) return s;
        // Every deletion is checked before the first one, so a target that
        // cannot be emptied is left as it was.
        std::vector<std::string> blocked;
        CheckWipe("", &blocked);
        if (!blocked.empty()) {
            std::string text = u8"目标分区上有无法删除的项目，未做任何改动：";
            for (size_t i = 0; i < blocked.size() && i < 20; ++i) text += "\r\n  " + blocked[i];
            if (blocked.size() > 20)
                text += u8"\r\n  …共 " + std::to_string(blocked.size()) + u8" 项";
            return Fail(kErrWrite, text);
        }
        // What a scan of the old contents noted is gone with them.
        notKept_.clear();
        return WipeDir("");
    }

    uint64_t FreeBytes() override {
        uint64_t free = 0;
        return api_->FreeBytes(base_, &free) == ntfs::kOk ? free : UINT64_MAX;
    }

    Status MakeDirectory(const Entry& e) override {
        uint32_t err = api_->MakeFolder(Full(e.path));
        if (err && err != ntfs::kErrAlreadyExists)
            return Fail(kErrWrite, u8"无法创建目录 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        ntfs::Handle h = 0;
        if (!e.shortName.empty() || (e.attributes & ntfs::kAttrCompressed)) {
            err = api_->Open(Full(e.path), ntfs::kWrite | ntfs::kDelete,
                             ntfs::Disposition::kOpenExisting, Backup(), &h);
            if (err) {
                notKept_.push_back(u8"无法打开目录 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
                return Ok();
            }
            SetUpNew(h, e);
            api_->Close(h);
        }
        return Ok();
    }

    std::unique_ptr<OutputData> CreateData(const Entry& e, const ExtraStream* s) override {
        ntfs::Handle h = 0;
        // The main data comes first (it is laid out before the file's streams),
        // so superseding the file drops nothing written by this restore.
        uint32_t access = ntfs::kWrite | (s ? 0u : uint32_t(ntfs::kDelete));
        if (api_->Open(Full(e.path, s), access,
                       s ? ntfs::Disposition::kOpenAlways : ntfs::Disposition::kCreateAlways,
                       Backup(false), &h) != ntfs::kOk)
            return nullptr;
        bool sparse = !s && (e.attributes & ntfs::kAttrSparse);
        if (!s) SetUpNew(h, e);
        return std::make_unique<SeamOutput>(api_, h, Shown(e.path), sparse);
    }

    Status MakeHardLink(const Entry& e, const Entry& target) override {
        if (uint32_t err = api_->MakeHardLink(Full(e.path), Full(target.path)))
            return Fail(kErrWrite,
                        u8"无法创建硬链接 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        // A second short name on one file (the first name holds one too).
        if (!e.shortName.empty() && shortNames_) {
            ntfs::Handle h = 0;
            uint32_t err = api_->Open(Full(e.path), ntfs::kWrite | ntfs::kDelete,
                                      ntfs::Disposition::kOpenExisting, Backup(), &h);
            if (err) {
                notKept_.push_back(u8"无法设置短文件名 " + e.shortName + " " + Shown(e.path) +
                                   u8"（" + Code(err) + u8"）");
                return Ok();
            }
            Entry name = e;
            name.attributes = 0;
            SetUpNew(h, name);
            api_->Close(h);
        }
        return Ok();
    }

    Status MakeLink(const Entry& e) override {
        // Older images may hold other reparse points (WOF, cloud files) without
        // the data behind them: set back bare, they would leave an unreadable file.
        uint32_t tag = e.reparse.size() >= 8
                           ? uint32_t(e.reparse[0]) | uint32_t(e.reparse[1]) << 8 |
                                 uint32_t(e.reparse[2]) << 16 | uint32_t(e.reparse[3]) << 24
                           : 0;
        if (!(tag & kNameSurrogate))
            return Fail(kErrWrite,
                        u8"映像中的重解析点不是链接，其数据未保存，未还原 " + Shown(e.path));
        std::string path = Full(e.path);
        bool dir = (e.attributes & ntfs::kAttrDirectory) != 0;
        ntfs::Handle h = 0;
        uint32_t err = dir ? api_->MakeFolder(path) : ntfs::kOk;
        if (!err)
            err = api_->Open(
                path, ntfs::kWrite | ntfs::kDelete,
                dir ? ntfs::Disposition::kOpenExisting : ntfs::Disposition::kCreateAlways, Backup(),
                &h);
        if (err)
            return Fail(kErrWrite, u8"无法创建 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        Entry plain = e;
        plain.attributes &= ~uint32_t(ntfs::kAttrCompressed | ntfs::kAttrSparse);
        SetUpNew(h, plain);
        err = api_->SetReparsePoint(h, std::string(e.reparse.begin(), e.reparse.end()));
        api_->Close(h);
        if (err)
            return Fail(kErrWrite, u8"无法创建链接 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        return Ok();
    }

    Status ApplyMetadata(const Entry& e) override {
        std::string path = Full(e.path);
        ntfs::Handle h = 0;
        uint32_t err = api_->Open(path, ntfs::kWriteAttributes, ntfs::Disposition::kOpenExisting,
                                  Backup(), &h);
        if (err)
            return Fail(kErrWrite, u8"无法设置时间 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        err = api_->SetTimes(h, Filetime(e.createNs), Filetime(e.accessNs), Filetime(e.writeNs));
        uint32_t attrs = e.attributes & kSettableAttributes;
        if (!attrs && !(e.attributes & ntfs::kAttrDirectory)) attrs = kNormalAttribute;
        uint32_t attrErr = api_->SetAttributesOf(h, attrs);
        api_->Close(h);
        if (err)
            return Fail(kErrWrite, u8"无法设置时间 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        if (attrErr)
            return Fail(kErrWrite,
                        u8"无法设置属性 " + Shown(e.path) + u8"（" + Code(attrErr) + u8"）");
        // Last, so a restrictive descriptor cannot lock out the times and attributes.
        if (e.security.empty()) return Ok();
        err = api_->Open(path, ntfs::kWriteDac | ntfs::kWriteOwner | ntfs::kSystemSecurity,
                         ntfs::Disposition::kOpenExisting, Backup(), &h);
        if (!err) {
            std::string sd(e.security.begin(), e.security.end());
            err = api_->SetSecurity(h, kSecurityParts, sd);
            if (err == ntfs::kErrInvalidParameter) err = api_->SetSecurity(h, kSecurityPartsXp, sd);
            api_->Close(h);
        }
        if (err)
            return Fail(kErrWrite,
                        u8"无法设置安全描述符 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        return Ok();
    }

    bool Supports(const Entry& e) const override { return e.type != EntryType::kSymlink; }
    bool SupportsStream(const ExtraStream& s) const override {
        return s.kind == StreamKind::kAlternate;
    }

  private:
    Status Privileges() const {
        if (privileges_) return Ok();
        return Fail(kErrPrivilege, u8"无法启用备份、还原和安全权限，请以管理员身份运行。");
    }

    // The seam's path of an entry (long-path form on Windows, so deep trees fit).
    std::string Full(const std::string& rel, const ExtraStream* stream = nullptr) const {
        std::string p = base_ + rel;
        std::replace(p.begin(), p.end(), '/', '\\');
        if (!rel.empty() && p.back() == '\\') p.pop_back();
        if (stream) p += ":" + stream->name;
        return p;
    }
    std::string Shown(const std::string& rel) const {
        std::string p = root_ + rel;
        std::replace(p.begin(), p.end(), '/', '\\');
        return p;
    }

    // Short name, compression and sparseness of a just created file or folder,
    // through a handle with DELETE access and backup intent. A volume with 8.3
    // names turned off refuses them all, which is the volume's choice, not a loss.
    void SetUpNew(ntfs::Handle h, const Entry& e) {
        if (!e.shortName.empty() && shortNames_) {
            uint32_t err = api_->SetShortName(h, e.shortName);
            if (err == ntfs::kErrInvalidParameter || err == ntfs::kErrNotSupported ||
                err == kErrCallNotImplemented)
                shortNames_ = false;
            else if (err)
                notKept_.push_back(u8"无法设置短文件名 " + e.shortName + " " + Shown(e.path) +
                                   u8"（" + Code(err) + u8"）");
        }
        uint32_t err;
        if ((e.attributes & ntfs::kAttrCompressed) && (err = api_->SetCompressed(h)))
            notKept_.push_back(u8"无法压缩 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
        if (!(e.attributes & ntfs::kAttrDirectory) && (e.attributes & ntfs::kAttrSparse) &&
            (err = api_->SetSparse(h)))
            notKept_.push_back(u8"无法设为稀疏文件 " + Shown(e.path) + u8"（" + Code(err) + u8"）");
    }

    Status ScanDir(const std::string& rel, std::vector<Entry>* entries,
                   std::map<std::pair<uint32_t, uint64_t>, uint32_t>* firstNames,
                   const KeepGoing& keepGoing) {
        std::vector<ntfs::FoundName> items;
        if (uint32_t err = api_->ListFolder(rel.empty() ? base_ : Full(rel), &items))
            return Fail(kErrRead, u8"无法读取目录 " + Shown(rel) + u8"（" + Code(err) + u8"）");
        std::sort(
            items.begin(), items.end(),
            [](const ntfs::FoundName& a, const ntfs::FoundName& b) { return a.name < b.name; });
        for (const ntfs::FoundName& it : items) {
            if (keepGoing && !keepGoing()) return Fail(kErrCancelled, "");
            // The system's own folder on every volume is neither ours to read nor to replace.
            if (rel.empty() && (IsExcludedRootFile(it.name) ||
                                engine::EqualsNoCase(it.name, "System Volume Information")))
                continue;
            Entry e;
            e.path = rel.empty() ? it.name : rel + "/" + it.name;
            // The files the installation itself asks backups to leave out.
            if (!(it.attributes & ntfs::kAttrDirectory) && exclusions_.Excludes(e.path)) continue;
            e.attributes = it.attributes;
            e.createNs = Ns(it.creation);
            e.accessNs = Ns(it.access);
            e.writeNs = Ns(it.write);
            e.shortName = it.shortName;
            std::string path = Full(e.path);
            const bool link = IsLink(it);
            if (!link) e.attributes &= ~uint32_t(ntfs::kAttrReparse);
            if (link) {
                e.type = EntryType::kReparse;
                Status s = ReadReparse(path, &e);
                if (!s.ok()) return s;
            } else if (it.attributes & ntfs::kAttrDirectory) {
                e.type = EntryType::kDirectory;
            } else if (it.attributes & ntfs::kAttrEncrypted) {
                // EFS data cannot be read plain without the user's key: left out
                // and named, rather than failing the backup or storing it decrypted.
                notKept_.push_back(u8"加密文件未备份 " + Shown(e.path));
                encrypted_.push_back(Shown(e.path));
                continue;
            } else {
                e.type = EntryType::kFile;
                e.dataSize = it.size;
                ntfs::Handle h = 0;
                ntfs::FileIdentity id;
                if (api_->Open(path, ntfs::kReadAttributes, ntfs::Disposition::kOpenExisting,
                               Backup(false), &h) == ntfs::kOk) {
                    bool known = api_->Identify(h, &id) == ntfs::kOk;
                    api_->Close(h);
                    if (known && id.links > 1) {
                        auto key = std::make_pair(id.volumeSerial, id.index);
                        auto found = firstNames->find(key);
                        if (found != firstNames->end()) {
                            e.type = EntryType::kHardLink;
                            e.linkTarget = found->second;
                            e.dataSize = 0;
                        } else {
                            (*firstNames)[key] = uint32_t(entries->size());
                        }
                    }
                }
            }
            ReadSecurity(path, &e);
            if (e.type == EntryType::kFile || e.type == EntryType::kDirectory)
                ReadStreams(path, &e);
            entries->push_back(std::move(e));
            if (entries->back().type == EntryType::kDirectory) {
                std::string sub = entries->back().path;  // entries may move while it grows
                Status s = ScanDir(sub, entries, firstNames, keepGoing);
                if (!s.ok()) return s;
            }
        }
        return Ok();
    }

    // The FilesNotToBackup lists of the Windows on this volume, if it holds one.
    void LoadExclusions() {
        exclusions_ = BackupExclusions();
        ntfs::Handle h = 0;
        uint32_t attributes = 0;
        if (api_->GetAttributes(Full(kSystemHivePath), &attributes) != ntfs::kOk ||
            api_->Open(Full(kSystemHivePath), ntfs::kRead, ntfs::Disposition::kOpenExisting,
                       Backup(false), &h) != ntfs::kOk)
            return;
        std::vector<uint8_t> hive;
        uint8_t buffer[64 * 1024];
        size_t got = 0;
        while (api_->Read(h, buffer, sizeof buffer, &got) == ntfs::kOk && got > 0 &&
               hive.size() < (512u << 20))
            hive.insert(hive.end(), buffer, buffer + got);
        api_->Close(h);
        exclusions_.Load(hive);
    }

    Status ReadReparse(const std::string& path, Entry* e) {
        ntfs::Handle h = 0;
        std::string buffer;
        uint32_t err =
            api_->Open(path, ntfs::kReadAttributes, ntfs::Disposition::kOpenExisting, Backup(), &h);
        if (!err) {
            err = api_->GetReparsePoint(h, &buffer);
            api_->Close(h);
        }
        if (err)
            return Fail(kErrRead, u8"无法读取链接 " + Shown(e->path) + u8"（" + Code(err) + u8"）");
        e->reparse.assign(buffer.begin(), buffer.end());
        return Ok();
    }

    void ReadSecurity(const std::string& path, Entry* e) {
        ntfs::Handle h = 0;
        std::string sd;
        uint32_t err = api_->Open(path, ntfs::kReadControl | ntfs::kSystemSecurity,
                                  ntfs::Disposition::kOpenExisting, Backup(), &h);
        if (!err) {
            err = api_->GetSecurity(h, kSecurityParts, &sd);
            if (err == ntfs::kErrInvalidParameter)
                err = api_->GetSecurity(h, kSecurityPartsXp, &sd);
            api_->Close(h);
        }
        if (err) {
            notKept_.push_back(u8"无法读取安全描述符 " + Shown(e->path) + u8"（" + Code(err) +
                               u8"）");
            return;
        }
        e->security.assign(sd.begin(), sd.end());
    }

    void ReadStreams(const std::string& path, Entry* e) {
        std::vector<ntfs::StreamInfo> streams;
        if (api_->ListStreams(path, &streams) != ntfs::kOk) return;  // none before Vista
        for (const ntfs::StreamInfo& si : streams) {
            ExtraStream s;
            s.kind = StreamKind::kAlternate;
            s.name = si.name;
            s.size = si.size;
            e->streams.push_back(std::move(s));
        }
    }

    // The entries of a folder Wipe deletes (empty when it cannot be listed).
    std::vector<ntfs::FoundName> WipeItems(const std::string& rel) {
        std::vector<ntfs::FoundName> items;
        api_->ListFolder(rel.empty() ? base_ : Full(rel), &items);
        if (rel.empty())
            items.erase(std::remove_if(items.begin(), items.end(),
                                       [](const ntfs::FoundName& n) {
                                           return engine::EqualsNoCase(n.name,
                                                                       "System Volume Information");
                                       }),
                        items.end());
        return items;
    }

    // Collects what Wipe could not delete: every entry must open for deletion
    // (with backup intent, as the deletion itself does).
    void CheckWipe(const std::string& rel, std::vector<std::string>* blocked) {
        for (const ntfs::FoundName& it : WipeItems(rel)) {
            std::string child = rel.empty() ? it.name : rel + "/" + it.name;
            ntfs::Handle h = 0;
            uint32_t err = api_->Open(Full(child), ntfs::kDelete | ntfs::kWriteAttributes,
                                      ntfs::Disposition::kOpenExisting, Backup(), &h);
            if (err) {
                blocked->push_back(Shown(child) + u8"（" + Code(err) + u8"）");
                continue;
            }
            api_->Close(h);
            if ((it.attributes & ntfs::kAttrDirectory) && !IsLink(it)) CheckWipe(child, blocked);
        }
    }

    Status WipeDir(const std::string& rel) {
        for (const ntfs::FoundName& it : WipeItems(rel)) {
            std::string child = rel.empty() ? it.name : rel + "/" + it.name;
            std::string path = Full(child);
            bool dir = (it.attributes & ntfs::kAttrDirectory) != 0;
            // A junction or directory link goes without its target's contents;
            // a folder behind another reparse point (cloud files) is emptied.
            if (dir && !IsLink(it)) {
                Status s = WipeDir(child);
                if (!s.ok()) return s;
            }
            ntfs::Handle h = 0;
            uint32_t err = ntfs::kOk;
            if (it.attributes & ntfs::kAttrReadOnly) {
                err = api_->Open(path, ntfs::kWriteAttributes, ntfs::Disposition::kOpenExisting,
                                 Backup(), &h);
                if (!err) {
                    err = api_->SetAttributesOf(h, kNormalAttribute);
                    api_->Close(h);
                }
            }
            ntfs::OpenOptions gone = Backup();
            gone.deleteOnClose = true;
            if (!err)
                err = api_->Open(path, ntfs::kDelete, ntfs::Disposition::kOpenExisting, gone, &h);
            if (!err) err = api_->Close(h);
            // A folder that was not empty after all outlives its handle.
            uint32_t left = 0;
            if (!err && api_->GetAttributes(path, &left) == ntfs::kOk) err = ntfs::kErrDirNotEmpty;
            if (err)
                return Fail(kErrWrite, u8"无法删除 " + Shown(child) + u8"（" + Code(err) + u8"）");
        }
        return Ok();
    }

    std::unique_ptr<ntfs::Api> owned_;
    ntfs::Api* api_;
    std::string base_;  // the seam's form of the root, ending in '\'
    bool privileges_ = false;
    bool shortNames_ = true;
    BackupExclusions exclusions_;
};

}  // namespace

std::unique_ptr<VolumeFs> OpenNtfsVolumeFs(const std::string& root, ntfs::Api* api) {
    return std::make_unique<NtfsVolume>(root, api, nullptr);
}

std::unique_ptr<VolumeFs> OpenNtfsVolumeFs(const std::string& root,
                                           std::unique_ptr<ntfs::Api> api) {
    ntfs::Api* raw = api.get();
    return std::make_unique<NtfsVolume>(root, raw, std::move(api));
}

}  // namespace ghost
