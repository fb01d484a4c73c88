#include "engines/payload/job_file.h"

#include <cstdint>
#include <cstring>
#include <fstream>

#include "common/cmdline.h"
#include "common/le.h"

namespace payload {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    size_t start = 0, end = text.size();
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

}  // namespace

std::vector<JobLine> ParseJobFile(const std::string& bytes) {
    std::vector<JobLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string text = bytes.substr(start, end - start);
        start = end + 1;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::string trimmed = Trimmed(text);
        if (trimmed.empty()) continue;
        JobLine line;
        line.text = text;
        std::vector<std::string> words = engine::SplitGbkCommandLine(trimmed, false);
        if (!words.empty() && (engine::EqualsNoCase(words[0], "ghost.exe") ||
                               engine::EqualsNoCase(words[0], "ghost"))) {
            line.kind = JobLine::kGhost;
            line.args.assign(words.begin() + 1, words.end());
        } else if (engine::EqualsNoCase(trimmed, "restart")) {
            line.kind = JobLine::kRestart;
        }
        lines.push_back(line);
    }
    return lines;
}

std::string CheckJobPartition(const ghost::JobRequest& request,
                              const ghost::PartitionId& modulePartition) {
    const std::string module = modulePartition.Text();
    switch (request.kind) {
        case ghost::JobRequest::kBackup:
            if (request.source == modulePartition) return "";
            return u8"任务要备份分区 " + request.source.Text() + u8"，但本模块的文件在分区 " +
                   module + u8"：磁盘编号与 Windows 中不同，任务未执行。";
        case ghost::JobRequest::kRestore:
            if (request.target == modulePartition) return "";
            return u8"任务要还原到分区 " + request.target.Text() + u8"，但本模块的文件在分区 " +
                   module + u8"：磁盘编号与 Windows 中不同，任务未执行。";
        default:
            return u8"任务文件只能备份或还原本模块所在的分区，任务未执行。";
    }
}

ghost::PartitionId WrittenPartition(const ghost::JobRequest& request) {
    ghost::PartitionId id;
    if (request.kind == ghost::JobRequest::kRestore) return request.target;
    if (request.kind != ghost::JobRequest::kBackup) return id;
    const size_t first = request.image.find(':');
    if (first == std::string::npos) return id;
    const size_t end = request.image.find_first_of(":\\/", first + 1);
    if (end == std::string::npos) return id;
    ghost::PartitionId parsed;
    if (ghost::ParsePartitionId(request.image.substr(0, end), &parsed)) id = parsed;
    return id;
}

std::string UnsafeReason(const std::string& unsafeList, const ghost::PartitionId& id) {
    size_t start = 0;
    while (start < unsafeList.size()) {
        size_t end = unsafeList.find(';', start);
        if (end == std::string::npos) end = unsafeList.size();
        const std::string item = unsafeList.substr(start, end - start);
        const size_t eq = item.find('=');
        ghost::PartitionId listed;
        if (eq != std::string::npos && ghost::ParsePartitionId(item.substr(0, eq), &listed) &&
            listed == id)
            return item.substr(eq + 1);
        start = end + 1;
    }
    return "";
}

std::string UnsafeVolumeText(const ghost::PartitionId& id, const std::string& reason) {
    if (reason == "hibernated")
        return u8"分区 " + id.Text() +
               u8" 上的 Windows 处于休眠（或快速启动）状态，不能写入，任务未执行。请完整启动并关闭 "
               u8"Windows 后再试。";
    if (reason == "dirty")
        return u8"分区 " + id.Text() +
               u8" 未正常卸载（dirty），不能写入，任务未执行。请在 Windows 中检查该分区后再试。";
    return u8"分区 " + id.Text() + u8" 无法以写入方式挂载（" + reason + u8"），任务未执行。";
}

VolumeState NtfsVolumeState(const std::string& device) {
    std::ifstream in(device, std::ios::binary);
    if (!in) return VolumeState::kUnreadable;
    unsigned char boot[512];
    if (!in.read(reinterpret_cast<char*>(boot), sizeof boot)) return VolumeState::kUnreadable;
    if (std::memcmp(boot + 3, "NTFS    ", 8) != 0) return VolumeState::kNotNtfs;
    const uint32_t bytesPerSector = common::LoadLe16(boot + 0x0B);
    uint32_t sectorsPerCluster = boot[0x0D];
    if (sectorsPerCluster > 0x80) sectorsPerCluster = 1u << (256 - sectorsPerCluster);
    const uint64_t clusterBytes = uint64_t(bytesPerSector) * sectorsPerCluster;
    const int8_t recordCode = static_cast<int8_t>(boot[0x40]);
    const uint64_t recordBytes =
        recordCode < 0 ? (uint64_t(1) << -recordCode) : uint64_t(recordCode) * clusterBytes;
    if (bytesPerSector < 256 || clusterBytes == 0 || recordBytes < 512 || recordBytes > 65536)
        return VolumeState::kUnreadable;
    // Record 3 ($Volume) lies in the MFT's first run, which always holds records 0..15.
    const uint64_t offset = common::LoadLe64(boot + 0x30) * clusterBytes + 3 * recordBytes;
    std::vector<unsigned char> record(recordBytes);
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in.read(reinterpret_cast<char*>(record.data()), record.size()))
        return VolumeState::kUnreadable;
    if (std::memcmp(record.data(), "FILE", 4) != 0) return VolumeState::kUnreadable;
    // Each 512-byte stride ends in the update sequence number; the array holds the bytes.
    const uint32_t usaOffset = common::LoadLe16(&record[4]),
                   usaCount = common::LoadLe16(&record[6]);
    if (usaCount == 0 || usaOffset + 2u * usaCount > record.size() ||
        (usaCount - 1) * 512u > record.size())
        return VolumeState::kUnreadable;
    for (uint32_t i = 1; i < usaCount; ++i) {
        unsigned char* end = &record[i * 512 - 2];
        if (std::memcmp(end, &record[usaOffset], 2) != 0) return VolumeState::kUnreadable;
        std::memcpy(end, &record[usaOffset + 2 * i], 2);
    }
    size_t at = common::LoadLe16(&record[0x14]);
    while (at + 16 <= record.size()) {
        const uint32_t type = common::LoadLe32(&record[at]);
        const uint32_t length = common::LoadLe32(&record[at + 4]);
        if (type == 0xFFFFFFFFu || length < 16 || at + length > record.size()) break;
        if (type == 0x70 && record[at + 8] == 0) {  // $VOLUME_INFORMATION, resident
            const size_t value = at + common::LoadLe16(&record[at + 0x14]);
            if (value + 12 > at + length) return VolumeState::kUnreadable;
            return (common::LoadLe16(&record[value + 10]) & 0x0001) ? VolumeState::kDirty
                                                                    : VolumeState::kClean;
        }
        at += length;
    }
    return VolumeState::kUnreadable;
}

bool HibernationFilePresent(const std::string& root) {
    std::ifstream in(root + "/hiberfil.sys", std::ios::binary);
    char magic[4];
    if (!in || !in.read(magic, 4)) return false;
    std::string word = engine::LowerAscii(std::string(magic, 4));
    return word == "hibr" || word == "rstr" || word == "wake";
}

std::string ErrorFileText(const std::string& error, const std::string& line) {
    return "\xEF\xBB\xBF" + error + "\r\n" + line + "\r\n";
}

}  // namespace payload
