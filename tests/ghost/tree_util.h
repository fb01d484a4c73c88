// Folders for the native Ghost tests: temporary volumes, file helpers and a
// description of a tree with every piece of metadata the engine promises to keep.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engines/ghost/errors.h"

namespace ghosttest {

// A fresh folder below the test's temporary directory, removed at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
std::string RandomBytes(size_t size, uint32_t seed);
void MakeDirs(const std::string& path);
void SetTimes(const std::string& path, int64_t accessNs, int64_t writeNs);

// One line per entry: type, mode, size, times, link target, xattrs, content hash and
// which entries share an inode. Equal maps mean equal trees.
std::map<std::string, std::string> Describe(const std::string& root);
// Human-readable difference of two descriptions ("" when equal).
std::string Diff(const std::map<std::string, std::string>& a,
                 const std::map<std::string, std::string>& b);

// Flips one byte of a file at offset.
void FlipByte(const std::string& path, uint64_t offset);
void Truncate(const std::string& path, uint64_t size);
uint64_t FileSize(const std::string& path);
bool Exists(const std::string& path);

// Runs one command line (as the program writes it) through the engine's job entry
// point; the progress callback, when given, can cancel.
ghost::Status RunGhostLine(const std::string& line,
                           std::function<bool(uint64_t, uint64_t)> progress = nullptr);

// Sets SB_GHOST_VOLUMES to the given "D:P=folder" pairs (and SB_GHOST_SYSTEM).
void MapVolumes(const std::vector<std::pair<std::string, std::string>>& volumes,
                const std::string& system = "");

}  // namespace ghosttest
