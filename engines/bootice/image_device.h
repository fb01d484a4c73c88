// A disk image file as a block device of 512-byte sectors.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "engines/bootice/block_device.h"

namespace bootice {

class ImageDevice : public BlockDevice {
  public:
    // Opens an existing image; nullptr with `error` set when it cannot be opened.
    static std::unique_ptr<ImageDevice> Open(const std::string& path, bool writable,
                                             std::string& error);
    uint32_t SectorSize() const override { return 512; }
    uint64_t SectorCount() const override { return sectors_; }
    bool Read(uint64_t lba, uint32_t count, uint8_t* out, std::string& error) override;
    bool Write(uint64_t lba, uint32_t count, const uint8_t* data, std::string& error) override;

  private:
    std::fstream file_;
    uint64_t sectors_ = 0;
    bool writable_ = false;
};

}  // namespace bootice
