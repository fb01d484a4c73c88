// A disk as a run of sectors: a disk image natively, a \\.\PhysicalDriveN on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bootice {

class BlockDevice {
  public:
    virtual ~BlockDevice() = default;
    virtual uint32_t SectorSize() const = 0;
    virtual uint64_t SectorCount() const = 0;
    // Whole sectors only; false with `error` set when the device refuses or runs short.
    virtual bool Read(uint64_t lba, uint32_t count, uint8_t* out, std::string& error) = 0;
    virtual bool Write(uint64_t lba, uint32_t count, const uint8_t* data, std::string& error) = 0;
};

// Reads `count` sectors into a vector (empty on failure).
std::vector<uint8_t> ReadSectors(BlockDevice& device, uint64_t lba, uint32_t count,
                                 std::string& error);

// Writes whole sectors, reads them back and compares. When the read-back differs the
// sectors' old content (`previous`, same size) is written back before failing, so a
// failed write leaves the disk as it was as far as the device lets us.
bool WriteVerified(BlockDevice& device, uint64_t lba, const std::vector<uint8_t>& data,
                   const std::vector<uint8_t>& previous, std::string& error);

}  // namespace bootice
