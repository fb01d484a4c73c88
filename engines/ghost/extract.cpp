// Restore and extraction: the chunks an entry list needs are read in order,
// decoded on all cores, and their bytes handed to the files they belong to.
#include <algorithm>
#include <atomic>
#include <map>

#include "engines/ghost/operations.h"
#include "engines/ghost/pipeline.h"
#include "engines/ghost/tree_plan.h"

namespace ghost {

namespace {

struct ChunkTask {
    uint32_t index = 0;
    Status readStatus;
    StoredChunk chunk;
};
struct ChunkDone {
    uint32_t index = 0;
    uint32_t rawSize = 0;
    Status status;
    std::vector<uint8_t> raw;
};

enum class ChunkWork { kVerifyStored, kDecode };

// Runs the listed data chunks through the workers and gives them to sink in order.
Status RunChunks(ImageReader& image, const std::vector<uint32_t>& chunks, ChunkWork work,
                 const std::function<Status(ChunkDone&)>& sink, const ProgressFn& progress,
                 uint64_t progressBase, uint64_t progressTotal) {
    ChunkCipher* cipher = image.cipher();
    std::atomic<uint64_t> done{0};
    Status sinkStatus;
    Status s;
    {
        OrderedPipeline<ChunkTask, ChunkDone> pipe(
            WorkerThreads(), size_t(WorkerThreads()) * 2 + 2,
            [&](ChunkTask& t) {
                ChunkDone d;
                d.index = t.index;
                d.rawSize = image.index().chunks[t.index].rawSize;
                d.status = t.readStatus;
                if (!d.status.ok()) return d;
                if (work == ChunkWork::kDecode) {
                    d.status = DecodeChunk(t.chunk, cipher, &d.raw);
                } else if (Crc32(t.chunk.payload.data(), t.chunk.payload.size()) !=
                           t.chunk.header.storedCrc) {
                    d.status = Fail(kErrCrc, "");
                }
                return d;
            },
            [&](ChunkDone& d) {
                Status r = sink(d);
                if (!r.ok()) {
                    sinkStatus = r;
                    return false;
                }
                done += d.rawSize;
                return true;
            });
        for (uint32_t i : chunks) {
            if (!progress(progressBase + done.load(), progressTotal)) {
                s = Fail(kErrCancelled, "");
                break;
            }
            ChunkTask t;
            t.index = i;
            t.readStatus = image.ReadDataChunk(i, &t.chunk);
            if (!pipe.Submit(std::move(t))) break;
        }
        if (!s.ok()) pipe.Stop();
        pipe.Finish();
    }
    if (!sinkStatus.ok()) return sinkStatus;
    return s;
}

std::string CrcMessage(ImageReader& image, uint32_t chunk) {
    const ChunkLocation& c = image.index().chunks[chunk];
    return u8"映像数据 CRC 校验错误：" + image.Where(c.span, c.offset);
}

struct Slice {
    uint64_t start, end;
    uint32_t entry;
    int stream;  // -1: main data
};

// Writes the bytes of the plan's files from the decoded chunks.
class SliceWriter {
  public:
    SliceWriter(VolumeFs& dst, const std::vector<Entry>& plan) : dst_(dst), plan_(plan) {
        for (uint32_t i = 0; i < plan.size(); ++i) {
            const Entry& e = plan[i];
            if (e.type == EntryType::kFile && e.dataSize) {
                slices_.push_back({e.dataOffset, e.dataOffset + e.dataSize, i, -1});
            }
            for (size_t k = 0; k < e.streams.size(); ++k) {
                const ExtraStream& s = e.streams[k];
                slices_.push_back({s.offset, s.offset + s.size, i, int(k)});
            }
        }
        // Index order is stream order; stable keeps a file before its streams.
        std::stable_sort(slices_.begin(), slices_.end(),
                         [](const Slice& a, const Slice& b) { return a.start < b.start; });
    }

    std::vector<uint32_t> NeededChunks() const {
        std::vector<uint32_t> chunks;
        for (const Slice& s : slices_) {
            if (s.end == s.start) continue;
            uint32_t first = uint32_t(s.start / kChunkSize),
                     last = uint32_t((s.end - 1) / kChunkSize);
            for (uint32_t c = first; c <= last; ++c) {
                if (chunks.empty() || chunks.back() < c)
                    chunks.push_back(c);
                else if (!std::binary_search(chunks.begin(), chunks.end(), c)) {
                    chunks.insert(std::lower_bound(chunks.begin(), chunks.end(), c), c);
                }
            }
        }
        return chunks;
    }

