#include "engines/bootice/bcd_editor.h"

#include <algorithm>

#include "engines/bcdstore/store_file.h"
#include "engines/bcdstore/volume_identity.h"

namespace bootice {

bool BcdEditor::Load(const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    bcd::Store store;
    if (!bcd::ReadStoreFile(path, bytes, error)) return false;
    if (!store.Load(bytes, error)) {
        error = path + " is not a BCD store: " + error;
        return false;
    }
    path_ = path;
    store_ = std::move(store);
    changed_ = false;
    return true;
}

bool BcdEditor::Save(std::string& error) {
    if (!bcd::WriteStoreFile(path_, store_.Save(), error)) return false;
    changed_ = false;
    return true;
}

BcdEditor::Entry BcdEditor::Describe(const std::string& id) const {
    Entry e;
    e.id = id;
    e.kind = bcd::ObjectTypeName(store_.ObjectType(id));
    e.description = store_.GetString(id, bcd::kElemDescription);
    if (store_.HasElement(id, bcd::kElemDevice))
        e.device = bcd::DeviceText(store_.GetDevice(id, bcd::kElemDevice));
    e.path = store_.GetString(id, bcd::kElemPath);
    e.isDefault = bcd::EqualNoCase(store_.GetString(bcd::kBootMgrId, bcd::kElemDefault), id);
    return e;
}

std::vector<BcdEditor::Entry> BcdEditor::MenuEntries() const {
    std::vector<Entry> entries;
    for (const std::string& id : store_.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder))
        if (store_.HasObject(id)) entries.push_back(Describe(id));
    return entries;
}

std::vector<BcdEditor::Entry> BcdEditor::AllEntries() const {
    std::vector<Entry> entries;
    for (const std::string& id : store_.Objects()) entries.push_back(Describe(id));
    return entries;
}

std::vector<BcdEditor::Element> BcdEditor::Elements(const std::string& id) const {
    std::vector<Element> out;
    std::vector<uint32_t> types = store_.Elements(id);
    std::sort(types.begin(), types.end());
    for (uint32_t type : types) {
        Element e;
        e.type = type;
        e.name = bcd::ElementName(type);
        switch (bcd::ElementFormat(type)) {
            case 1:
                e.value = bcd::DeviceText(store_.GetDevice(id, type));
                break;
            case 2:
                e.value = store_.GetString(id, type);
                e.editable = true;
                break;
            case 3:
                e.value = store_.GetString(id, type);
                break;
            case 4:
                for (const std::string& item : store_.GetList(id, type))
                    e.value += (e.value.empty() ? "" : " ") + item;
                break;
            case 5:
            case 6:
                e.value = std::to_string(store_.GetInteger(id, type));
                break;
            default:
                e.value = "(binary)";
        }
        out.push_back(e);
    }
    return out;
}

uint64_t BcdEditor::Timeout() const {
    return store_.GetInteger(bcd::kBootMgrId, bcd::kElemTimeout);
}

bool BcdEditor::Known(const std::string& id, std::string& error) const {
    if (store_.HasObject(id)) return true;
    error = "the entry is not in the store";
    return false;
}

bool BcdEditor::SetDescription(const std::string& id, const std::string& text, std::string& error) {
    return SetElementText(id, bcd::kElemDescription, text, error);
}

bool BcdEditor::SetPath(const std::string& id, const std::string& path, std::string& error) {
    if (!path.empty() && path[0] != '\\') {
        error = "a path starts with \\ (the root of the entry's device)";
        return false;
    }
    return SetElementText(id, bcd::kElemPath, path, error);
}

bool BcdEditor::SetDevice(const std::string& id, const std::string& device, std::string& error) {
    if (!Known(id, error)) return false;
    bcd::Device d;
    if (bcd::EqualNoCase(device, "boot")) {
        d.kind = bcd::Device::Kind::Boot;
    } else if (device.size() >= 2 && device[1] == ':' &&
               ((device[0] | 0x20) >= 'a' && (device[0] | 0x20) <= 'z')) {
        if (!bcd::IdentifyVolume(device, d, error)) return false;
    } else {
        error = "a device is a drive letter such as C: or \"boot\"";
        return false;
    }
    store_.SetDevice(id, bcd::kElemDevice, d);
    // A Windows loader keeps its system on the same partition.
    if (store_.ObjectType(id) == bcd::kTypeOsLoader) store_.SetDevice(id, bcd::kElemOsDevice, d);
    changed_ = true;
    return true;
}

bool BcdEditor::SetDefault(const std::string& id, std::string& error) {
    if (!Known(id, error)) return false;
    if (!store_.HasObject(bcd::kBootMgrId)) {
        error = "the store has no boot manager";
        return false;
    }
    store_.SetString(bcd::kBootMgrId, bcd::kElemDefault, id);
    changed_ = true;
    return true;
}

bool BcdEditor::SetTimeout(uint64_t seconds, std::string& error) {
    if (!store_.HasObject(bcd::kBootMgrId)) {
        error = "the store has no boot manager";
        return false;
    }
    if (seconds > 999) {
        error = "the timeout is at most 999 seconds";
        return false;
    }
    store_.SetInteger(bcd::kBootMgrId, bcd::kElemTimeout, seconds);
    changed_ = true;
    return true;
}

bool BcdEditor::SetElementText(const std::string& id, uint32_t type, const std::string& text,
                               std::string& error) {
    if (!Known(id, error)) return false;
    if (bcd::ElementFormat(type) != 2) {
        error = "only text elements are edited as text";
        return false;
    }
    store_.SetString(id, type, text);
    changed_ = true;
    return true;
}

bool BcdEditor::DeleteEntry(const std::string& id, std::string& error) {
    if (!Known(id, error)) return false;
    if (bcd::EqualNoCase(id, bcd::kBootMgrId)) {
        error = "the boot manager itself cannot be deleted";
        return false;
    }
    store_.DeleteObject(id);
    store_.ForgetReferences(id);
    changed_ = true;
    return true;
}

}  // namespace bootice
