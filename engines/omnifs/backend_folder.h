// The native volume source: drive letters described by a folder of disk images.
//
// SB_FAKE_DISKS names the folder. It holds disk<N>.img files (raw disk images, at
// least sector 0) and volumes.txt, one volume a line: "<letter> <disk N> <first sector>",
// e.g. "C 0 2048" for a partition starting at sector 2048 of disk0.img. Blank lines and
// lines starting with '#' are skipped.
#pragma once

#include <memory>
#include <string>

#include "engines/omnifs/omnifs_cli.h"

namespace omnifs {

std::unique_ptr<VolumeSource> MakeFolderVolumeSource(const std::string& folder);

}  // namespace omnifs
