#include "engines/ghost/tree_plan.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace ghost {

namespace {

constexpr uint32_t kNotPlanned = UINT32_MAX;

Entry Take(const Entry& e) {
    return e;
}
Entry Take(Entry& e) {
    return std::move(e);
}

// Given entries it may change, the plan moves the kept ones out instead of copying
// them: a whole restore plans every entry of the image, and two copies of an index of
// a few hundred thousand names were a third of the engine's memory. An entry that is
// not kept stays whole, so a link whose first name is left out can still copy that
// file's data.
template <typename Entries>
std::vector<Entry> BuildPlan(const VolumeFs& destination, Entries& entries,
                             const std::vector<uint32_t>& keep,
                             const std::vector<std::string>& newPaths) {
    std::vector<Entry> plan;
    plan.reserve(keep.size());
    std::vector<uint32_t> newIndex(entries.size(), kNotPlanned);
    for (size_t k = 0; k < keep.size(); ++k) {
        auto& src = entries[keep[k]];
        if (!destination.Supports(src)) continue;
        Entry e = Take(src);
        if (!newPaths.empty()) e.path = newPaths[k];
        e.streams.erase(
            std::remove_if(e.streams.begin(), e.streams.end(),
                           [&](const ExtraStream& s) { return !destination.SupportsStream(s); }),
            e.streams.end());
        if (e.type == EntryType::kHardLink) {
            const uint32_t target = e.linkTarget;
            if (newIndex[target] != kNotPlanned) {  // the index puts links after their file
                e.linkTarget = newIndex[target];
            } else {
                const Entry& first = entries[target];
                e.type = EntryType::kFile;
                e.dataOffset = first.dataOffset;
                e.dataSize = first.dataSize;
                for (const ExtraStream& s : first.streams) {
                    if (destination.SupportsStream(s)) e.streams.push_back(s);
                }
            }
        }
        newIndex[keep[k]] = uint32_t(plan.size());
        plan.push_back(std::move(e));
    }
    // A file's 8.3 name is set while it has one name only: when a later name
    // of a hard-linked file holds the short name, that name gets the data and
    // the others link to it. The links to the old first name are re-pointed in one
    // pass at the end (a pass per swap made this quadratic in the links).
    std::vector<uint32_t> movedTo;
    for (uint32_t i = 0; i < plan.size(); ++i) {
        if (plan[i].type != EntryType::kHardLink || plan[i].shortName.empty()) continue;
        uint32_t first = plan[i].linkTarget;
        if (plan[first].type != EntryType::kFile || !plan[first].shortName.empty()) continue;
        Entry data = plan[first];
        data.path = plan[i].path;
        data.shortName = plan[i].shortName;
        Entry link = plan[i];
        link.path = plan[first].path;
        link.shortName.clear();
        plan[first] = std::move(link);
        plan[i] = std::move(data);
        if (movedTo.empty()) movedTo.assign(plan.size(), kNotPlanned);
        movedTo[first] = i;
    }
    if (!movedTo.empty()) {
        for (Entry& e : plan) {
            if (e.type == EntryType::kHardLink && movedTo[e.linkTarget] != kNotPlanned)
                e.linkTarget = movedTo[e.linkTarget];
        }
    }
    return plan;
}

}  // namespace

std::vector<Entry> PlanFor(const VolumeFs& destination, const std::vector<Entry>& entries,
                           const std::vector<uint32_t>& keep,
                           const std::vector<std::string>& newPaths) {
    return BuildPlan(destination, entries, keep, newPaths);
}

std::vector<Entry> PlanWhole(const VolumeFs& destination, std::vector<Entry> entries) {
    std::vector<uint32_t> keep(entries.size());
    for (uint32_t i = 0; i < keep.size(); ++i) keep[i] = i;
    return BuildPlan(destination, entries, keep, {});
}

uint64_t PlanBytes(const std::vector<Entry>& plan) {
    uint64_t total = 0;
    for (const Entry& e : plan) {
        if (e.type == EntryType::kFile) total += e.dataSize;
        for (const ExtraStream& s : e.streams) total += s.size;
    }
    return total;
}

Status CheckSpace(VolumeFs& destination, const std::vector<Entry>& plan, uint64_t releasable) {
    uint64_t free = destination.FreeBytes();
    if (free == UINT64_MAX) return Ok();
    // Allocation slack: a cluster per entry at most.
    uint64_t need = PlanBytes(plan) + uint64_t(plan.size()) * 4096;
    if (need > free + releasable) {
        return Fail(kErrTargetFull, u8"目标分区空间不足：需要 " + std::to_string(need >> 20) +
                                        u8" MB，可用 " + std::to_string((free + releasable) >> 20) +
                                        " MB。");
    }
    return Ok();
}

Status CreateDirectories(VolumeFs& destination, const std::vector<Entry>& plan) {
    for (const Entry& e : plan) {
        if (e.type != EntryType::kDirectory) continue;
        Status s = destination.MakeDirectory(e);
        if (!s.ok()) return s;
    }
    return Ok();
}

Status CreateEmptyFiles(VolumeFs& destination, const std::vector<Entry>& plan) {
    for (const Entry& e : plan) {
        if (e.type != EntryType::kFile || e.dataSize != 0) continue;
        auto out = destination.CreateData(e, nullptr);
        if (!out) return Fail(kErrWrite, u8"无法创建文件 " + destination.root() + "/" + e.path);
        Status s = out->Close();
        if (!s.ok()) return s;
    }
    return Ok();
}

Status FinishTree(VolumeFs& destination, const std::vector<Entry>& plan) {
    // One entry's failure never skips the others: each is tried, and what was
    // not kept is listed at the end.
    std::vector<std::string> notKept;
    auto note = [&](const Status& s) {
        if (!s.ok()) notKept.push_back(s.message);
    };
    for (const Entry& e : plan) {
        if (e.type == EntryType::kHardLink) note(destination.MakeHardLink(e, plan[e.linkTarget]));
        if (e.type == EntryType::kSymlink || e.type == EntryType::kReparse) {
            note(destination.MakeLink(e));
        }
    }
    for (const Entry& e : plan) {
        if (e.type == EntryType::kDirectory || e.type == EntryType::kHardLink) continue;
        note(destination.ApplyMetadata(e));
    }
    for (auto it = plan.rbegin(); it != plan.rend(); ++it) {
        if (it->type != EntryType::kDirectory) continue;
        note(destination.ApplyMetadata(*it));
    }
    // With what the volume noted on the way (short names, compression).
    notKept.insert(notKept.begin(), destination.notKept().begin(), destination.notKept().end());
    return NotKeptStatus(notKept);
}

Status NotKeptStatus(const std::vector<std::string>& notKept) {
    if (notKept.empty()) return Ok();
    std::string text = u8"有 " + std::to_string(notKept.size()) + u8" 项未能完整保留：";
    for (const std::string& m : notKept) text += "\r\n  " + m;
    return Fail(kErrNotKept, text);
}

}  // namespace ghost
