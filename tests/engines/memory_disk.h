// A disk held in memory for the boot record tests, and a view of it that a backend can
// hand out as its own device.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engines/bootice/block_device.h"

namespace testdisk {

class MemoryDisk : public bootice::BlockDevice {
  public:
    explicit MemoryDisk(uint64_t sectors) : bytes(sectors * 512, 0) {}
    std::vector<uint8_t> bytes;
    int writes = 0;
    bool corruptWrites = false;  // the device drops the last byte of every write

    uint32_t SectorSize() const override { return 512; }
    uint64_t SectorCount() const override { return bytes.size() / 512; }
    bool Read(uint64_t lba, uint32_t count, uint8_t* out, std::string& error) override {
        if ((lba + count) * 512 > bytes.size()) {
            error = "past the end";
            return false;
        }
        std::memcpy(out, &bytes[lba * 512], size_t(count) * 512);
        return true;
    }
    bool Write(uint64_t lba, uint32_t count, const uint8_t* data, std::string& error) override {
        if ((lba + count) * 512 > bytes.size()) {
            error = "past the end";
            return false;
        }
        ++writes;
        std::memcpy(&bytes[lba * 512], data, size_t(count) * 512);
        if (corruptWrites) bytes[(lba + count) * 512 - 1] ^= 0xFF;
        return true;
    }
    uint8_t* Sector(uint64_t lba) { return &bytes[lba * 512]; }
};

// Forwards to a MemoryDisk the test keeps.
class DiskView : public bootice::BlockDevice {
  public:
    explicit DiskView(MemoryDisk& disk) : disk_(disk) {}
    uint32_t SectorSize() const override { return disk_.SectorSize(); }
    uint64_t SectorCount() const override { return disk_.SectorCount(); }
    bool Read(uint64_t lba, uint32_t count, uint8_t* out, std::string& error) override {
        return disk_.Read(lba, count, out, error);
    }
    bool Write(uint64_t lba, uint32_t count, const uint8_t* data, std::string& error) override {
        return disk_.Write(lba, count, data, error);
    }

  private:
    MemoryDisk& disk_;
};

inline void PutEntry(uint8_t* sector, int slot, uint8_t boot, uint8_t type, uint32_t first,
                     uint32_t count) {
    uint8_t* e = sector + 0x1BE + 16 * slot;
    e[0] = boot;
    e[4] = type;
    for (int i = 0; i < 4; ++i) {
        e[8 + i] = uint8_t(first >> (8 * i));
        e[12 + i] = uint8_t(count >> (8 * i));
    }
}

inline void PutSignature(uint8_t* sector) {
    sector[510] = 0x55;
    sector[511] = 0xAA;
}

}  // namespace testdisk
