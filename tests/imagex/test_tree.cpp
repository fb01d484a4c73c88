#include "tests/imagex/test_tree.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace testtree {

std::string Q(const std::string& path) {
    std::string out = "'";
    for (char c : path) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string MakeScratch(const std::string& tag) {
    static std::string base;
    if (base.empty()) {
        char templ[] = "/tmp/imagex-test-XXXXXX";
        base = mkdtemp(templ);
        // IMAGEX_TEST_KEEP=1 keeps the scratch folders for a look after a failure.
        if (!getenv("IMAGEX_TEST_KEEP"))
            std::atexit([] { (void)std::system(("rm -rf " + Q(base)).c_str()); });
    }
    std::string dir = base + "/" + tag;
    (void)std::system(("rm -rf " + Q(dir) + " && mkdir -p " + Q(dir)).c_str());
    return dir;
}

int Shell(const std::string& command, std::string* output) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (output) *output = out;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(data.data(), std::streamsize(data.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void BuildSampleTree(const std::string& root, unsigned seed) {
    std::mt19937 rng(seed);
    auto mk = [&](const std::string& rel) { mkdir((root + "/" + rel).c_str(), 0755); };
    mk("docs");
    mk("docs/empty folder");
    mk(u8"docs/中文目录");
    mk("deep");
    std::string deep = "deep";
    for (int i = 0; i < 6; ++i) {
        deep += "/level" + std::to_string(i);
        mk(deep);
    }
    WriteFile(root + "/" + deep + "/leaf.txt", "leaf " + std::to_string(seed) + "\n");
    WriteFile(root + "/docs/empty.txt", "");
    WriteFile(root + u8"/docs/中文目录/说明文件.txt",
              u8"样例文本，种子 " + std::to_string(seed) + "\n");
    std::string longName(200, 'n');
    WriteFile(root + "/docs/" + longName + ".txt", "long name\n");
    // Compressible text with repeats far apart, across many chunks.
    std::string text;
    for (int i = 0; text.size() < (3u << 20); ++i)
        text += "line " + std::to_string(i * 7919 % 100003) + " of the sample text, seed " +
                std::to_string(seed) + "\n";
    WriteFile(root + "/big.txt", text);
    // Incompressible data.
    std::string noise(1u << 20, '\0');
    for (char& c : noise) c = char(rng());
    WriteFile(root + "/noise.bin", noise);
    // Machine-code-like bytes with E8 calls, for the x86 translation.
    std::string code(200000, '\0');
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = (i % 13 == 0) ? char(0xE8) : char(rng() % 16);
    WriteFile(root + "/code.bin", code);
    // Many small files.
    mk("small");
    for (int i = 0; i < 40; ++i)
        WriteFile(root + "/small/f" + std::to_string(i) + ".dat",
                  std::string(size_t(i * 37), char('a' + i % 26)));
    // Hard links and a duplicate (same data, separate file).
    WriteFile(root + "/linked.txt", "shared by two names\n");
    link((root + "/linked.txt").c_str(), (root + "/docs/linked-again.txt").c_str());
    WriteFile(root + "/docs/copy.txt", "shared by two names\n");
    symlink("docs/copy.txt", (root + "/copy-link").c_str());
}

namespace {

struct Node {
    char kind;  // f, d, l
    std::string content;
    ino_t inode;
    nlink_t links;
    time_t mtime;
};

void Walk(const std::string& root, const std::string& rel, std::map<std::string, Node>& out) {
    std::string dir = rel.empty() ? root : root + "/" + rel;
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string r = rel.empty() ? name : rel + "/" + name;
        std::string full = root + "/" + r;
        struct stat st;
        if (lstat(full.c_str(), &st) != 0) continue;
        Node n{};
        n.inode = st.st_ino;
        n.links = st.st_nlink;
        n.mtime = st.st_mtime;
        if (S_ISDIR(st.st_mode)) {
            n.kind = 'd';
            Walk(root, r, out);
        } else if (S_ISLNK(st.st_mode)) {
            n.kind = 'l';
            char buf[4096];
            ssize_t len = readlink(full.c_str(), buf, sizeof buf);
            n.content.assign(buf, len > 0 ? size_t(len) : 0);
        } else {
            n.kind = 'f';
            n.content = ReadFile(full);
        }
        out[r] = n;
    }
    closedir(d);
}

}  // namespace

std::string CompareTrees(const std::string& a, const std::string& b) {
    std::map<std::string, Node> ta, tb;
    Walk(a, "", ta);
    Walk(b, "", tb);
    for (auto& kv : ta) {
        auto it = tb.find(kv.first);
        if (it == tb.end()) return "missing: " + kv.first;
        const Node& x = kv.second;
        const Node& y = it->second;
        if (x.kind != y.kind) return "kind differs: " + kv.first;
        if (x.content != y.content) return "content differs: " + kv.first;
        if (x.kind == 'f' && x.links != y.links) return "link count differs: " + kv.first;
        if (x.kind == 'f' && x.mtime != y.mtime) return "time differs: " + kv.first;
    }
    for (auto& kv : tb)
        if (!ta.count(kv.first)) return "extra: " + kv.first;
    // Hard-link groups: names sharing an inode on one side share it on the other.
    for (auto& x : ta)
        for (auto& y : ta)
            if (x.first < y.first && x.second.kind == 'f' && y.second.kind == 'f') {
                bool sameA = x.second.inode == y.second.inode;
                bool sameB = tb[x.first].inode == tb[y.first].inode;
                if (sameA != sameB) return "hard links differ: " + x.first + " / " + y.first;
            }
    return std::string();
}

}  // namespace testtree