    // data null: the chunk is damaged and its share is written as zeros.
    Status Feed(uint32_t chunk, const uint8_t* data, size_t size) {
        const uint64_t cs = uint64_t(chunk) * kChunkSize, ce = cs + size;
        while (next_ < slices_.size() && slices_[next_].start < ce) {
            const Slice& sl = slices_[next_];
            const Entry& e = plan_[sl.entry];
            const ExtraStream* stream = sl.stream < 0 ? nullptr : &e.streams[size_t(sl.stream)];
            auto out = dst_.CreateData(e, stream);
            if (!out) return Fail(kErrWrite, u8"无法创建文件 " + dst_.root() + "/" + e.path);
            open_.emplace(next_, std::move(out));
            ++next_;
        }
        std::vector<uint8_t> zeros;
        for (auto it = open_.begin(); it != open_.end();) {
            const Slice& sl = slices_[it->first];
            uint64_t a = std::max(sl.start, cs), b = std::min(sl.end, ce);
            if (a < b) {
                const uint8_t* p;
                if (data) {
                    p = data + (a - cs);
                } else {
                    zeros.assign(size_t(b - a), 0);
                    p = zeros.data();
                    const std::string& path = plan_[sl.entry].path;
                    if (damagedFiles_.empty() || damagedFiles_.back() != path)
                        damagedFiles_.push_back(path);
                }
                if (!it->second->Write(p, size_t(b - a))) {
                    Status s = it->second->Close();
                    return s.ok() ? Fail(kErrWrite, u8"写入文件失败 " + plan_[sl.entry].path) : s;
                }
            }
            if (sl.end <= ce) {
                Status s = it->second->Close();
                if (!s.ok()) return s;
                it = open_.erase(it);
            } else {
                ++it;
            }
        }
        return Ok();
    }

    // Empty streams after the last byte of data (or in an image without any)
    // are in no chunk: they are created here.
    Status CreateEmptyRest() {
        while (next_ < slices_.size() && slices_[next_].start == slices_[next_].end) {
            const Slice& sl = slices_[next_];
            const Entry& e = plan_[sl.entry];
            auto out = dst_.CreateData(e, sl.stream < 0 ? nullptr : &e.streams[size_t(sl.stream)]);
            if (!out) return Fail(kErrWrite, u8"无法创建文件 " + dst_.root() + "/" + e.path);
            Status s = out->Close();
            if (!s.ok()) return s;
            ++next_;
        }
        return Ok();
    }

    bool AllWritten() const { return next_ == slices_.size() && open_.empty(); }
    // Files that received zeros for a damaged chunk, in image order.
    const std::vector<std::string>& DamagedFiles() const { return damagedFiles_; }

