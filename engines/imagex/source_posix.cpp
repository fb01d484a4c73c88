// Capturing a Linux folder: files, folders, symbolic links (stored as Windows
// symbolic-link reparse points), hard links and timestamps. There are no
// named streams, short names or security descriptors to read here.
#ifndef _WIN32

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "common/le.h"
#include "common/fault_plan.h"
#include "engines/imagex/capture_source.h"
#include "engines/wimformat/utf.h"
#include "engines/wimformat/wim_disk.h"

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

uint64_t FileTimeOf(const struct timespec& ts) {
    const uint64_t kEpochDiff = 116444736000000000ULL;
    if (ts.tv_sec < 0) return kEpochDiff;
    return kEpochDiff + uint64_t(ts.tv_sec) * 10000000ULL + uint64_t(ts.tv_nsec) / 100;
}

Status ReadError(const std::string& what, const std::string& path) {
    return Status(Error::kRead, what + " \"" + path + "\": " + strerror(errno));
}

// Symbolic-link reparse data for a link text: relative links keep their
// shape with '\' between parts; absolute ones are stored as they are.
std::string SymlinkReparseData(const std::string& target) {
    std::string t = target;
    bool relative = t.empty() || t[0] != '/';
    for (char& c : t)
        if (c == '/') c = '\\';
    std::string name = wim::Utf16LeFromUtf8(t);
    std::string d(12, '\0');
    // Substitute name, then print name, each followed by a null.
    common::StoreLe16(&d[0], 0);
    common::StoreLe16(&d[2], uint16_t(name.size()));
    common::StoreLe16(&d[4], uint16_t(name.size() + 2));
    common::StoreLe16(&d[6], uint16_t(name.size()));
    common::StoreLe32(&d[8], relative ? 1 : 0);  // flags: relative
    d += name;
    d.append(2, '\0');
    d += name;
    d.append(2, '\0');
    return d;
}

class FileReader : public SourceReader {
  public:
    FileReader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~FileReader() override { close(fd_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    Status Read(uint8_t* buffer, size_t size, size_t* got) override {
        for (;;) {
            ssize_t n = engine::InjectedReadFault() ? -1 : read(fd_, buffer, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return ReadError("cannot read", path_);
            *got = size_t(n);
            return Status::Ok();
        }
    }

  private:
    int fd_;
    std::string path_;
};

class PosixSource : public CaptureSource {
  public:
    Status Scan(const std::string& root, std::vector<SourceNode>* nodes) override {
        std::string r = root;
        while (r.size() > 1 && r.back() == '/') r.pop_back();
        struct stat st;
        if (stat(r.c_str(), &st) != 0)
            return Status(Error::kOpen, "the source \"" + root + "\" does not exist");
        if (!S_ISDIR(st.st_mode))
            return Status(Error::kOpen, "the source \"" + root + "\" is not a folder");
        nodes->clear();
        SourceNode top;
        top.path = r;
        Fill(st, &top);
        nodes->push_back(std::move(top));
        // Breadth-first over folders; each folder's entries sorted by name.
        for (size_t k = 0; k < nodes->size(); ++k) {
            if (!(*nodes)[k].info.IsDirectory() || (*nodes)[k].info.IsReparsePoint()) continue;
            std::string dirPath = (*nodes)[k].path;
            std::string rel = relative_.size() > k ? relative_[k] : std::string();
            DIR* d = opendir(dirPath.c_str());
            if (!d) return ReadError("cannot list the folder", dirPath);
            std::vector<std::string> names;
            errno = 0;
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            closedir(d);
            std::sort(names.begin(), names.end());
            for (const std::string& n : names) {
                std::string childRel = rel.empty() ? n : rel + "/" + n;
                if (ExcludedFromCapture(childRel)) continue;
                if (n.find('\\') != std::string::npos || !ValidUtf8(n))
                    return Status(Error::kOpen, "the name \"" + dirPath + "/" + n +
                                                    "\" cannot be stored in a WIM file");
                SourceNode c;
                c.path = dirPath + "/" + n;
                c.info.name = n;
                if (lstat(c.path.c_str(), &st) != 0) return ReadError("cannot read", c.path);
                Fill(st, &c);
                if (S_ISLNK(st.st_mode)) {
                    char buf[4096];
                    ssize_t len = readlink(c.path.c_str(), buf, sizeof buf);
                    if (len < 0) return ReadError("cannot read the link", c.path);
                    std::string target(buf, size_t(len));
                    c.reparseData = SymlinkReparseData(target);
                    c.info.attributes = wim::kAttrReparsePoint;
                    struct stat to;
                    if (stat(c.path.c_str(), &to) == 0 && S_ISDIR(to.st_mode))
                        c.info.attributes |= wim::kAttrDirectory;
                    c.info.reparseTag = wim::kReparseTagSymlink;
                    c.streams.clear();
                    c.linkKey = 0;
                } else if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
                    continue;  // devices, sockets and pipes have no place in an image
                }
                c.info.parent = int(k);
                int idx = int(nodes->size());
                (*nodes)[k].info.children.push_back(idx);
                relative_.resize(nodes->size() + 1);
                relative_[size_t(idx)] = childRel;
                nodes->push_back(std::move(c));
            }
        }
        return Status::Ok();
    }

    Status Open(const SourceNode& node, const std::string& stream,
                std::unique_ptr<SourceReader>* out) override {
        if (!stream.empty()) return Status(Error::kUnsupported, "no named streams here");
        int fd = open(node.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return ReadError("cannot open", node.path);
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        out->reset(new FileReader(fd, node.path));
        return Status::Ok();
    }

    bool SamePath(const std::string& nodePath, const std::string& other) override {
        struct stat a, b;
        return lstat(nodePath.c_str(), &a) == 0 && lstat(other.c_str(), &b) == 0 &&
               a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    }

  private:
    static bool ValidUtf8(const std::string& s) {
        return wim::Utf8FromUtf16Le(
                   reinterpret_cast<const uint8_t*>(wim::Utf16LeFromUtf8(s).data()),
                   wim::Utf16LeFromUtf8(s).size()) == s;
    }

    static void Fill(const struct stat& st, SourceNode* n) {
        n->info.lastAccessTime = FileTimeOf(st.st_atim);
        n->info.lastWriteTime = FileTimeOf(st.st_mtim);
        n->info.creationTime = n->info.lastWriteTime;
        if (S_ISDIR(st.st_mode)) {
            n->info.attributes = wim::kAttrDirectory;
            return;
        }
        n->info.attributes = wim::kAttrNormal;
        if (!(st.st_mode & 0222)) n->info.attributes = wim::kAttrReadOnly;
        SourceStream data;
        data.size = uint64_t(st.st_size);
        n->streams.push_back(data);
        if (st.st_nlink > 1) n->linkKey = (uint64_t(st.st_dev) << 40) ^ uint64_t(st.st_ino) ^ 1;
    }

    std::vector<std::string> relative_{std::string()};
};

}  // namespace

std::unique_ptr<CaptureSource> MakeCaptureSource() {
    return std::make_unique<PosixSource>();
}

}  // namespace imagex

#endif
