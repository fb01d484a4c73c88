#include "engines/ghost/tree_plan.h"

#include <unordered_map>

namespace ghost {

std::vector<Entry> PlanFor(const VolumeFs& destination, const std::vector<Entry>& entries,
                           const std::vector<uint32_t>& keep,
                           const std::vector<std::string>& newPaths) {
    std::vector<Entry> plan;
    std::unordered_map<uint32_t, uint32_t> newIndex;
    for (size_t k = 0; k < keep.size(); ++k) {
        const Entry& src = entries[keep[k]];
        if (!destination.Supports(src)) continue;
        Entry e = src;
        if (!newPaths.empty()) e.path = newPaths[k];
        e.streams.clear();
        for (const ExtraStream& s : src.streams) {
            if (destination.SupportsStream(s)) e.streams.push_back(s);
        }
        if (e.type == EntryType::kHardLink) {
            auto it = newIndex.find(src.linkTarget);
            if (it != newIndex.end()) {
                e.linkTarget = it->second;
            } else {
                const Entry& first = entries[src.linkTarget];
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
    // the others link to it.
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
        for (Entry& e : plan) {
            if (e.type == EntryType::kHardLink && e.linkTarget == first) e.linkTarget = i;
        }
    }
    return plan;
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
