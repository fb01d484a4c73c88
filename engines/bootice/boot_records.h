// Writing boot records on a disk: our master boot record, our FAT32 and NTFS volume
// boot code, and the active flag. Every write covers whole sectors, is read back and
// compared, and is undone when it does not compare. GPT disks are refused.
#pragma once

#include <string>

#include "engines/bootice/block_device.h"
#include "engines/bootice/disk_layout.h"

namespace bootice {

enum class MbrKind { Nt52, Nt60 };
enum class LoaderKind { Ntldr, Bootmgr };
enum class VolumeKind { Unknown, Fat32, Ntfs };

// The file system a volume boot sector describes (by its parameter block).
VolumeKind DetectVolume(const uint8_t* bootSector);

// Our boot code, as assembled (bootcode/*.asm).
const uint8_t* MbrCode(MbrKind kind);  // kMbrCodeBytes bytes
const uint8_t* VolumeCode(VolumeKind volume, LoaderKind loader, size_t& size);

// Written: `message` says what was written. Refused: nothing was written, `message` says
// why. Failed: a write did not read back (the old sectors were put back) or, for FAT32,
// the boot sector was written but its backup copy was not; `message` says which.
enum class WriteResult { Written, Refused, Failed };
WriteResult InstallMbr(BlockDevice& disk, MbrKind kind, std::string& message);
WriteResult InstallPbr(BlockDevice& disk, const Partition& partition, LoaderKind loader,
                       std::string& message);
WriteResult ActivatePartition(BlockDevice& disk, const Partition& partition, std::string& message);

}  // namespace bootice
