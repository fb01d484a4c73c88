// Reading and replacing a BCD store file (UTF-8 paths on every platform).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bcd {

bool ReadStoreFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
// Writes a sibling file first and then puts it in place of `path`, so a failed write
// leaves the old store whole.
bool WriteStoreFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace bcd
