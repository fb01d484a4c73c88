#include "engines/imagex/apply_command.h"

#include <algorithm>
#include <map>
#include <memory>

#include "common/console_out.h"
#include "engines/imagex/apply_pipeline.h"
#include "engines/imagex/progress.h"
#include "engines/imagex/report.h"
#include "engines/wimformat/sha1.h"
#include "engines/wimformat/wim_disk.h"

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

// Nominal work per entry, so that trees of empty files still show progress.
constexpr uint64_t kEntryWork = 4096;
// Above this many copies a blob is buffered and written one file at a time,
// rather than holding every file open at once.
constexpr size_t kMaxOpenCopies = 8;
constexpr uint64_t kMaxBufferedBlob = 64u << 20;
// Data is hashed and written in pieces that stay in the processor's cache.
constexpr size_t kPiece = 256u << 10;
constexpr uint32_t kEncryptedAttribute = 0x4000;
// Raw EFS data is handed over from memory.
constexpr uint64_t kMaxEncryptedBlob = 256u << 20;

struct StreamTarget {
    std::string rel;
    std::string stream;
};

struct WantedBlob {
    const wim::Blob* blob = nullptr;
    std::vector<StreamTarget> targets;
    bool keep = false;  // reparse data: kept in memory for later
    std::string kept;
};

class BlobWriter : public SliceConsumer {
  public:
    BlobWriter(std::vector<WantedBlob>& wanted, ApplyTarget* target, ProgressReporter* progress)
        : wanted_(wanted), target_(target), progress_(progress) {}

    Status Begin(size_t id) override {
        WantedBlob& w = wanted_[id];
        sha_ = wim::Sha1();
        open_.clear();
        buffered_ = w.targets.size() > kMaxOpenCopies && w.blob->size <= kMaxBufferedBlob;
        if (w.keep || buffered_) {
            w.kept.clear();
            w.kept.reserve(size_t(w.blob->size));
        }
        if (!buffered_) {
            for (const StreamTarget& t : w.targets) {
                std::unique_ptr<OutStream> s;
                Status st = target_->CreateStream(t.rel, t.stream, w.blob->size, &s);
                if (!st.ok()) return st;
                open_.push_back(std::move(s));
            }
        }
        return Status::Ok();
    }

    Status Data(size_t id, const uint8_t* data, size_t size) override {
        WantedBlob& w = wanted_[id];
        if (progress_) progress_->Add(uint64_t(size) * (w.targets.empty() ? 1 : w.targets.size()));
        // A piece at a time, so that the bytes the hash has just read are
        // still in the processor's cache when they are copied out.
        while (size) {
            size_t n = size < kPiece ? size : kPiece;
            sha_.Update(data, n);
            if (w.keep || buffered_) w.kept.append(reinterpret_cast<const char*>(data), n);
            for (auto& s : open_) {
                Status st = s->Write(data, n);
                if (!st.ok()) return st;
            }
            data += n;
            size -= n;
        }
        return Status::Ok();
    }

    Status End(size_t id) override {
        WantedBlob& w = wanted_[id];
        for (auto& s : open_) {
            Status st = s->Close();
            if (!st.ok()) return st;
        }
        open_.clear();
        wim::Hash h;
        sha_.Final(h.data());
        if (h != w.blob->hash)
            return Status(Error::kHashMismatch,
                          "SHA-1 mismatch in blob " + wim::HexOfHash(w.blob->hash.data()) +
                              (w.targets.empty() ? "" : " (" + w.targets[0].rel + ")"));
        if (buffered_) {
            for (const StreamTarget& t : w.targets) {
                std::unique_ptr<OutStream> s;
                Status st = target_->CreateStream(t.rel, t.stream, w.blob->size, &s);
                if (st.ok())
                    st = s->Write(reinterpret_cast<const uint8_t*>(w.kept.data()), w.kept.size());
                if (st.ok()) st = s->Close();
                if (!st.ok()) return st;
            }
            if (!w.keep) std::string().swap(w.kept);
        }
        return Status::Ok();
    }

  private:
    std::vector<WantedBlob>& wanted_;
    ApplyTarget* target_;
    ProgressReporter* progress_;
    wim::Sha1 sha_;
    std::vector<std::unique_ptr<OutStream>> open_;
    bool buffered_ = false;
};

// Sort key of a unit: where its stored data starts.
uint64_t UnitOffset(const wim::WimFile& wim, const wim::Blob& b) {
    if (b.solidGroup >= 0) return wim.solidGroups()[size_t(b.solidGroup)].resources.front().offset;
    return b.resource.offset;
}

}  // namespace

