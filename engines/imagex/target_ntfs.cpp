// Applying onto NTFS through the Win32 seam. Each file is created empty and gets
// its short name, compression and sparseness at once; its streams are then
// opened without superseding the file (which would drop the named streams
// already written); hard links follow, then reparse points; times, attributes
// and the descriptor (owner, group, DACL, SACL, label) are set once per file,
// the descriptor last, children before their folder and always with backup
// intent. What one file cannot keep is noted and the apply goes on.
#include <memory>
#include <set>

#include "common/le.h"
#include "engines/imagex/apply_target.h"
#include "engines/ntfs_seam/ntfs_api.h"

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

constexpr uint32_t kSettableAttributes = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;
constexpr uint32_t kErrCallNotImplemented = 120;

ntfs::OpenOptions Backup() {
    ntfs::OpenOptions o;
    o.backupSemantics = true;
    o.openReparsePoint = true;
    return o;
}

std::string Shown(const std::string& path) {
    return path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
}

Status WriteError(const std::string& what, const std::string& path, uint32_t error) {
    return Status(Error::kWrite, what + " \"" + Shown(path) + "\": " + ntfs::ErrorText(error));
}

// A stream being written; a sparse file's runs of zeros become holes.
class SeamStream : public OutStream {
  public:
    SeamStream(ntfs::Api* api, ntfs::Handle h, std::string path, bool sparse)
        : api_(api), h_(h), path_(std::move(path)), sparse_(sparse), holes_(api, h) {}
    ~SeamStream() override {
        if (h_) api_->Close(h_);
    }
    Status Write(const uint8_t* data, size_t size) override {
        uint32_t e = sparse_ ? holes_.Write(data, size) : api_->Write(h_, data, size);
        return e ? WriteError("cannot write", path_, e) : Status::Ok();
    }
    Status Close() override {
        ntfs::Handle h = h_;
        h_ = 0;
        uint32_t e = sparse_ ? holes_.Finish() : ntfs::kOk;
        uint32_t closed = api_->Close(h);
        if (!e) e = closed;
        return e ? WriteError("cannot close", path_, e) : Status::Ok();
    }

  private:
    ntfs::Api* api_;
    ntfs::Handle h_;
    std::string path_;
    bool sparse_;
    ntfs::SparseWriter holes_;
};

class NtfsTarget : public ApplyTarget {
  public:
    NtfsTarget(ntfs::Api* api, std::unique_ptr<ntfs::Api> owned)
        : owned_(std::move(owned)), api_(api) {}

    Status Prepare(const std::string& root) override {
        // Without these, owners, SACLs, labels and short names cannot be set
        // and protected folders cannot be written.
        if (!api_->EnablePrivileges())
            return Status(Error::kTarget,
                          "the backup, restore and security privileges could not be enabled; "
                          "run as an administrator");
        uint32_t e = api_->FullPath(root, &root_);
        if (e) return Status(Error::kTarget, "bad target path \"" + root + "\"");
        if (root_.back() != '\\') root_ += '\\';
        uint32_t attr = 0;
        if (api_->GetAttributes(root_, &attr) != ntfs::kOk) {
            // Create the folder and any missing parents.
            for (size_t i = root_.find('\\', root_.compare(0, 4, "\\\\?\\") == 0 ? 7 : 3);
                 i != std::string::npos; i = root_.find('\\', i + 1))
                api_->MakeFolder(root_.substr(0, i));
            e = api_->GetAttributes(root_, &attr);
            if (e)
                return Status(Error::kTarget, "cannot create the target folder \"" + root +
                                                  "\": " + ntfs::ErrorText(e));
        }
        if (!(attr & ntfs::kAttrDirectory))
            return Status(Error::kTarget, "the target \"" + root + "\" is not a folder");
        return Status::Ok();
    }

    Status MakeDirectory(const std::string& rel, const wim::DirEntryInfo& e) override {
        std::string p = Full(rel);
        uint32_t attr = 0;
        if (api_->GetAttributes(p, &attr) == ntfs::kOk) {
            if (!(attr & ntfs::kAttrDirectory)) {
                api_->SetAttributes(p, 0x80);
                if (uint32_t err = api_->DeleteName(p)) return WriteError("cannot replace", p, err);
            }
        }
        if (!(attr & ntfs::kAttrDirectory)) {
            uint32_t err = api_->MakeFolder(p);
            if (err && err != ntfs::kErrAlreadyExists)
                return WriteError("cannot create the folder", p, err);
        }
        SetUpNew(rel, p, e);
        return Status::Ok();
    }

