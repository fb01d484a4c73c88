// Boot configuration data: a registry hive whose Objects key holds one key per object
// ({GUID}, with Description\Type) and, under each, Elements\<8 hex digits>\Element.
// The element type's format nibble (bits 24..27) says how the value is stored:
// 1 device (binary), 2 string, 3 object ({GUID} text), 4 object list (multi-string),
// 5 integer (8-byte binary), 6 boolean (1-byte binary), 7 integer list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engines/bcdstore/hive.h"

namespace bcd {

// Object types
constexpr uint32_t kTypeFirmwareBootManager = 0x10100001;
constexpr uint32_t kTypeBootManager = 0x10100002;
constexpr uint32_t kTypeOsLoader = 0x10200003;
constexpr uint32_t kTypeResume = 0x10200004;
constexpr uint32_t kTypeBootSector = 0x10400008;  // a real-mode boot sector application
constexpr uint32_t kTypeInheritLibrary = 0x20100000;
constexpr uint32_t kTypeInheritLoader = 0x20200003;

// Element types
constexpr uint32_t kElemDevice = 0x11000001;
constexpr uint32_t kElemPath = 0x12000002;
constexpr uint32_t kElemDescription = 0x12000004;
constexpr uint32_t kElemLocale = 0x12000005;
constexpr uint32_t kElemInherit = 0x14000006;
constexpr uint32_t kElemOsDevice = 0x21000001;
constexpr uint32_t kElemSystemRoot = 0x22000002;
constexpr uint32_t kElemDefault = 0x23000003;  // boot manager: the default entry
constexpr uint32_t kElemResumeObject = 0x23000006;
constexpr uint32_t kElemDisplayOrder = 0x24000001;
constexpr uint32_t kElemBootSequence = 0x24000002;
constexpr uint32_t kElemToolsDisplayOrder = 0x24000010;
constexpr uint32_t kElemTimeout = 0x25000004;
constexpr uint32_t kElemNxPolicy = 0x25000020;

// Well-known objects
extern const char kBootMgrId[];         // {9dea862c-5cdd-4e70-acc1-f32b344d4795}
extern const char kGlobalSettingsId[];  // {7ea2e1ac-2e61-4728-aaa3-896d9d0a9f0e}
extern const char kLoaderSettingsId[];  // {6efb52bf-1766-41db-a6b3-0ee5eff72bd7}

inline uint32_t ElementFormat(uint32_t type) {
    return (type >> 24) & 0x0F;
}

// Where an application or a system lies.
struct Device {
    enum class Kind { Boot, MbrPartition, GptPartition, Other } kind = Kind::Boot;
    uint32_t mbrSignature = 0;
    uint64_t partitionOffset = 0;  // bytes from the start of the disk (MBR)
    std::array<uint8_t, 16> diskGuid{}, partitionGuid{};
    std::vector<uint8_t> raw;  // Other: the element as stored
};
std::vector<uint8_t> EncodeDevice(const Device& device);
Device DecodeDevice(const std::vector<uint8_t>& data);
std::string DeviceText(const Device& device);  // "boot", "partition (MBR 1234abcd, 1048576)"

// "{9dea862c-...}" <-> 16 bytes, lower-case text as stores keep it.
bool ParseGuid(const std::string& text, std::array<uint8_t, 16>& guid);
std::string GuidString(const std::array<uint8_t, 16>& guid);
std::string NewGuidString();  // a random (version 4) identifier
std::string LowerGuid(const std::string& id);

class Store {
  public:
    // A new empty store: Description (KeyName BCD00000000) and Objects.
    static Store Empty();
    bool Load(const std::vector<uint8_t>& bytes, std::string& error);
    std::vector<uint8_t> Save() const { return hive_.Serialize(); }

    std::vector<std::string> Objects() const;  // identifiers as stored
    bool HasObject(const std::string& id) const;
    uint32_t ObjectType(const std::string& id) const;  // 0 when absent
    void CreateObject(const std::string& id, uint32_t type);
    bool DeleteObject(const std::string& id);
    // Takes an identifier out of the boot manager's menus, sequence and default.
    void ForgetReferences(const std::string& id);

    std::vector<uint32_t> Elements(const std::string& id) const;
    bool HasElement(const std::string& id, uint32_t type) const;
    bool DeleteElement(const std::string& id, uint32_t type);
    std::string GetString(const std::string& id, uint32_t type) const;
    std::vector<std::string> GetList(const std::string& id, uint32_t type) const;
    uint64_t GetInteger(const std::string& id, uint32_t type) const;
    Device GetDevice(const std::string& id, uint32_t type) const;
    void SetString(const std::string& id, uint32_t type, const std::string& text);
    void SetList(const std::string& id, uint32_t type, const std::vector<std::string>& ids);
    void SetInteger(const std::string& id, uint32_t type, uint64_t value);
    void SetBoolean(const std::string& id, uint32_t type, bool value);
    void SetDevice(const std::string& id, uint32_t type, const Device& device);

    const Hive& hive() const { return hive_; }

  private:
    HiveKey* ObjectKey(const std::string& id) const;
    const HiveValue* ElementValue(const std::string& id, uint32_t type) const;
    void SetElement(const std::string& id, uint32_t type, uint32_t regType,
                    std::vector<uint8_t> data);
    Hive hive_;
};

// Element names for listings and the editor ("description", "device", ...), and the
// element type for such a name (0 when unknown).
std::string ElementName(uint32_t type);
uint32_t ElementByName(const std::string& name);
std::string ObjectTypeName(uint32_t type);

}  // namespace bcd
