// The engine's command-line vocabulary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engines/ghost/errors.h"

namespace ghost {

struct PartitionId {
    int disk = 0;  // counted from 1
    int part = 0;  // counted from 1
    bool valid() const { return disk > 0 && part > 0; }
    bool operator==(const PartitionId& o) const { return disk == o.disk && part == o.part; }
    std::string Text() const { return std::to_string(disk) + ":" + std::to_string(part); }
};

bool ParsePartitionId(const std::string& text, PartitionId* id);

struct JobRequest {
    enum Kind { kInteractive, kBackup, kRestore, kCopy, kCheck };
    Kind kind = kInteractive;
    PartitionId source, target;
    std::string image;            // backup dst, restore src, check
    uint32_t imagePartition = 1;  // restore: the ":1" after the image
    int level = 0;                // -z1..-z9; 0 when not given
    bool span = false, autoName = false, noIde = false, crcIgnore = false;
    bool sure = false, fx = false, batch = false;
    uint64_t splitMiB = 0;
    bool hasPassword = false;
    std::string password;
    std::string abortFile;  // -afile=
};

// Switch names are matched without regard to case. A text it cannot use yields
// kErrUsage with a message that quotes it.
Status ParseJobRequest(const std::vector<std::string>& args, JobRequest* request);

}  // namespace ghost