    Status MakeFile(const std::string& rel, const wim::DirEntryInfo& e) override {
        std::string p = Full(rel);
        Status cleared = ClearName(p);
        if (!cleared.ok()) return cleared;
        ntfs::Handle h = 0;
        uint32_t err = api_->Open(p, ntfs::kWrite, ntfs::Disposition::kCreateNew, Backup(), &h);
        if (err) return WriteError("cannot create the file", p, err);
        api_->Close(h);
        SetUpNew(rel, p, e);
        if (e.attributes & ntfs::kAttrSparse) sparse_.insert(rel);
        return Status::Ok();
    }

    Status CreateStream(const std::string& rel, const std::string& stream, uint64_t,
                        std::unique_ptr<OutStream>* out) override {
        std::string p = Full(rel);
        if (!stream.empty()) p += ":" + stream;
        ntfs::Handle h = 0;
        // Opening, never superseding: the default stream's overwrite would take
        // the named streams with it.
        uint32_t err = api_->Open(
            p, ntfs::kWrite,
            stream.empty() ? ntfs::Disposition::kOpenExisting : ntfs::Disposition::kOpenAlways,
            Backup(), &h);
        if (err) return WriteError("cannot create the file", p, err);
        out->reset(new SeamStream(api_, h, p, stream.empty() && sparse_.count(rel)));
        return Status::Ok();
    }

    Status MakeHardLink(const std::string& existing, const std::string& rel) override {
        std::string from = Full(existing), to = Full(rel);
        uint32_t attr = 0;
        if (api_->GetAttributes(to, &attr) == ntfs::kOk) {
            api_->SetAttributes(to, 0x80);
            api_->DeleteName(to);
        }
        if (uint32_t err = api_->MakeHardLink(to, from))
            return WriteError("cannot make the hard link", to, err);
        return Status::Ok();
    }

    Status SetReparsePoint(const std::string& rel, const wim::DirEntryInfo& e,
                           const std::string& data, int) override {
        std::string p = Full(rel);
        if (data.size() > 16 * 1024 - 8) {
            NoteNotKept(rel, "reparse point", "reparse data too large");
            return Status::Ok();
        }
        std::string fixed = data;
        if (reparseFix_ && e.reparseFlags == 0) {
            // The target root without the long-path prefix and final '\'.
            std::string base = Shown(root_);
            if (base.size() > 2 && base.back() == '\\') base.pop_back();
            fixed = FixedLinkData(data, e.reparseTag, base);
        }
        std::string buf(8, '\0');
        common::StoreLe32(&buf[0], e.reparseTag);
        common::StoreLe16(&buf[4], uint16_t(fixed.size()));
        buf += fixed;
        ntfs::Handle h = 0;
        uint32_t err = api_->Open(p, ntfs::kWrite, ntfs::Disposition::kOpenExisting, Backup(), &h);
        if (!err) {
            err = api_->SetReparsePoint(h, buf);
            api_->Close(h);
        }
        if (err) NoteNotKept(rel, "reparse point", ntfs::ErrorText(err));
        return Status::Ok();
    }

    Status Finish(const std::string& rel, const wim::DirEntryInfo& e,
                  const std::string* sd) override {
        std::string p = Full(rel);
        ntfs::Handle h = 0;
        uint32_t err = ntfs::kOk;
        // The target root keeps its times and attributes; it takes the image
        // root's descriptor (a system volume's root needs its own).
        if (!rel.empty()) {
            err = api_->Open(p, ntfs::kWriteAttributes, ntfs::Disposition::kOpenExisting, Backup(),
                             &h);
            if (!err) {
                err = api_->SetTimes(h, e.creationTime, e.lastAccessTime, e.lastWriteTime);
                api_->Close(h);
            }
            if (err) NoteNotKept(rel, "times", ntfs::ErrorText(err));
            uint32_t attr = e.attributes & kSettableAttributes;
            if (attr) {
                err = api_->SetAttributes(p, attr);
                if (err) NoteNotKept(rel, "attributes", ntfs::ErrorText(err));
            }
        }
        if (sd && sd->size() >= 20) {
            // The descriptor is the file's last write: after it, the file may
            // no longer be writable without backup intent.
            const uint32_t kAll = ntfs::kOwnerInfo | ntfs::kGroupInfo | ntfs::kDaclInfo |
                                  ntfs::kSaclInfo | ntfs::kLabelInfo;
            err = api_->Open(p, ntfs::kWriteDac | ntfs::kWriteOwner | ntfs::kSystemSecurity,
                             ntfs::Disposition::kOpenExisting, Backup(), &h);
            if (!err) {
                err = api_->SetSecurity(h, kAll, *sd);
                // Systems before Vista know no label; the SACL still carries it.
                if (err == ntfs::kErrInvalidParameter)
                    err = api_->SetSecurity(h, kAll & ~ntfs::kLabelInfo, *sd);
                api_->Close(h);
            }
            if (err) NoteNotKept(rel.empty() ? "\\" : rel, "security", ntfs::ErrorText(err));
        }
        return Status::Ok();
    }