Status ApplyImage(const wim::WimFile& wim, unsigned index, const std::string& root,
                  ApplyTarget* target, const ApplyOptions& options) {
    const wim::WimHeaderInfo& h = wim.header();
    if (index == 0 || index > h.imageCount)
        return Status(Error::kImageIndex, "image " + std::to_string(index) +
                                              " does not exist (the file holds " +
                                              std::to_string(h.imageCount) + ")");
    if (options.check) {
        bool present = false;
        Status s = wim.CheckIntegrity(&present);
        if (!s.ok()) return s;
    }
    wim::ImageTree tree;
    Status s = wim::ReadImageTree(wim, index, &tree);
    if (!s.ok()) return s;
    const auto& entries = tree.entries;

    // Paths and depths; a parent always comes before its children.
    std::vector<std::string> rel(entries.size());
    std::vector<int> depth(entries.size(), 0);
    for (size_t i = 1; i < entries.size(); ++i) {
        int p = entries[i].parent;
        rel[i] = p == 0 ? entries[i].name : rel[size_t(p)] + "/" + entries[i].name;
        depth[i] = depth[size_t(p)] + 1;
    }

    // A name holding ':' would make a named stream on Windows.
    if (target->SupportsNamedStreams()) {
        for (size_t i = 1; i < entries.size(); ++i) {
            if (entries[i].name.find(':') != std::string::npos)
                return Status(Error::kBadMetadata,
                              "the image holds a name with ':' (\"" + rel[i] + "\")");
        }
    }

    // Names that differ only in case (from a case-sensitive source) are one
    // name on NTFS: the first is kept, the others and their contents are
    // listed, rather than one silently replacing the other.
    std::vector<bool> dropped(entries.size(), false);
    std::vector<std::pair<size_t, size_t>> caseTwins;  // (dropped, kept)
    if (target->FoldsCase()) {
        std::map<std::pair<int, std::string>, size_t> seen;
        for (size_t i = 1; i < entries.size(); ++i) {
            if (dropped[size_t(entries[i].parent)]) {
                dropped[i] = true;
                continue;
            }
            std::string folded = entries[i].name;
            for (char& c : folded)
                if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
            auto ins = seen.emplace(std::make_pair(entries[i].parent, folded), i);
            if (!ins.second) {
                dropped[i] = true;
                caseTwins.emplace_back(i, ins.first->second);
            }
        }
    }

    target->SetReparseFix((h.flags & wim::kHeaderRpFix) != 0);
    s = target->Prepare(root);
    if (!s.ok()) return s;
    for (const auto& twin : caseTwins)
        target->NoteNotKept(rel[twin.first], "name",
                            "differs only in case from \"" + rel[twin.second] + "\"");

    // Hard links: the first name of a group gets the data, the others link to
    // it. Some writers reuse group numbers for unrelated files, so a name only
    // joins a group whose content is the same.
    std::map<std::pair<uint64_t, wim::Hash>, size_t> primary;
    std::vector<std::pair<size_t, size_t>> links;  // (existing, new)
    std::vector<bool> secondary(entries.size(), false);
    std::vector<size_t> files;                         // created empty first
    std::vector<std::pair<size_t, size_t>> encrypted;  // (entry, wanted id or SIZE_MAX)
    std::vector<bool> encryptedMade(entries.size(), false);
    std::vector<WantedBlob> wanted;
    std::map<wim::Hash, size_t> wantedIndex;
    std::vector<std::pair<size_t, size_t>> reparse;  // (entry, wanted id or SIZE_MAX)
    auto want = [&](const wim::Hash& hash, size_t* id) -> Status {
        auto it = wantedIndex.find(hash);
        if (it != wantedIndex.end()) {
            *id = it->second;
            return Status::Ok();
        }
        const wim::Blob* b = wim.FindBlob(hash);
        if (!b)
            return Status(Error::kMissingBlob, "the image refers to data the file does not hold (" +
                                                   wim::HexOfHash(hash.data()) + ")");
        *id = wanted.size();
        wantedIndex.emplace(hash, *id);
        wanted.emplace_back();
        wanted.back().blob = b;
        return Status::Ok();
    };
    // The name that carries a short name gets the data: its short name is set
    // while it is the file's only name.
    for (size_t i = 1; i < entries.size(); ++i) {
        const wim::DirEntryInfo& e = entries[i];
        if (dropped[i] || e.IsDirectory() || !e.hardLinkGroup ||
            (e.attributes & kEncryptedAttribute))
            continue;
        auto ins = primary.emplace(std::make_pair(e.hardLinkGroup, e.data), i);
        if (!ins.second && entries[ins.first->second].shortName.empty() && !e.shortName.empty())
            ins.first->second = i;
    }
    uint64_t work = entries.size() * kEntryWork;
    for (size_t i = 1; i < entries.size(); ++i) {
        const wim::DirEntryInfo& e = entries[i];
        const bool dir = e.IsDirectory();
        if (dropped[i]) continue;
        if (!dir && (e.attributes & kEncryptedAttribute)) {
            // The stored data is the raw EFS export, kept to be handed over whole.
            size_t id = SIZE_MAX;
            if (!wim::IsZeroHash(e.data)) {
                s = want(e.data, &id);
                if (!s.ok()) return s;
                if (wanted[id].blob->size > kMaxEncryptedBlob) {
                    target->NoteNotKept(rel[i], "encryption", "the raw EFS data is too large");
                    continue;
                }
                wanted[id].keep = true;
            }
            encrypted.emplace_back(i, id);
            continue;
        }
        if (!dir && e.hardLinkGroup) {
            size_t first = primary[std::make_pair(e.hardLinkGroup, e.data)];
            if (first != i) {
                links.emplace_back(first, i);
                secondary[i] = true;
                continue;
            }
        }
        if (!dir) files.push_back(i);
        if (e.IsReparsePoint()) {
            size_t id = SIZE_MAX;
            if (!wim::IsZeroHash(e.data)) {
                s = want(e.data, &id);
                if (!s.ok()) return s;
                wanted[id].keep = true;
            }
            reparse.emplace_back(i, id);
        } else if (!dir && !wim::IsZeroHash(e.data)) {
            size_t id;
            s = want(e.data, &id);
            if (!s.ok()) return s;
            if (wanted[id].blob->size != 0) {
                wanted[id].targets.push_back({rel[i], ""});
                work += wanted[id].blob->size;
            }
        }
        for (const wim::NamedStream& ns : e.streams) {
            if (!target->SupportsNamedStreams()) {
                target->NoteSkippedStream();
                continue;
            }
            if (wim::IsZeroHash(ns.hash)) continue;  // created empty below
            size_t id;
            s = want(ns.hash, &id);
            if (!s.ok()) return s;
            if (wanted[id].blob->size == 0) continue;
            wanted[id].targets.push_back({rel[i], ns.name});
            work += wanted[id].blob->size;
        }
    }

    std::unique_ptr<ProgressReporter> progress;
    if (options.progress) progress = std::make_unique<ProgressReporter>("Applying", work);

    for (size_t i = 1; i < entries.size(); ++i) {
        if (!entries[i].IsDirectory() || dropped[i]) continue;
        s = target->MakeDirectory(rel[i], entries[i]);
        if (!s.ok()) return s;
        if (progress) progress->Add(kEntryWork);
    }
    // Every file is made (with its short name) before any data is written, so
    // that writing its streams never needs to supersede it.
    for (size_t i : files) {
        s = target->MakeFile(rel[i], entries[i]);
        if (!s.ok()) return s;
    }
    // Empty named streams.
    for (size_t i = 1; i < entries.size() && target->SupportsNamedStreams(); ++i) {
        if (dropped[i] || secondary[i] ||
            (!entries[i].IsDirectory() && (entries[i].attributes & kEncryptedAttribute)))
            continue;
        for (const wim::NamedStream& ns : entries[i].streams) {
            bool empty = wim::IsZeroHash(ns.hash);
            if (!empty) {
                const wim::Blob* b = wim.FindBlob(ns.hash);
                empty = b && b->size == 0;
            }
            if (!empty) continue;
            std::unique_ptr<OutStream> out;
            s = target->CreateStream(rel[i], ns.name, 0, &out);
            if (s.ok()) s = out->Close();
            if (!s.ok()) return s;
        }
    }

    // Units in file order; a solid group is one unit.
    std::map<std::pair<uint64_t, int64_t>, PlannedUnit> units;
    for (size_t id = 0; id < wanted.size(); ++id) {
        const WantedBlob& w = wanted[id];
        if (!w.blob || w.blob->size == 0) continue;
        const wim::Blob& b = *w.blob;
        auto key = std::make_pair(UnitOffset(wim, b),
                                  b.solidGroup >= 0 ? int64_t(b.solidGroup) : -1 - int64_t(id));
        PlannedUnit& u = units[key];
        if (u.chunks.empty()) {
            s = b.solidGroup >= 0 ? wim.SolidGroupChunks(b.solidGroup, &u.chunks)
                                  : wim.ResourceChunks(b.resource, &u.chunks);
            if (!s.ok()) return s;
        }
        PlannedSlice sl;
        sl.offset = b.solidGroup >= 0 ? b.solidOffset : 0;
        sl.size = b.size;
        sl.id = id;
        u.slices.push_back(sl);
    }
    std::vector<PlannedUnit> ordered;
    ordered.reserve(units.size());
    for (auto& kv : units) {
        auto& sl = kv.second.slices;
        std::sort(sl.begin(), sl.end(),
                  [](const PlannedSlice& x, const PlannedSlice& y) { return x.offset < y.offset; });
        ordered.push_back(std::move(kv.second));
    }
    units.clear();

    BlobWriter writer(wanted, target, progress.get());
    s = RunPipeline(wim, ordered, &writer, options.threads);
    if (!s.ok()) return s;

    for (auto& en : encrypted) {
        const std::string empty;
        size_t before = target->notKept().size();
        s = target->WriteEncrypted(rel[en.first],
                                   en.second == SIZE_MAX ? empty : wanted[en.second].kept);
        if (!s.ok()) return s;
        encryptedMade[en.first] = target->notKept().size() == before;
    }
    for (auto& l : links) {
        s = target->MakeHardLink(rel[l.first], rel[l.second]);
        if (!s.ok()) return s;
    }
    for (auto& r : reparse) {
        const std::string empty;
        const std::string& data = r.second == SIZE_MAX ? empty : wanted[r.second].kept;
        s = target->SetReparsePoint(rel[r.first], entries[r.first], data, depth[r.first]);
        if (!s.ok()) return s;
    }
    // Children before parents, so that a folder's times are set last.
    // Metadata belongs to the file, so it is set once, through its first name.
    for (size_t i = entries.size(); i-- > 0;) {
        const wim::DirEntryInfo& e = entries[i];
        if (dropped[i] || secondary[i] ||
            (!e.IsDirectory() && (e.attributes & kEncryptedAttribute) && !encryptedMade[i]))
            continue;
        const std::string* sd = nullptr;
        if (e.securityId >= 0 && size_t(e.securityId) < tree.securityDescriptors.size())
            sd = &tree.securityDescriptors[size_t(e.securityId)];
        s = target->Finish(rel[i], e, sd);
        if (!s.ok()) return s;
        if (progress && i && !e.IsDirectory()) progress->Add(kEntryWork);
    }
    if (progress) progress->Finish(true);
    return Status::Ok();
}

