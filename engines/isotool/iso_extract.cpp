#include "engines/isotool/iso_extract.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace isotool {

namespace fs = std::filesystem;

namespace {

// The path of an entry below the folder, or empty when a component is unsafe.
fs::path EntryPath(const fs::path& root, const std::string& entryPath) {
    fs::path out = root;
    std::size_t start = 0;
    while (start <= entryPath.size()) {
        const std::size_t slash = entryPath.find('/', start);
        const std::string part =
            entryPath.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!IsSafeComponent(part)) return fs::path();
#if defined(__cpp_char8_t)
        out /= fs::path(std::u8string(part.begin(), part.end()));
#else
        out /= fs::u8path(part);
#endif
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return out;
}

}  // namespace

ExtractResult ExtractTree(ImageSource& image, const IsoTree& tree, const std::string& folder) {
    ExtractResult result;
    std::error_code ec;
#if defined(__cpp_char8_t)
    const fs::path root = fs::path(std::u8string(folder.begin(), folder.end()));
#else
    const fs::path root = fs::u8path(folder);
#endif
    fs::remove_all(root, ec);
    fs::create_directories(root, ec);
    if (!fs::is_directory(root)) {
        result.error = "the cache folder cannot be made";
        return result;
    }
    for (const IsoEntry& entry : tree.entries) {
        const fs::path target = EntryPath(root, entry.path);
        if (target.empty()) {
            result.error = "unsafe name \"" + entry.path + "\"";
            return result;
        }
        if (entry.isDirectory) {
            fs::create_directories(target, ec);
            if (!fs::is_directory(target)) {
                result.error = "cannot make folder \"" + entry.path + "\"";
                return result;
            }
            ++result.directories;
            continue;
        }
        fs::create_directories(target.parent_path(), ec);
        // A name seen twice (case-insensitive file systems) keeps the later file.
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!out) {
            result.error = "cannot write \"" + entry.path + "\"";
            return result;
        }
        const bool copied = CopyFileBytes(image, entry, [&](const char* data, std::size_t n) {
            out.write(data, std::streamsize(n));
            return bool(out);
        });
        out.close();
        if (!copied || !out) {
            result.error = "cannot copy \"" + entry.path + "\"";
            return result;
        }
        ++result.files;
        result.bytes += entry.size;
    }
    result.ok = true;
    return result;
}

}  // namespace isotool
