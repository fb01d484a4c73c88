// Applying into a Linux folder: what such a folder can hold. Windows symbolic
// links and junctions become symbolic links; attributes, named streams and
// security descriptors have no place here and are left out.
#ifndef _WIN32

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "common/fault_plan.h"
#include "engines/imagex/apply_target.h"

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

// FILETIME (100 ns since 1601) to a timespec.
struct timespec TimespecOf(uint64_t ft) {
    struct timespec ts;
    const uint64_t kEpochDiff = 116444736000000000ULL;
    if (ft < kEpochDiff) {
        ts.tv_sec = 0;
        ts.tv_nsec = 0;
        return ts;
    }
    uint64_t t = ft - kEpochDiff;
    ts.tv_sec = time_t(t / 10000000);
    ts.tv_nsec = long(t % 10000000) * 100;
    return ts;
}

Status WriteError(const std::string& what, const std::string& path) {
    return Status(Error::kWrite, what + " \"" + path + "\": " + strerror(errno));
}

// Chunks arrive 32 KiB at a time; gathering them saves most write calls.
// Larger pieces are written as they come rather than copied once more.
constexpr size_t kWriteBuffer = 1u << 20;
constexpr size_t kDirectWrite = 128u << 10;

class PosixStream : public OutStream {
  public:
    PosixStream(int fd, std::string path, uint64_t size) : fd_(fd), path_(std::move(path)) {
        if (size > 2 * 65536) buffer_.reserve(kWriteBuffer);
    }
    ~PosixStream() override {
        if (fd_ >= 0) close(fd_);
    }
    Status Write(const uint8_t* data, size_t size) override {
        if (buffer_.capacity() == 0) return WriteAll(data, size);
        if (buffer_.size() + size > kWriteBuffer || (buffer_.empty() && size >= kDirectWrite)) {
            Status s = Flush();
            if (!s.ok()) return s;
            if (size >= kDirectWrite) return WriteAll(data, size);
        }
        buffer_.insert(buffer_.end(), data, data + size);
        return Status::Ok();
    }
    Status Close() override {
        Status s = Flush();
        int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0 && s.ok()) return WriteError("cannot close", path_);
        return s;
    }

  private:
    Status Flush() {
        Status s = WriteAll(buffer_.data(), buffer_.size());
        buffer_.clear();
        return s;
    }
    Status WriteAll(const uint8_t* data, size_t size) {
        while (size) {
            ssize_t n = engine::InjectedWriteFault(size) ? -1 : write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return WriteError("cannot write", path_);
            data += n;
            size -= size_t(n);
        }
        return Status::Ok();
    }

    int fd_;
    std::string path_;
    std::vector<uint8_t> buffer_;
};

class PosixTarget : public ApplyTarget {
  public:
    Status Prepare(const std::string& root) override {
        root_ = root;
        while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
        struct stat st;
        if (stat(root_.c_str(), &st) != 0) {
            // Create the folder (and missing parents) like mkdir -p.
            for (size_t i = 1; i <= root_.size(); ++i) {
                if (i < root_.size() && root_[i] != '/') continue;
                std::string part = root_.substr(0, i);
                if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                    return Status(Error::kTarget, "cannot create the target folder \"" + root_ +
                                                      "\": " + strerror(errno));
            }
            if (stat(root_.c_str(), &st) != 0)
                return Status(Error::kTarget, "cannot use the target folder \"" + root_ + "\"");
        }
        if (!S_ISDIR(st.st_mode))
            return Status(Error::kTarget, "the target \"" + root_ + "\" is not a folder");
        if (access(root_.c_str(), W_OK) != 0)
            return Status(Error::kTarget, "the target \"" + root_ + "\" cannot be written");
        return Status::Ok();
    }

