#include "tests/ghost/tree_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/cmdline.h"
#include "engines/ghost/job.h"

namespace ghosttest {

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string tmpl = std::string(base ? base : "/tmp") + "/ghosttest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::string cmd = "chmod -R u+rwx '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path_.c_str());
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), std::streamsize(data.size()));
    if (!f) throw std::runtime_error("write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

void MakeDirs(const std::string& path) {
    std::string cmd = "mkdir -p '" + path + "'";
    if (system(cmd.c_str()) != 0) throw std::runtime_error("mkdir " + path);
}

void SetTimes(const std::string& path, int64_t accessNs, int64_t writeNs) {
    struct timespec t[2] = {{time_t(accessNs / 1000000000), long(accessNs % 1000000000)},
                            {time_t(writeNs / 1000000000), long(writeNs % 1000000000)}};
    utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW);
}

namespace {

void Walk(const std::string& root, const std::string& rel, std::map<std::string, std::string>* out,
          std::map<std::pair<dev_t, ino_t>, std::string>* inodes) {
    std::string dir = rel.empty() ? root : root + "/" + rel;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::string r = rel.empty() ? n : rel + "/" + n;
        std::string p = root + "/" + r;
        struct stat st;
        lstat(p.c_str(), &st);
        std::ostringstream s;
        s << std::oct << st.st_mode << std::dec << " uid=" << st.st_uid << " gid=" << st.st_gid;
        if (!S_ISDIR(st.st_mode)) s << " mtime=" << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
        if (S_ISREG(st.st_mode)) {
            std::string data = ReadFile(p);
            s << " size=" << data.size() << " crc="
              << crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
            auto key = std::make_pair(st.st_dev, st.st_ino);
            if (st.st_nlink > 1) {
                auto it = inodes->find(key);
                if (it == inodes->end())
                    (*inodes)[key] = r;
                else
                    s << " linked-to=" << it->second;
            }
        } else if (S_ISLNK(st.st_mode)) {
            char buf[4096];
            ssize_t n = readlink(p.c_str(), buf, sizeof buf);
            s << " -> " << std::string(buf, size_t(n > 0 ? n : 0));
        } else if (S_ISDIR(st.st_mode)) {
            s << " mtime=" << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
        }
        if (!S_ISLNK(st.st_mode)) {
            char list[4096];
            ssize_t n = llistxattr(p.c_str(), list, sizeof list);
            std::vector<std::string> attrs;
            for (ssize_t i = 0; i < n;) {
                std::string name(list + i);
                i += ssize_t(name.size()) + 1;
                char v[4096];
                ssize_t vn = lgetxattr(p.c_str(), name.c_str(), v, sizeof v);
                attrs.push_back(name + "=" + std::string(v, size_t(vn > 0 ? vn : 0)));
            }
            std::sort(attrs.begin(), attrs.end());
            for (const std::string& a : attrs) s << " xattr:" << a;
        }
        (*out)[r] = s.str();
        if (S_ISDIR(st.st_mode)) Walk(root, r, out, inodes);
    }
}

}  // namespace

std::map<std::string, std::string> Describe(const std::string& root) {
    std::map<std::string, std::string> out;
    std::map<std::pair<dev_t, ino_t>, std::string> inodes;
    Walk(root, "", &out, &inodes);
    return out;
}

std::string Diff(const std::map<std::string, std::string>& a,
                 const std::map<std::string, std::string>& b) {
    std::string d;
    for (const auto& [k, v] : a) {
        auto it = b.find(k);
        if (it == b.end())
            d += "missing: " + k + "\n";
        else if (it->second != v)
            d += "differs: " + k + "\n  " + v + "\n  " + it->second + "\n";
    }
    for (const auto& [k, v] : b) {
        if (!a.count(k)) d += "extra: " + k + "\n";
    }
    return d;
}

void FlipByte(const std::string& path, uint64_t offset) {
    int fd = open(path.c_str(), O_RDWR);
    unsigned char c = 0;
    if (pread(fd, &c, 1, off_t(offset)) != 1) throw std::runtime_error("flip read");
    c ^= 0x5A;
    if (pwrite(fd, &c, 1, off_t(offset)) != 1) throw std::runtime_error("flip write");
    close(fd);
}

void Truncate(const std::string& path, uint64_t size) {
    if (truncate(path.c_str(), off_t(size)) != 0) throw std::runtime_error("truncate");
}

uint64_t FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void MapVolumes(const std::vector<std::pair<std::string, std::string>>& volumes,
                const std::string& system) {
    std::string v;
    for (const auto& [id, folder] : volumes) v += (v.empty() ? "" : ";") + id + "=" + folder;
    setenv("SB_GHOST_VOLUMES", v.c_str(), 1);
    if (system.empty())
        unsetenv("SB_GHOST_SYSTEM");
    else
        setenv("SB_GHOST_SYSTEM", system.c_str(), 1);
}

ghost::Status RunGhostLine(const std::string& line,
                           std::function<bool(uint64_t, uint64_t)> progress) {
    ghost::JobRequest request;
    ghost::Status s = ghost::ParseJobRequest(engine::SplitCommandLine(line, false), &request);
    if (!s.ok()) return s;
    auto volumes = ghost::MakeVolumeMap();
    if (!progress) progress = [](uint64_t, uint64_t) { return true; };
    return ghost::RunJob(request, *volumes, progress);
}

}  // namespace ghosttest
