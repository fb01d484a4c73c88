#include "engines/bcdstore/bcd_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "common/le.h"

namespace bcd {

using common::LoadLe32;
using common::LoadLe64;
using common::StoreLe32;
using common::StoreLe64;

const char kBootMgrId[] = "{9dea862c-5cdd-4e70-acc1-f32b344d4795}";
const char kGlobalSettingsId[] = "{7ea2e1ac-2e61-4728-aaa3-896d9d0a9f0e}";
const char kLoaderSettingsId[] = "{6efb52bf-1766-41db-a6b3-0ee5eff72bd7}";

namespace {

// A device element: 16 bytes of options, then type, flags, size (0x48) and the
// partition: offset or partition GUID at 0x20, style at 0x34 (1 MBR, 0 GPT),
// signature or disk GUID at 0x38.
constexpr size_t kDeviceBytes = 0x58;
constexpr uint32_t kDeviceTypeBoot = 5;
constexpr uint32_t kDeviceTypePartition = 6;

std::string Hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", unsigned(v));
    return text;
}

}  // namespace

std::vector<uint8_t> EncodeDevice(const Device& d) {
    if (d.kind == Device::Kind::Other) return d.raw;
    std::vector<uint8_t> out(kDeviceBytes, 0);
    StoreLe32(&out[0x10], d.kind == Device::Kind::Boot ? kDeviceTypeBoot : kDeviceTypePartition);
    StoreLe32(&out[0x18], 0x48);
    if (d.kind == Device::Kind::MbrPartition) {
        StoreLe64(&out[0x20], d.partitionOffset);
        StoreLe32(&out[0x34], 1);
        StoreLe32(&out[0x38], d.mbrSignature);
    } else if (d.kind == Device::Kind::GptPartition) {
        std::copy(d.partitionGuid.begin(), d.partitionGuid.end(), &out[0x20]);
        std::copy(d.diskGuid.begin(), d.diskGuid.end(), &out[0x38]);
    }
    return out;
}

Device DecodeDevice(const std::vector<uint8_t>& data) {
    Device d;
    d.kind = Device::Kind::Other;
    d.raw = data;
    if (data.size() < kDeviceBytes) return d;
    uint32_t type = LoadLe32(&data[0x10]);
    if (type == kDeviceTypeBoot) {
        d.kind = Device::Kind::Boot;
    } else if (type == kDeviceTypePartition && LoadLe32(&data[0x34]) == 1) {
        d.kind = Device::Kind::MbrPartition;
        d.partitionOffset = LoadLe64(&data[0x20]);
        d.mbrSignature = LoadLe32(&data[0x38]);
    } else if (type == kDeviceTypePartition && LoadLe32(&data[0x34]) == 0) {
        d.kind = Device::Kind::GptPartition;
        std::copy_n(&data[0x20], 16, d.partitionGuid.begin());
        std::copy_n(&data[0x38], 16, d.diskGuid.begin());
    }
    return d;
}

std::string DeviceText(const Device& d) {
    switch (d.kind) {
        case Device::Kind::Boot:
            return "boot";
        case Device::Kind::MbrPartition: {
            char text[96];
            std::snprintf(text, sizeof text, "partition (MBR disk %08x, offset %llu)",
                          unsigned(d.mbrSignature), (unsigned long long)d.partitionOffset);
            return text;
        }
        case Device::Kind::GptPartition:
            return "partition (GPT disk " + GuidString(d.diskGuid) + ", partition " +
                   GuidString(d.partitionGuid) + ")";
        case Device::Kind::Other:
            break;
    }
    return "unknown device (" + std::to_string(d.raw.size()) + " bytes)";
}

bool ParseGuid(const std::string& text, std::array<uint8_t, 16>& guid) {
    unsigned a, b, c, d[8];
    if (text.size() != 38 ||
        std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &a, &b, &c, &d[0],
                    &d[1], &d[2], &d[3], &d[4], &d[5], &d[6], &d[7]) != 11)
        return false;
    StoreLe32(&guid[0], a);
    guid[4] = uint8_t(b);
    guid[5] = uint8_t(b >> 8);
    guid[6] = uint8_t(c);
    guid[7] = uint8_t(c >> 8);
    for (int i = 0; i < 8; ++i) guid[8 + i] = uint8_t(d[i]);
    return GuidString(guid) == LowerGuid(text);
}