    Status WriteEncrypted(const std::string& rel, const std::string& raw) override {
        std::string p = Full(rel);
        Status cleared = ClearName(p);
        if (!cleared.ok()) return cleared;
        if (uint32_t err = api_->WriteEncryptedRaw(p, raw))
            NoteNotKept(rel, "encryption", ntfs::ErrorText(err));
        return Status::Ok();
    }

    bool SupportsNamedStreams() const override { return true; }
    bool FoldsCase() const override { return true; }

  private:
    // Removes what the target holds under a file's name. Deleted rather than
    // superseded: an old hard link keeps its data.
    Status ClearName(const std::string& p) {
        uint32_t attr = 0;
        if (api_->GetAttributes(p, &attr) != ntfs::kOk) return Status::Ok();
        api_->SetAttributes(p, 0x80);
        uint32_t err = (attr & ntfs::kAttrDirectory) ? api_->RemoveFolder(p) : api_->DeleteName(p);
        return err ? WriteError("cannot replace", p, err) : Status::Ok();
    }

    // Short name, compression and sparseness of a just created file or folder.
    void SetUpNew(const std::string& rel, const std::string& p, const wim::DirEntryInfo& e) {
        bool compress = (e.attributes & ntfs::kAttrCompressed) != 0;
        bool sparse = !e.IsDirectory() && (e.attributes & ntfs::kAttrSparse);
        bool shortName = !e.shortName.empty() && shortNamesWork_;
        if (!e.shortName.empty() && !shortNamesWork_) warnings_.shortNamesSkipped++;
        if (!compress && !sparse && !shortName) return;
        ntfs::Handle h = 0;
        uint32_t err = api_->Open(p, ntfs::kWrite | ntfs::kDelete, ntfs::Disposition::kOpenExisting,
                                  Backup(), &h);
        if (err) {
            NoteNotKept(rel, "open", ntfs::ErrorText(err));
            return;
        }
        if (shortName) {
            err = api_->SetShortName(h, e.shortName);
            if (err == ntfs::kErrInvalidParameter || err == ntfs::kErrNotSupported ||
                err == kErrCallNotImplemented) {
                // 8.3 names are turned off on this volume (or unknown to the
                // system): none will be set, which is what the volume wants.
                shortNamesWork_ = false;
                warnings_.shortNamesSkipped++;
            } else if (err) {
                NoteNotKept(rel, "short name " + e.shortName, ntfs::ErrorText(err));
            }
        }
        if (compress && (err = api_->SetCompressed(h)))
            NoteNotKept(rel, "compression", ntfs::ErrorText(err));
        if (sparse && (err = api_->SetSparse(h))) NoteNotKept(rel, "sparse", ntfs::ErrorText(err));
        api_->Close(h);
    }

    std::string Full(const std::string& rel) const {
        std::string w = rel;
        for (char& c : w)
            if (c == '/') c = '\\';
        if (w.empty()) return root_;
        return root_ + w;
    }

    std::unique_ptr<ntfs::Api> owned_;
    ntfs::Api* api_;
    std::string root_;
    bool shortNamesWork_ = true;
    std::set<std::string> sparse_;  // files whose zeros are left as holes
};

}  // namespace

std::unique_ptr<ApplyTarget> MakeNtfsApplyTarget(ntfs::Api* api) {
    return std::make_unique<NtfsTarget>(api, nullptr);
}

std::unique_ptr<ApplyTarget> MakeNtfsApplyTarget(std::unique_ptr<ntfs::Api> api) {
    ntfs::Api* raw = api.get();
    return std::make_unique<NtfsTarget>(raw, std::move(api));
}

}  // namespace imagex