int RunApply(const std::string& path, unsigned index, const std::string& root, bool check) {
    std::unique_ptr<ApplyTarget> target = MakeApplyTarget();
    ApplyOptions options;
    options.check = check;
    return RunApplyWith(path, index, root, target.get(), options);
}

int RunApplyWith(const std::string& path, unsigned index, const std::string& root,
                 ApplyTarget* target, const ApplyOptions& options) {
    engine::PrintText(ProgramBanner());
    wim::WimFile wim;
    Status s = wim.Open(path);
    if (s.ok()) {
        s = ApplyImage(wim, index, root, target, options);
        const ApplyWarnings& w = target->warnings();
        if (w.securitySkipped)
            engine::PrintText("Warning: " + std::to_string(w.securitySkipped) +
                              " security descriptors could not be set (not permitted here).\r\n");
        if (w.reparseSkipped)
            engine::PrintText("Warning: " + std::to_string(w.reparseSkipped) +
                              " reparse points could not be created.\r\n");
        if (w.shortNamesSkipped)
            engine::PrintText("Warning: 8.3 names are turned off on the target volume; " +
                              std::to_string(w.shortNamesSkipped) +
                              " short names were not set.\r\n");
        const std::vector<NotKept>& lost = target->notKept();
        for (const NotKept& n : lost)
            engine::PrintText("Not kept: " + n.path + " (" + n.step + "): " + n.error + "\r\n");
        if (s.ok() && !lost.empty())
            s = Status(Error::kNotKept, std::to_string(lost.size()) +
                                            " items of the image could not be applied as "
                                            "they were (listed above)");
    }
    if (!s.ok()) return ReportError(s);
    engine::PrintText("\r\nSuccessfully applied image.\r\n");
    return 0;
}

}  // namespace imagex
