// Reading Windows reparse data: the link targets of symbolic links and junctions.
#include <string>

#include "engines/imagex/apply_target.h"
#include "common/le.h"
#include "engines/wimformat/utf.h"
#include "engines/wimformat/wim_disk.h"

namespace imagex {

std::string PosixLinkText(const std::string& reparseData, uint32_t tag, int depth) {
    const uint8_t* d = reinterpret_cast<const uint8_t*>(reparseData.data());
    size_t n = reparseData.size();
    size_t head;
    bool relative = false;
    if (tag == wim::kReparseTagSymlink) {
        head = 12;
        if (n < head) return std::string();
        relative = (common::LoadLe32(d + 8) & 1) != 0;
    } else if (tag == wim::kReparseTagMountPoint) {
        head = 8;
        if (n < head) return std::string();
    } else {
        return std::string();
    }
    size_t subOff = common::LoadLe16(d), subLen = common::LoadLe16(d + 2);
    size_t prOff = common::LoadLe16(d + 4), prLen = common::LoadLe16(d + 6);
    auto take = [&](size_t off, size_t len) -> std::string {
        if (head + off > n || len > n - head - off) return std::string();
        return wim::Utf8FromUtf16Le(d + head + off, len);
    };
    std::string target = take(subOff, subLen);
    if (target.empty()) target = take(prOff, prLen);
    if (target.empty()) return std::string();
    for (char& c : target)
        if (c == '\\') c = '/';
    if (relative) return target;
    // Absolute: drop "\??\" and the drive, then point inside the applied tree.
    if (target.compare(0, 4, "/?\?/") == 0) target.erase(0, 4);
    if (target.size() >= 2 && target[1] == ':') target.erase(0, 2);
    while (!target.empty() && target[0] == '/') target.erase(0, 1);
    std::string up;
    for (int i = 1; i < depth; ++i) up += "../";
    if (up.empty()) up = "./";
    return up + target;
}

}  // namespace imagex
