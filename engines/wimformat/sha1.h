// SHA-1, which names and checks every blob of a WIM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wim {

class Sha1 {
  public:
    Sha1();
    void Update(const void* data, size_t size);
    void Final(uint8_t digest[20]);

  private:
    void Blocks(const uint8_t* p, size_t count);
    uint32_t h_[5];
    uint64_t total_ = 0;
    uint8_t buf_[64];
    size_t used_ = 0;
};

std::string HexOfHash(const uint8_t hash[20]);

}  // namespace wim
