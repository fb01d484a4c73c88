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

std::string FixedLinkData(const std::string& reparseData, uint32_t tag, const std::string& base) {
    const uint8_t* d = reinterpret_cast<const uint8_t*>(reparseData.data());
    size_t n = reparseData.size();
    size_t head = tag == wim::kReparseTagSymlink ? 12 : tag == wim::kReparseTagMountPoint ? 8 : 0;
    if (!head || n < head) return reparseData;
    if (tag == wim::kReparseTagSymlink && (common::LoadLe32(d + 8) & 1)) return reparseData;
    size_t subOff = common::LoadLe16(d), subLen = common::LoadLe16(d + 2);
    if (head + subOff > n || subLen > n - head - subOff) return reparseData;
    std::string target = wim::Utf8FromUtf16Le(d + head + subOff, subLen);
    // "\??\X:\rest": the drive is the captured volume's.
    if (target.size() < 6 || target.compare(0, 4, "\\??\\") != 0 || target[5] != ':')
        return reparseData;
    std::string rest = target.substr(6);
    std::string print = base + rest;
    std::string sub = wim::Utf16LeFromUtf8("\\??\\" + print);
    std::string pr = wim::Utf16LeFromUtf8(print);
    std::string out(head, '\0');
    if (tag == wim::kReparseTagSymlink) out.replace(8, 4, reparseData, 8, 4);
    common::StoreLe16(&out[0], 0);
    common::StoreLe16(&out[2], uint16_t(sub.size()));
    common::StoreLe16(&out[4], uint16_t(sub.size() + 2));
    common::StoreLe16(&out[6], uint16_t(pr.size()));
    out += sub + std::string(2, '\0') + pr + std::string(2, '\0');
    return out;
}

}  // namespace imagex