    Status MakeDirectory(const std::string& rel, const wim::DirEntryInfo&) override {
        std::string p = Full(rel);
        struct stat st;
        if (lstat(p.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) return Status::Ok();
            // A file or link in the way; never follow a link out of the tree.
            if (unlink(p.c_str()) != 0) return WriteError("cannot replace", p);
        }
        if (mkdir(p.c_str(), 0755) != 0) return WriteError("cannot create the folder", p);
        return Status::Ok();
    }

    Status MakeFile(const std::string& rel, const wim::DirEntryInfo&) override {
        std::string p = Full(rel);
        // The usual case, a new name, takes one call.
        int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) {
            Status s = ClearWay(p);
            if (!s.ok()) return s;
            fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        }
        if (fd < 0) return WriteError("cannot create the file", p);
        if (close(fd) != 0) return WriteError("cannot close", p);
        return Status::Ok();
    }

    Status CreateStream(const std::string& rel, const std::string& stream, uint64_t size,
                        std::unique_ptr<OutStream>* out) override {
        if (!stream.empty())
            return Status(Error::kUnsupported, "named streams are not supported here");
        std::string p = Full(rel);
        // MakeFile left an empty file of a single name here; anything else
        // takes the long way.
        int fd = open(p.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            struct stat st;
            if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 || st.st_size != 0) {
                close(fd);
                fd = -1;
            }
        }
        if (fd < 0) {
            Status s = ClearWay(p);
            if (!s.ok()) return s;
            fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (fd < 0) return WriteError("cannot create the file", p);
        }
        // Reserving the size keeps the file in few extents; a file system
        // without it simply grows the file as it is written.
        if (size > 0) (void)posix_fallocate(fd, 0, off_t(size));
        out->reset(new PosixStream(fd, p, size));
        return Status::Ok();
    }

    Status MakeHardLink(const std::string& existing, const std::string& rel) override {
        std::string from = Full(existing), to = Full(rel);
        struct stat st;
        if (lstat(to.c_str(), &st) == 0 && unlink(to.c_str()) != 0)
            return WriteError("cannot replace", to);
        if (link(from.c_str(), to.c_str()) != 0) return WriteError("cannot make the hard link", to);
        return Status::Ok();
    }

    Status SetReparsePoint(const std::string& rel, const wim::DirEntryInfo& e,
                           const std::string& data, int depth) override {
        std::string text = PosixLinkText(data, e.reparseTag, depth);
        if (text.empty()) {
            warnings_.reparseSkipped++;
            return Status::Ok();
        }
        std::string p = Full(rel);
        struct stat st;
        if (lstat(p.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode) ? rmdir(p.c_str()) != 0 : unlink(p.c_str()) != 0) {
                warnings_.reparseSkipped++;
                return Status::Ok();
            }
        }
        if (symlink(text.c_str(), p.c_str()) != 0) return WriteError("cannot make the link", p);
        return Status::Ok();
    }

    Status Finish(const std::string& rel, const wim::DirEntryInfo& e, const std::string*) override {
        std::string p = Full(rel);
        struct timespec ts[2] = {TimespecOf(e.lastAccessTime), TimespecOf(e.lastWriteTime)};
        if (utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW) != 0 && errno != ENOENT)
            return WriteError("cannot set the times of", p);
        return Status::Ok();
    }

    bool SupportsNamedStreams() const override { return false; }

  private:
    // Makes room for a new file at `p`: a folder or link there is removed, and
    // so is a file with other names (truncating it would change those too).
    Status ClearWay(const std::string& p) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) return Status::Ok();
        if (S_ISREG(st.st_mode) && st.st_nlink <= 1) return Status::Ok();
        if (S_ISDIR(st.st_mode) ? rmdir(p.c_str()) != 0 : unlink(p.c_str()) != 0)
            return WriteError("cannot replace", p);
        return Status::Ok();
    }

    std::string Full(const std::string& rel) const {
        return rel.empty() ? root_ : root_ + "/" + rel;
    }
    std::string root_;
};

}  // namespace

std::unique_ptr<ApplyTarget> MakeApplyTarget() {
    return std::make_unique<PosixTarget>();
}

}  // namespace imagex

#endif
