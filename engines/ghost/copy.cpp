// Partition copy: the target ends up holding exactly the source's tree.
#include <map>

#include "engines/ghost/operations.h"
#include "engines/ghost/tree_plan.h"

namespace ghost {

namespace {

Status CopyData(VolumeFs& source, VolumeFs& target, const Entry& from, const Entry& to,
                const ExtraStream* stream, uint64_t size, std::vector<uint8_t>& buffer,
                uint64_t* done, uint64_t total, const ProgressFn& progress) {
    auto in = source.OpenData(from, stream);
    if (!in) return Fail(kErrRead, u8"无法读取文件 " + source.root() + "/" + from.path);
    const ExtraStream* outStream = nullptr;
    if (stream) {
        for (const ExtraStream& s : to.streams) {
            if (s.name == stream->name && s.kind == stream->kind) outStream = &s;
        }
    }
    auto out = target.CreateData(to, outStream);
    if (!out) return Fail(kErrWrite, u8"无法创建文件 " + target.root() + "/" + to.path);
    uint64_t left = size;
    while (left > 0) {
        if (!progress(*done, total)) return Fail(kErrCancelled, "");
        size_t want = size_t(std::min<uint64_t>(left, buffer.size()));
        long long n = in->Read(buffer.data(), want);
        if (n < 0) return Fail(kErrRead, u8"读取文件失败 " + source.root() + "/" + from.path);
        if (n == 0) break;  // shrank since the scan: copy what is there
        if (!out->Write(buffer.data(), size_t(n))) {
            Status s = out->Close();
            return s.ok() ? Fail(kErrWrite, u8"写入文件失败 " + to.path) : s;
        }
        left -= uint64_t(n);
        *done += uint64_t(n);
    }
    return out->Close();
}

}  // namespace

Status CopyVolume(VolumeFs& source, VolumeFs& target, const ProgressFn& progress) {
    std::vector<Entry> entries;
    Status s = source.Scan(&entries, [&] { return progress(0, 0); });
    if (!s.ok()) return s;
    std::vector<uint32_t> keep(entries.size());
    std::vector<std::string> paths(entries.size());
    std::vector<uint32_t> planToSource;
    for (uint32_t i = 0; i < entries.size(); ++i) {
        keep[i] = i;
        paths[i] = entries[i].path;
    }
    std::vector<Entry> plan = PlanFor(target, entries, keep, paths);
    // Plan entries keep their source paths (a hard-linked file's data may move
    // to another of its names): each is mapped back to its source by path.
    std::vector<const Entry*> from;
    {
        std::map<std::string, const Entry*> byPath;
        for (const Entry& e : entries) byPath.emplace(e.path, &e);
        for (const Entry& e : plan) {
            auto it = byPath.find(e.path);
            from.push_back(it == byPath.end() ? nullptr : it->second);
        }
    }
    // Encrypted files cannot be copied readable: named before the target is
    // touched, rather than found missing after it was emptied.
    if (!source.encryptedLeftOut().empty()) {
        std::string text = u8"源分区上有加密文件，无法复制，未做任何改动：";
        for (const std::string& p : source.encryptedLeftOut()) text += "\r\n  " + p;
        return Fail(kErrNotKept, text);
    }
    std::vector<Entry> current;
    s = target.Scan(&current, [&] { return progress(0, 0); });
    if (!s.ok()) return s;
    uint64_t releasable = 0;
    for (const Entry& e : current) releasable += e.dataSize;
    s = CheckSpace(target, plan, releasable);
    if (!s.ok()) return s;
    if (!progress(0, PlanBytes(plan))) return Fail(kErrCancelled, "");

    s = target.Wipe();
    if (s.ok()) s = CreateDirectories(target, plan);
    if (!s.ok()) return s;
    const uint64_t total = PlanBytes(plan);
    uint64_t done = 0;
    std::vector<uint8_t> buffer(1 << 20);
    for (size_t i = 0; i < plan.size(); ++i) {
        const Entry& to = plan[i];
        if (to.type != EntryType::kFile && to.type != EntryType::kDirectory) continue;
        if (!from[i]) return Fail(kErrInternal, u8"内部错误。");
        const Entry& src = *from[i];
        if (to.type == EntryType::kFile) {
            s = CopyData(source, target, src, to, nullptr, to.dataSize, buffer, &done, total,
                         progress);
            if (!s.ok()) return s;
        }
        for (const ExtraStream& st : to.streams) {
            s = CopyData(source, target, src, to, &st, st.size, buffer, &done, total, progress);
            if (!s.ok()) return s;
        }
    }
    s = FinishTree(target, plan);
    if (s.ok()) s = NotKeptStatus(source.notKept());
    return s;
}

}  // namespace ghost
