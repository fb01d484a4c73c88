// Images for the ISO tool's tests: a source tree, images of it made by the system's
// genisoimage/xorriso, iso-info's listing as the oracle, and small helpers.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "engines/isotool/iso_image.h"

namespace isotest {

namespace fs = std::filesystem;

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

inline void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A scratch folder removed at the end.
struct Scratch {
    fs::path dir;
    Scratch() {
        char name[] = "/tmp/isotool-test-XXXXXX";
        dir = mkdtemp(name);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

// The source tree every image is made from.
inline void MakeSourceTree(const fs::path& root) {
    WriteText(root / "Docs" / "readme.txt", "hello\n");
    WriteText(root / "Docs" / "a" / "b" / "deep.bin", std::string(5000, 'd'));
    WriteText(root / "\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D.txt", "cn\n");  // 中文名.txt
    WriteText(root / "a_very_long_file_name_over_8_3.data", "long\n");
    WriteText(root / "sources" / "install.wim", std::string(70000, 'w'));
    fs::create_directories(root / "empty");
}

// path -> size for files, -1 for directories.
using Listing = std::map<std::string, long long>;

inline Listing SourceListing(const fs::path& root) {
    Listing l;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).generic_string();
        l[rel] = e.is_directory() ? -1 : (long long)e.file_size();
    }
    return l;
}

inline Listing TreeListing(const isotool::IsoTree& tree, bool lower = false) {
    Listing l;
    for (const auto& e : tree.entries) {
        std::string p = e.path;
        if (lower) std::transform(p.begin(), p.end(), p.begin(), ::tolower);
        l[p] = e.isDirectory ? -1 : (long long)e.size;
    }
    return l;
}

// iso-info -f: "<size> /path" lines; directories show their extent size, so they are
// told apart by a later line inside them.
inline Listing IsoInfoListing(const fs::path& image, const std::string& options = "") {
    const std::string out =
        Run("iso-info -f " + options + " -i '" + image.string() + "' 2>/dev/null");
    Listing l;
    std::istringstream lines(out.substr(std::min(out.size(), out.find("ISO-9660 Information"))));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        const size_t slash = line.find(" /");
        if (slash == std::string::npos) continue;
        l[line.substr(slash + 2)] = std::stoll(line.substr(0, slash));
    }
    for (auto& entry : l) {
        const std::string prefix = entry.first + "/";
        for (auto& other : l)
            if (other.first.compare(0, prefix.size(), prefix) == 0) {
                entry.second = -1;
                break;
            }
    }
    return l;
}

inline bool MakeImage(const std::string& tool, const std::string& options, const fs::path& source,
                      const fs::path& image) {
    return std::system((tool + " " + options + " -o '" + image.string() + "' '" + source.string() +
                        "' >/dev/null 2>&1")
                           .c_str()) == 0;
}

}  // namespace isotest
