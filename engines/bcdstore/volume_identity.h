// Which partition a drive letter is, as a BCD device element names it: the MBR disk
// signature and the partition's byte offset, or the GPT disk and partition GUIDs.
// Windows asks the volume for its disk extents and the disk for its layout; natively
// the file SB_FAKE_VOLUMES names lists volumes, one a line:
//   C: mbr 1234abcd 1048576        (signature in hex, offset in bytes)
//   D: gpt {disk guid} {partition guid}
//   E: folder                      (a letter whose partition cannot be told, as under Wine)
// A fifth word "active" marks the active partition of its MBR disk.
#pragma once

#include <string>

#include "engines/bcdstore/bcd_store.h"

namespace bcd {

// `letter` is "C", "C:" or "C:\"; false with `error` when the partition cannot be told.
bool IdentifyVolume(const std::string& letter, Device& device, std::string& error);

// The drive letter ("S") of the active partition on the MBR disk that holds `letter`.
bool ActivePartitionLetter(const std::string& letter, std::string& active, std::string& error);

}  // namespace bcd
