// Registry hive files (the "regf" format): read into a tree of keys and values, written
// back whole. The tree is what a caller changes; Serialize() lays out a fresh file:
// the base block, hive bins of 4 KiB multiples, one nk cell per key, vk cells, value
// lists, lh subkey lists (ri above 512 subkeys), big data (db) for values over 16344
// bytes, and one shared security descriptor (sk).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bcd {

enum RegType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

struct HiveValue {
    std::string name;  // UTF-8; empty is the key's default value
    uint32_t type = kRegNone;
    std::vector<uint8_t> data;
};

struct HiveKey {
    std::string name;  // UTF-8
    std::vector<HiveValue> values;
    std::vector<std::unique_ptr<HiveKey>> subkeys;

    // Names compare without regard to (ASCII) case, as the registry does.
    HiveKey* Child(const std::string& name) const;
    HiveKey& AddChild(const std::string& name);  // the existing one when present
    bool RemoveChild(const std::string& name);
    const HiveValue* Value(const std::string& name) const;
    void SetValue(const std::string& name, uint32_t type, std::vector<uint8_t> data);
    bool RemoveValue(const std::string& name);
};

class Hive {
  public:
    HiveKey root;

    // False with `error` when the bytes are not a hive this reader understands.
    bool Parse(const std::vector<uint8_t>& bytes, std::string& error);
    std::vector<uint8_t> Serialize() const;

  private:
    std::vector<uint8_t> security_;  // the root key's security descriptor, kept on rewrite
};

// Text values: REG_SZ and REG_MULTI_SZ data are UTF-16LE with terminating NULs.
std::vector<uint8_t> RegSz(const std::string& utf8);
std::string FromRegSz(const std::vector<uint8_t>& data);
std::vector<uint8_t> RegMultiSz(const std::vector<std::string>& utf8);
std::vector<std::string> FromRegMultiSz(const std::vector<uint8_t>& data);
std::vector<uint8_t> RegDword(uint32_t v);

bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace bcd
