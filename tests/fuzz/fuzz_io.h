// Whole-file reads and writes for the fuzz drivers and seed makers.
#pragma once

#include <cstdio>
#include <string>

namespace fuzz {

// The file's bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
    return out;
}

inline bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && written;
}

inline bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    return WriteWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace fuzz
