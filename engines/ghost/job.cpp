#include "engines/ghost/job.h"

#include <cctype>

namespace ghost {

namespace {

Status NoPartition(const PartitionId& id) {
    return Fail(kErrPartition, u8"找不到分区 " + id.Text() + u8"。");
}

// "1:2:\dir\a.GHO" (or "1:2\dir\a.GHO", the reboot-mode form) names a file on
// partition 1:2.
std::string ResolveImagePath(const std::string& path, VolumeMap& volumes) {
    size_t i = 0;
    auto digits = [&] {
        size_t start = i;
        while (i < path.size() && path[i] >= '0' && path[i] <= '9') ++i;
        return i > start;
    };
    if (!digits() || i >= path.size() || path[i] != ':') return path;
    ++i;
    if (!digits()) return path;
    size_t idEnd = i;
    if (i < path.size() && path[i] == ':') ++i;
    if (i >= path.size() || (path[i] != '\\' && path[i] != '/')) return path;
    PartitionId id;
    if (!ParsePartitionId(path.substr(0, idEnd), &id)) return path;
    std::string root = volumes.RootOf(id);
    if (root.empty()) return path;
    std::string rest = path.substr(i + 1);
#ifndef _WIN32
    for (char& c : rest) {
        if (c == '\\') c = '/';
    }
#endif
    char last = root.back();
    return root + (last == '/' || last == '\\' ? "" : "/") + rest;
}

// The target must be neither the volume of the running system nor one that holds
// any of the given files (image and spans).
Status GuardTarget(const PartitionId& target, const std::string& targetRoot,
                   const std::vector<std::string>& files, VolumeMap& volumes) {
    std::string rootAbs = volumes.Absolute(targetRoot);
    for (const std::string& f : files) {
        if (volumes.PartitionOf(f) == target || PathInside(volumes.Absolute(f), rootAbs)) {
            return Fail(kErrTargetHoldsImage,
                        u8"目标分区 " + target.Text() + u8" 上存放着映像文件 " + f + u8"。");
        }
    }
    PartitionId sys = volumes.SystemPartition();
    if (sys.valid() && sys == target) {
        return Fail(kErrTargetIsSystem,
                    u8"目标分区 " + target.Text() + u8" 是正在运行的系统所在分区。");
    }
    return Ok();
}

// The running Windows keeps its registry hives and open files locked: its own
// volume is backed up or copied from the reboot mode, not from inside it.
Status GuardSource(const PartitionId& source, VolumeMap& volumes) {
    PartitionId sys = volumes.SystemPartition();
    if (sys.valid() && sys == source) {
        return Fail(kErrSourceIsSystem, u8"源分区 " + source.Text() +
                                            u8" 是正在运行的系统所在分区，无法在运行中读取；"
                                            u8"请使用重启模式。");
    }
    return Ok();
}

}  // namespace

std::string JobTitle(const JobRequest& r) {
    switch (r.kind) {
        case JobRequest::kBackup:
            return u8"备份分区 " + r.source.Text() + u8" 到 " + r.image;
        case JobRequest::kRestore:
            return u8"从 " + r.image + u8" 还原到分区 " + r.target.Text();
        case JobRequest::kCopy:
            return u8"复制分区 " + r.source.Text() + u8" 到 " + r.target.Text();
        case JobRequest::kCheck:
            return u8"检查映像 " + r.image;
        default:
            return "";
    }
}

Status RunJob(const JobRequest& r, VolumeMap& volumes, const ProgressFn& progress) {
    switch (r.kind) {
        case JobRequest::kBackup: {
            std::string root = volumes.RootOf(r.source);
            if (root.empty()) return NoPartition(r.source);
            Status guard = GuardSource(r.source, volumes);
            if (!guard.ok()) return guard;
            std::string image = ResolveImagePath(r.image, volumes);
            if (volumes.PartitionOf(image) == r.source ||
                PathInside(volumes.Absolute(image), volumes.Absolute(root))) {
                return Fail(kErrSameVolume,
                            u8"映像文件不能保存在要备份的分区 " + r.source.Text() + u8" 上。");
            }
            ImageWriter::Options options;
            options.level = r.level ? r.level : kDefaultLevel;
            uint64_t mib = r.splitMiB ? r.splitMiB : (r.span ? kAutoSpanMiB : 0);
            options.spanLimit = mib << 20;
            options.password = r.password;
#ifdef _WIN32
            options.origin = kOriginWindows;
#endif
            auto fs = OpenVolumeFs(root);
            return BackupVolume(*fs, image, options, progress);
        }
        case JobRequest::kRestore: {
            std::string root = volumes.RootOf(r.target);
            if (root.empty()) return NoPartition(r.target);
            std::string path = ResolveImagePath(r.image, volumes);
            ImageReader image;
            Status s = image.Open(path, r.password);
            if (!s.ok()) return s;
            std::vector<std::string> files;
            for (uint32_t i = 0; i < image.spanCount(); ++i) files.push_back(image.spanPath(i));
            s = GuardTarget(r.target, root, files, volumes);
            if (!s.ok()) return s;
            auto fs = OpenVolumeFs(root);
            RestoreOptions options;
            options.crcIgnore = r.crcIgnore;
            return RestoreVolume(image, *fs, options, progress);
        }
        case JobRequest::kCopy: {
            std::string from = volumes.RootOf(r.source), to = volumes.RootOf(r.target);
            if (from.empty()) return NoPartition(r.source);
            if (to.empty()) return NoPartition(r.target);
            std::string fromAbs = volumes.Absolute(from), toAbs = volumes.Absolute(to);
            if (r.source == r.target || PathInside(fromAbs, toAbs) || PathInside(toAbs, fromAbs)) {
                return Fail(kErrSameVolume, u8"源分区与目标分区相同或相互包含。");
            }
            Status s = GuardSource(r.source, volumes);
            if (s.ok()) s = GuardTarget(r.target, to, {}, volumes);
            if (!s.ok()) return s;
            auto src = OpenVolumeFs(from);
            auto dst = OpenVolumeFs(to);
            return CopyVolume(*src, *dst, progress);
        }
        case JobRequest::kCheck:
            return CheckImage(ResolveImagePath(r.image, volumes), r.password, progress);
        default:
            return Fail(kErrUsage, u8"缺少 -clone 或 -CHKIMG。");
    }
}

}  // namespace ghost