  private:
    VolumeFs& dst_;
    const std::vector<Entry>& plan_;
    std::vector<Slice> slices_;
    size_t next_ = 0;
    std::map<size_t, std::unique_ptr<OutputData>> open_;
    std::vector<std::string> damagedFiles_;
};

// A restore that went on past damaged chunks still reports them, so that nobody takes
// the restored files for whole.
Status DamagedReport(size_t chunks, const std::vector<std::string>& files) {
    std::string list;
    for (size_t i = 0; i < files.size() && i < 10; ++i) list += (i ? u8"、" : "") + files[i];
    if (files.size() > 10) list += u8" 等 " + std::to_string(files.size()) + u8" 个文件";
    return Fail(kErrDamagedRestored,
                u8"还原已完成，但映像中有 " + std::to_string(chunks) +
                    u8" 个数据块损坏（已忽略 CRC 错误，以零填充）。受影响的文件：" +
                    (list.empty() ? u8"无" : list) + u8"。");
}

Status WritePlan(ImageReader& image, VolumeFs& dst, const std::vector<Entry>& plan, bool crcIgnore,
                 const ProgressFn& progress, uint64_t base, uint64_t total) {
    Status s = CreateDirectories(dst, plan);
    if (s.ok()) s = CreateEmptyFiles(dst, plan);
    if (!s.ok()) return s;
    SliceWriter writer(dst, plan);
    size_t damagedChunks = 0;
    s = RunChunks(
        image, writer.NeededChunks(), ChunkWork::kDecode,
        [&](ChunkDone& d) -> Status {
            if (!d.status.ok()) {
                if (!crcIgnore) {
                    if (d.status.code == kErrCrc) return Fail(kErrCrc, CrcMessage(image, d.index));
                    return d.status;
                }
                ++damagedChunks;
                return writer.Feed(d.index, nullptr, d.rawSize);
            }
            return writer.Feed(d.index, d.raw.data(), d.raw.size());
        },
        progress, base, total);
    if (s.ok()) s = writer.CreateEmptyRest();
    if (!s.ok()) return s;
    if (!writer.AllWritten()) return Fail(kErrInternal, u8"内部错误：数据未写完。");
    s = FinishTree(dst, plan);
    if (s.ok() && damagedChunks) return DamagedReport(damagedChunks, writer.DamagedFiles());
    return s;
}

}  // namespace

Status RestoreVolume(ImageReader& image, VolumeFs& target, const RestoreOptions& options,
                     const ProgressFn& progress) {
    std::vector<Entry> plan = PlanWhole(target, image.TakeEntries());

    // What a wipe would release: the target's current files.
    std::vector<Entry> current;
    Status s = target.Scan(&current, [&] { return progress(0, 0); });
    if (!s.ok()) return s;
    uint64_t releasable = 0;
    for (const Entry& e : current) releasable += e.dataSize;
    s = CheckSpace(target, plan, releasable);
    if (!s.ok()) return s;

    SliceWriter probe(target, plan);
    std::vector<uint32_t> chunks = probe.NeededChunks();
    uint64_t bytes = 0;
    for (uint32_t c : chunks) bytes += image.index().chunks[c].rawSize;
    uint64_t base = 0, total = bytes;
    if (!options.crcIgnore) {
        // Verify before deleting anything: a damaged image must not cost the target.
        total = bytes * 2;
        s = RunChunks(
            image, chunks, ChunkWork::kVerifyStored,
            [&](ChunkDone& d) -> Status {
                if (d.status.code == kErrCrc) return Fail(kErrCrc, CrcMessage(image, d.index));
                return d.status;
            },
            progress, 0, total);
        if (!s.ok()) return s;
        base = bytes;
    }
    if (!progress(base, total)) return Fail(kErrCancelled, "");
    s = target.Wipe();
    if (!s.ok()) return s;
    return WritePlan(image, target, plan, options.crcIgnore, progress, base, total);
}

Status ExtractEntries(ImageReader& image, const std::vector<uint32_t>& selected,
                      VolumeFs& destination, bool crcIgnore, const ProgressFn& progress) {
    const std::vector<Entry>& entries = image.index().entries;
    std::vector<uint32_t> keep;
    std::vector<std::string> paths;
    std::vector<bool> taken(entries.size(), false);
    // Index order puts a folder before its contents and a link after its first name.
    std::vector<uint32_t> order(selected);
    std::sort(order.begin(), order.end());
    for (uint32_t sel : order) {
        if (sel >= entries.size() || taken[sel]) continue;
        const std::string& root = entries[sel].path;
        size_t slash = root.rfind('/');
        size_t cut = slash == std::string::npos ? 0 : slash + 1;
        taken[sel] = true;
        keep.push_back(sel);
        paths.push_back(root.substr(cut));
        if (entries[sel].type != EntryType::kDirectory) continue;
        for (uint32_t i = sel + 1; i < entries.size(); ++i) {
            const std::string& p = entries[i].path;
            if (p.size() <= root.size() || p.compare(0, root.size(), root) != 0 ||
                p[root.size()] != '/') {
                continue;
            }
            if (taken[i]) continue;
            taken[i] = true;
            keep.push_back(i);
            paths.push_back(p.substr(cut));
        }
    }
    std::vector<Entry> plan = PlanFor(destination, entries, keep, paths);
    Status s = CheckSpace(destination, plan, 0);
    if (!s.ok()) return s;
    return WritePlan(image, destination, plan, crcIgnore, progress, 0, PlanBytes(plan));
}

}  // namespace ghost