std::string GuidString(const std::array<uint8_t, 16>& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  unsigned(LoadLe32(&g[0])), g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11],
                  g[12], g[13], g[14], g[15]);
    return text;
}

std::string NewGuidString() {
    std::random_device seed;
    std::mt19937_64 random((uint64_t(seed()) << 32) ^ seed());
    std::array<uint8_t, 16> g;
    for (auto& b : g) b = uint8_t(random());
    g[7] = uint8_t((g[7] & 0x0F) | 0x40);
    g[8] = uint8_t((g[8] & 0x3F) | 0x80);
    return GuidString(g);
}

std::string LowerGuid(const std::string& id) {
    std::string out = id;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return out;
}

Store Store::Empty() {
    Store s;
    s.hive_.root.name = "NewStoreRoot";
    HiveKey& description = s.hive_.root.AddChild("Description");
    description.SetValue("KeyName", kRegSz, RegSz("BCD00000000"));
    description.SetValue("System", kRegDword, RegDword(1));
    description.SetValue("TreatAsSystem", kRegDword, RegDword(1));
    s.hive_.root.AddChild("Objects");
    return s;
}

bool Store::Load(const std::vector<uint8_t>& bytes, std::string& error) {
    Hive hive;
    if (!hive.Parse(bytes, error)) return false;
    if (!hive.root.Child("Objects")) {
        error = "the hive holds no boot configuration (no Objects key)";
        return false;
    }
    hive_ = std::move(hive);
    return true;
}

HiveKey* Store::ObjectKey(const std::string& id) const {
    HiveKey* objects = hive_.root.Child("Objects");
    return objects ? objects->Child(id) : nullptr;
}

std::vector<std::string> Store::Objects() const {
    std::vector<std::string> ids;
    if (HiveKey* objects = hive_.root.Child("Objects"))
        for (const auto& sub : objects->subkeys) ids.push_back(sub->name);
    return ids;
}

bool Store::HasObject(const std::string& id) const {
    return ObjectKey(id) != nullptr;
}

uint32_t Store::ObjectType(const std::string& id) const {
    HiveKey* key = ObjectKey(id);
    HiveKey* description = key ? key->Child("Description") : nullptr;
    const HiveValue* type = description ? description->Value("Type") : nullptr;
    return type && type->data.size() >= 4 ? LoadLe32(type->data.data()) : 0;
}

void Store::CreateObject(const std::string& id, uint32_t type) {
    HiveKey& key = hive_.root.AddChild("Objects").AddChild(LowerGuid(id));
    key.AddChild("Description").SetValue("Type", kRegDword, RegDword(type));
    key.AddChild("Elements");
}

bool Store::DeleteObject(const std::string& id) {
    HiveKey* objects = hive_.root.Child("Objects");
    return objects && objects->RemoveChild(id);
}

void Store::ForgetReferences(const std::string& id) {
    if (!HasObject(kBootMgrId)) return;
    for (uint32_t element : {kElemDisplayOrder, kElemBootSequence, kElemToolsDisplayOrder}) {
        std::vector<std::string> list = GetList(kBootMgrId, element);
        size_t before = list.size();
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const std::string& x) { return EqualNoCase(x, id); }),
                   list.end());
        if (list.size() == before) continue;
        if (list.empty())
            DeleteElement(kBootMgrId, element);
        else
            SetList(kBootMgrId, element, list);
    }
    if (EqualNoCase(GetString(kBootMgrId, kElemDefault), id))
        DeleteElement(kBootMgrId, kElemDefault);
}

std::vector<uint32_t> Store::Elements(const std::string& id) const {
    std::vector<uint32_t> types;
    HiveKey* key = ObjectKey(id);
    HiveKey* elements = key ? key->Child("Elements") : nullptr;
    if (elements)
        for (const auto& sub : elements->subkeys)
            types.push_back(uint32_t(std::strtoul(sub->name.c_str(), nullptr, 16)));
    return types;
}

const HiveValue* Store::ElementValue(const std::string& id, uint32_t type) const {
    HiveKey* key = ObjectKey(id);
    HiveKey* elements = key ? key->Child("Elements") : nullptr;
    HiveKey* element = elements ? elements->Child(Hex8(type)) : nullptr;
    return element ? element->Value("Element") : nullptr;
}

