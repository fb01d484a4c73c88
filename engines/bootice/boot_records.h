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

// Each returns false with `message` saying why nothing was written; on success
// `message` says what was written.
bool InstallMbr(BlockDevice& disk, MbrKind kind, std::string& message);
bool InstallPbr(BlockDevice& disk, const Partition& partition, LoaderKind loader,
                std::string& message);
bool ActivatePartition(BlockDevice& disk, const Partition& partition, std::string& message);

}  // namespace bootice
