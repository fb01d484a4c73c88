// The engine's jobs over volumes and images, free of any command-line or window
// concern. Every job reports progress through one callback that can say "stop".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engines/ghost/errors.h"
#include "engines/ghost/image_reader.h"
#include "engines/ghost/image_writer.h"
#include "engines/ghost/volume_fs.h"

namespace ghost {

// done/total in bytes (total 0 while it is not known yet). Return false to cancel.
using ProgressFn = std::function<bool(uint64_t done, uint64_t total)>;

unsigned WorkerThreads();

// Writes every entry of the volume into a new image (and its spans). A failed or
// cancelled backup removes what it wrote.
Status BackupVolume(VolumeFs& source, const std::string& imagePath,
                    const ImageWriter::Options& options, const ProgressFn& progress);

struct RestoreOptions {
    bool crcIgnore = false;  // damaged chunks become zeros instead of failing
};

// Replaces the target's contents with the image's tree. The caller has opened the
// image (header, index, password) and checked which volume the target is. Before
// the target is touched: space is checked and, unless crcIgnore, every chunk the
// restore needs is verified, so a damaged image leaves the target as it was.
Status RestoreVolume(ImageReader& image, VolumeFs& target, const RestoreOptions& options,
                     const ProgressFn& progress);

// Copies the selected entries (indices into the image's index; a folder brings its
// contents) below destination, each under its own name. Nothing is deleted.
Status ExtractEntries(ImageReader& image, const std::vector<uint32_t>& selected,
                      VolumeFs& destination, bool crcIgnore, const ProgressFn& progress);

// Replaces the target's contents with the source's tree.
Status CopyVolume(VolumeFs& source, VolumeFs& target, const ProgressFn& progress);

// Reads every chunk of every span and verifies layout, CRCs and, when it can be
// decrypted, the index and the decompressed data. The first fault is returned.
Status CheckImage(const std::string& imagePath, const std::string& password,
                  const ProgressFn& progress);

}  // namespace ghost
