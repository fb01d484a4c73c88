// A volume that is a folder on this machine (native build).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <map>
#include <unordered_set>
#include <utility>

#include "common/fault_plan.h"
#include "engines/ghost/volume_fs.h"

namespace ghost {

namespace {

int64_t Ns(const struct timespec& t) {
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}
struct timespec Ts(int64_t ns) {
    struct timespec t;
    t.tv_sec = time_t(ns / 1000000000);
    t.tv_nsec = long(ns % 1000000000);
    if (t.tv_nsec < 0) {
        t.tv_nsec += 1000000000;
        t.tv_sec -= 1;
    }
    return t;
}

std::string ErrText() {
    return strerror(errno);
}

class FdInput : public InputData {
  public:
    explicit FdInput(int fd) : fd_(fd) {}
    ~FdInput() override { close(fd_); }
    long long Read(uint8_t* buffer, size_t size) override {
        for (;;) {
            ssize_t n = engine::InjectedReadFault() ? -1 : read(fd_, buffer, size);
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
    }

  private:
    int fd_;
};

class MemoryInput : public InputData {
  public:
    explicit MemoryInput(std::vector<uint8_t> data) : data_(std::move(data)) {}
    long long Read(uint8_t* buffer, size_t size) override {
        size_t n = std::min(size, data_.size() - pos_);
        memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return (long long)n;
    }

  private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
};

class FdOutput : public OutputData {
  public:
    // beforeClose, when given, runs on the open descriptor once all data is written.
    FdOutput(int fd, std::string path, std::function<void(int)> beforeClose = nullptr)
        : fd_(fd), path_(std::move(path)), beforeClose_(std::move(beforeClose)) {}
    ~FdOutput() override {
        if (fd_ >= 0) close(fd_);
    }
    bool Write(const uint8_t* data, size_t size) override {
        while (size > 0) {
            ssize_t n = engine::InjectedWriteFault(size) ? -1 : write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                err_ = errno;
                return false;
            }
            data += n;
            size -= size_t(n);
        }
        return true;
    }
    Status Close() override {
        int fd = fd_;
        fd_ = -1;
        if (!err_ && beforeClose_) beforeClose_(fd);
        if (close(fd) != 0 && !err_) err_ = errno;
        if (err_) {
            if (err_ == ENOSPC) return Fail(kErrTargetFull, u8"目标分区空间不足：" + path_);
            return Fail(kErrWrite, u8"无法写入文件 " + path_ + u8"：" + strerror(err_));
        }
        return Ok();
    }

  private:
    int fd_;
    std::string path_;
    std::function<void(int)> beforeClose_;
    int err_ = 0;
};

// Extended attributes are set in one call once their bytes are all there.
class XattrOutput : public OutputData {
  public:
    XattrOutput(std::string path, std::string name)
        : path_(std::move(path)), name_(std::move(name)) {}
    bool Write(const uint8_t* data, size_t size) override {
        data_.insert(data_.end(), data, data + size);
        return true;
    }
    Status Close() override {
        if (lsetxattr(path_.c_str(), name_.c_str(), data_.data(), data_.size(), 0) == 0) {
            return Ok();
        }
        // Only the user namespace is ours to promise; others need privileges or
        // support the target may not have.
        if (name_.compare(0, 5, "user.") != 0) return Ok();
        return Fail(kErrWrite, u8"无法写入扩展属性 " + name_ + u8"：" + path_);
    }

  private:
    std::string path_, name_;
    std::vector<uint8_t> data_;
};

class PosixVolume : public VolumeFs {
  public:
    explicit PosixVolume(std::string root) : VolumeFs(std::move(root)) {
        while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
    }

    std::string Full(const std::string& rel) const {
        return rel.empty() ? root_ : root_ + "/" + rel;
    }

    Status Scan(std::vector<Entry>* entries, const KeepGoing& keepGoing) override {
        struct stat st;
        if (stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            return Fail(kErrPartition, u8"无法访问分区目录 " + root_);
        }
        std::map<std::pair<dev_t, ino_t>, uint32_t> firstNames;
        return ScanDir("", entries, &firstNames, keepGoing);
    }

    std::unique_ptr<InputData> OpenData(const Entry& e, const ExtraStream* s) override {
        std::string path = Full(e.path);
        if (s) {
            ssize_t n = lgetxattr(path.c_str(), s->name.c_str(), nullptr, 0);
            if (n < 0) return nullptr;
            std::vector<uint8_t> v(static_cast<size_t>(n));
            n = lgetxattr(path.c_str(), s->name.c_str(), v.data(), v.size());
            if (n < 0) return nullptr;
            v.resize(size_t(n));
            return std::make_unique<MemoryInput>(std::move(v));
        }
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return nullptr;
        return std::make_unique<FdInput>(fd);
    }

