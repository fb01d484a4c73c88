// A list of entries to create below a destination root, in creation order.
#pragma once

#include <vector>

#include "engines/ghost/entry.h"
#include "engines/ghost/errors.h"
#include "engines/ghost/volume_fs.h"

namespace ghost {

// Keeps what the destination can hold. Hard links are re-pointed at their new
// positions; a link whose first name is not kept becomes a copy of that file.
// Empty newPaths: every kept entry keeps its own path.
std::vector<Entry> PlanFor(const VolumeFs& destination, const std::vector<Entry>& entries,
                           const std::vector<uint32_t>& keep,
                           const std::vector<std::string>& newPaths);

// Every entry, for a whole restore: takes the entries and moves them into the plan
// instead of copying them.
std::vector<Entry> PlanWhole(const VolumeFs& destination, std::vector<Entry> entries);

// Bytes of data the plan writes.
uint64_t PlanBytes(const std::vector<Entry>& plan);

// Refuses a plan that cannot fit: free space plus what a wipe would release.
Status CheckSpace(VolumeFs& destination, const std::vector<Entry>& plan, uint64_t releasable);

Status CreateDirectories(VolumeFs& destination, const std::vector<Entry>& plan);
// Empty files, then (after the data) hard links, links and metadata, folders last
// and deepest first so their times survive the creation of their contents.
Status CreateEmptyFiles(VolumeFs& destination, const std::vector<Entry>& plan);
// Goes on past an entry that fails and ends with kErrNotKept listing every one.
Status FinishTree(VolumeFs& destination, const std::vector<Entry>& plan);
// kErrNotKept with one line per message, or Ok when there are none.
Status NotKeptStatus(const std::vector<std::string>& notKept);

}  // namespace ghost
