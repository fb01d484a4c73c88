#include "engines/bcdstore/store_file.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace bcd {

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}
FILE* Open(const std::string& path, const char* mode) {
    return _wfopen(Wide(path).c_str(), mode[0] == 'r' ? L"rb" : L"wb");
}
bool Replace(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
void Remove(const std::string& path) {
    DeleteFileW(Wide(path).c_str());
}
#else
FILE* Open(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}
bool Replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
void Remove(const std::string& path) {
    std::remove(path.c_str());
}
#endif

}  // namespace

bool ReadStoreFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    FILE* f = Open(path, "rb");
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    bytes.clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) error = "cannot read " + path;
    return ok;
}

bool WriteStoreFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    const std::string fresh = path + ".new";
    FILE* f = Open(fresh, "wb");
    if (!f) {
        error = "cannot create " + fresh;
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || !Replace(fresh, path)) {
        Remove(fresh);
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace bcd