    void Prefetch(const Entry& e) override {
        int fd = open(Full(e.path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) return;
        posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
        close(fd);
    }

    Status Wipe() override { return WipeDir(root_); }

    uint64_t FreeBytes() override {
        struct statvfs sv;
        if (statvfs(root_.c_str(), &sv) != 0) return UINT64_MAX;
        return uint64_t(sv.f_bavail) * sv.f_frsize;
    }

    Status MakeDirectory(const Entry& e) override {
        std::string path = Full(e.path);
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return Fail(kErrWrite, u8"无法创建目录 " + path + u8"：" + ErrText());
        }
        return Ok();
    }

    std::unique_ptr<OutputData> CreateData(const Entry& e, const ExtraStream* s) override {
        std::string path = Full(e.path);
        if (s) return std::make_unique<XattrOutput>(path, s->name);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return nullptr;
        // A file without extra streams gets its metadata through the open
        // descriptor when its data is complete: no more lookups of its path.
        // One with streams waits for them (a read-only mode would refuse them).
        if (!e.streams.empty() || e.type != EntryType::kFile) {
            return std::make_unique<FdOutput>(fd, path);
        }
        return std::make_unique<FdOutput>(fd, path, [this, &e](int out) {
            if (ApplyMetadataTo(out, e)) metadataSet_.insert(&e);
        });
    }

    Status MakeHardLink(const Entry& e, const Entry& target) override {
        std::string path = Full(e.path);
        if (link(Full(target.path).c_str(), path.c_str()) != 0) {
            return Fail(kErrWrite, u8"无法创建硬链接 " + path + u8"：" + ErrText());
        }
        return Ok();
    }

    Status MakeLink(const Entry& e) override {
        std::string path = Full(e.path);
        if (symlink(e.symlinkTarget.c_str(), path.c_str()) != 0) {
            return Fail(kErrWrite, u8"无法创建符号链接 " + path + u8"：" + ErrText());
        }
        return Ok();
    }

    Status ApplyMetadata(const Entry& e) override {
        if (metadataSet_.count(&e)) return Ok();
        std::string path = Full(e.path);
        bool link = e.type == EntryType::kSymlink;
        if (euid_ == 0) lchown(path.c_str(), uid_t(e.uid), gid_t(e.gid));
        if (!link && e.mode != 0 && chmod(path.c_str(), mode_t(e.mode & 07777)) != 0) {
            return Fail(kErrWrite, u8"无法设置权限 " + path + u8"：" + ErrText());
        }
        struct timespec times[2] = {Ts(e.accessNs), Ts(e.writeNs)};
        if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            return Fail(kErrWrite, u8"无法设置时间 " + path + u8"：" + ErrText());
        }
        return Ok();
    }

    bool Supports(const Entry& e) const override { return e.type != EntryType::kReparse; }
    bool SupportsStream(const ExtraStream& s) const override {
        return s.kind == StreamKind::kXattr;
    }

  private:
    // Owner, mode and times of a regular file through its descriptor; false when
    // one of them failed (ApplyMetadata then tries again by path and reports it).
    bool ApplyMetadataTo(int fd, const Entry& e) {
        // Always given away: an extraction may have written over an existing
        // file of another owner, and a set-group-ID folder passes its group down.
        if (euid_ == 0) (void)fchown(fd, uid_t(e.uid), gid_t(e.gid));
        if (e.mode != 0 && fchmod(fd, mode_t(e.mode & 07777)) != 0) return false;
        struct timespec times[2] = {Ts(e.accessNs), Ts(e.writeNs)};
        return futimens(fd, times) == 0;
    }

    // Entries whose metadata was set when their data was closed.
    std::unordered_set<const Entry*> metadataSet_;
    const uid_t euid_ = geteuid();