bool Store::HasElement(const std::string& id, uint32_t type) const {
    return ElementValue(id, type) != nullptr;
}

bool Store::DeleteElement(const std::string& id, uint32_t type) {
    HiveKey* key = ObjectKey(id);
    HiveKey* elements = key ? key->Child("Elements") : nullptr;
    return elements && elements->RemoveChild(Hex8(type));
}

std::string Store::GetString(const std::string& id, uint32_t type) const {
    const HiveValue* v = ElementValue(id, type);
    return v ? FromRegSz(v->data) : std::string();
}

std::vector<std::string> Store::GetList(const std::string& id, uint32_t type) const {
    const HiveValue* v = ElementValue(id, type);
    return v ? FromRegMultiSz(v->data) : std::vector<std::string>();
}

uint64_t Store::GetInteger(const std::string& id, uint32_t type) const {
    const HiveValue* v = ElementValue(id, type);
    if (!v) return 0;
    uint8_t bytes[8] = {};
    std::copy_n(v->data.begin(), std::min<size_t>(8, v->data.size()), bytes);
    return LoadLe64(bytes);
}

Device Store::GetDevice(const std::string& id, uint32_t type) const {
    const HiveValue* v = ElementValue(id, type);
    return DecodeDevice(v ? v->data : std::vector<uint8_t>());
}

void Store::SetElement(const std::string& id, uint32_t type, uint32_t regType,
                       std::vector<uint8_t> data) {
    HiveKey* key = ObjectKey(id);
    if (!key) return;
    key->AddChild("Elements").AddChild(Hex8(type)).SetValue("Element", regType, std::move(data));
}

void Store::SetString(const std::string& id, uint32_t type, const std::string& text) {
    SetElement(id, type, kRegSz, RegSz(text));
}

void Store::SetList(const std::string& id, uint32_t type, const std::vector<std::string>& ids) {
    SetElement(id, type, kRegMultiSz, RegMultiSz(ids));
}

void Store::SetInteger(const std::string& id, uint32_t type, uint64_t value) {
    std::vector<uint8_t> data(8);
    StoreLe64(data.data(), value);
    SetElement(id, type, kRegBinary, std::move(data));
}

void Store::SetBoolean(const std::string& id, uint32_t type, bool value) {
    SetElement(id, type, kRegBinary, std::vector<uint8_t>{uint8_t(value ? 1 : 0)});
}

void Store::SetDevice(const std::string& id, uint32_t type, const Device& device) {
    SetElement(id, type, kRegBinary, EncodeDevice(device));
}

namespace {

struct NamedElement {
    uint32_t type;
    const char* name;
};
const NamedElement kNamedElements[] = {
    {kElemDevice, "device"},
    {kElemPath, "path"},
    {kElemDescription, "description"},
    {kElemLocale, "locale"},
    {kElemInherit, "inherit"},
    {kElemOsDevice, "osdevice"},
    {kElemSystemRoot, "systemroot"},
    {kElemDefault, "default"},
    {kElemResumeObject, "resumeobject"},
    {kElemDisplayOrder, "displayorder"},
    {kElemBootSequence, "bootsequence"},
    {kElemToolsDisplayOrder, "toolsdisplayorder"},
    {kElemTimeout, "timeout"},
    {kElemNxPolicy, "nx"},
};

}  // namespace

std::string ElementName(uint32_t type) {
    for (const NamedElement& e : kNamedElements)
        if (e.type == type) return e.name;
    return Hex8(type);
}

uint32_t ElementByName(const std::string& name) {
    for (const NamedElement& e : kNamedElements)
        if (EqualNoCase(name, e.name)) return e.type;
    return 0;
}

std::string ObjectTypeName(uint32_t type) {
    switch (type) {
        case kTypeFirmwareBootManager:
            return "Firmware Boot Manager";
        case kTypeBootManager:
            return "Windows Boot Manager";
        case kTypeOsLoader:
            return "Windows Boot Loader";
        case kTypeResume:
            return "Resume from Hibernate";
        case kTypeBootSector:
            return "Real-mode Boot Sector";
        case kTypeInheritLibrary:
        case kTypeInheritLoader:
            return "Inherited Settings";
    }
    return "Object " + Hex8(type);
}

}  // namespace bcd