    Status ScanDir(const std::string& rel, std::vector<Entry>* entries,
                   std::map<std::pair<dev_t, ino_t>, uint32_t>* firstNames,
                   const KeepGoing& keepGoing) {
        std::string dirPath = Full(rel);
        DIR* d = opendir(dirPath.c_str());
        if (!d) return Fail(kErrRead, u8"无法读取目录 " + dirPath + u8"：" + ErrText());
        std::vector<std::string> names;
        while (struct dirent* de = readdir(d)) {
            if (!strcmp(de->d_name, ".") || !strcmp(de->d_name, "..")) continue;
            if (rel.empty() && IsExcludedRootFile(de->d_name)) continue;
            names.emplace_back(de->d_name);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (keepGoing && !keepGoing()) return Fail(kErrCancelled, "");
            Entry e;
            e.path = rel.empty() ? name : rel + "/" + name;
            std::string path = Full(e.path);
            struct stat st;
            if (lstat(path.c_str(), &st) != 0) {
                return Fail(kErrRead, u8"无法读取 " + path + u8"：" + ErrText());
            }
            e.mode = uint32_t(st.st_mode);
            e.uid = uint32_t(st.st_uid);
            e.gid = uint32_t(st.st_gid);
            e.accessNs = Ns(st.st_atim);
            e.writeNs = Ns(st.st_mtim);
            e.createNs = e.writeNs;
            e.diskOrder = uint64_t(st.st_ino);
            if (S_ISDIR(st.st_mode)) {
                e.type = EntryType::kDirectory;
            } else if (S_ISREG(st.st_mode)) {
                e.type = EntryType::kFile;
                e.dataSize = uint64_t(st.st_size);
                if (st.st_nlink > 1) {
                    auto key = std::make_pair(st.st_dev, st.st_ino);
                    auto it = firstNames->find(key);
                    if (it != firstNames->end()) {
                        e.type = EntryType::kHardLink;
                        e.linkTarget = it->second;
                        e.dataSize = 0;
                    } else {
                        (*firstNames)[key] = uint32_t(entries->size());
                    }
                }
            } else if (S_ISLNK(st.st_mode)) {
                e.type = EntryType::kSymlink;
                std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
                ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
                if (n < 0) return Fail(kErrRead, u8"无法读取链接 " + path);
                e.symlinkTarget.assign(buf.data(), size_t(n));
            } else {
                continue;  // devices, pipes and sockets have no place in an image
            }
            if (e.type == EntryType::kFile || e.type == EntryType::kDirectory) {
                Status s = ScanXattrs(path, &e);
                if (!s.ok()) return s;
            }
            entries->push_back(std::move(e));
            if (S_ISDIR(st.st_mode)) {
                std::string sub = entries->back().path;  // entries may move while it grows
                Status s = ScanDir(sub, entries, firstNames, keepGoing);
                if (!s.ok()) return s;
            }
        }
        return Ok();
    }

    Status ScanXattrs(const std::string& path, Entry* e) {
        ssize_t n = llistxattr(path.c_str(), nullptr, 0);
        if (n <= 0) return Ok();  // none, or not supported here
        std::vector<char> list(static_cast<size_t>(n));
        n = llistxattr(path.c_str(), list.data(), list.size());
        if (n <= 0) return Ok();
        for (size_t i = 0; i < size_t(n);) {
            std::string name(&list[i]);
            i += name.size() + 1;
            ssize_t size = lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
            if (size < 0) continue;
            ExtraStream s;
            s.kind = StreamKind::kXattr;
            s.name = name;
            s.size = uint64_t(size);
            e->streams.push_back(std::move(s));
        }
        std::sort(e->streams.begin(), e->streams.end(),
                  [](const ExtraStream& a, const ExtraStream& b) { return a.name < b.name; });
        return Ok();
    }

    Status WipeDir(const std::string& dir) {
        DIR* d = opendir(dir.c_str());
        if (!d) return Fail(kErrWrite, u8"无法读取目录 " + dir + u8"：" + ErrText());
        std::vector<std::string> names;
        while (struct dirent* de = readdir(d)) {
            if (strcmp(de->d_name, ".") && strcmp(de->d_name, "..")) names.emplace_back(de->d_name);
        }
        closedir(d);
        for (const std::string& name : names) {
            std::string path = dir + "/" + name;
            struct stat st;
            if (lstat(path.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                chmod(path.c_str(), 0700);
                Status s = WipeDir(path);
                if (!s.ok()) return s;
                if (rmdir(path.c_str()) != 0) {
                    return Fail(kErrWrite, u8"无法删除目录 " + path + u8"：" + ErrText());
                }
            } else if (unlink(path.c_str()) != 0) {
                return Fail(kErrWrite, u8"无法删除文件 " + path + u8"：" + ErrText());
            }
        }
        return Ok();
    }
};

}  // namespace

std::unique_ptr<VolumeFs> OpenVolumeFs(const std::string& root) {
    return std::make_unique<PosixVolume>(root);
}

}  // namespace ghost
