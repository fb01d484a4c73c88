// The BCD editor behind Bootice's window ("/edit_bcd /file=..."): loads a store, lists
// its entries, changes them and saves. Easy mode lists the boot menu (the boot
// manager's display order) and edits an entry's description, device, path, the default
// and the timeout; professional mode lists every object and every element of one.
#pragma once

#include <string>
#include <vector>

#include "engines/bcdstore/bcd_store.h"

namespace bootice {

class BcdEditor {
  public:
    struct Entry {
        std::string id;
        std::string kind;  // object type name
        std::string description;
        std::string device;  // as bcd::DeviceText shows it
        std::string path;
        bool isDefault = false;
    };
    struct Element {
        uint32_t type = 0;
        std::string name;
        std::string value;      // as text
        bool editable = false;  // a string element
    };

    // False with `error` when the file is missing or not a BCD store.
    bool Load(const std::string& path, std::string& error);
    bool Save(std::string& error);
    bool changed() const { return changed_; }
    const std::string& path() const { return path_; }

    std::vector<Entry> MenuEntries() const;  // easy mode: the display order
    std::vector<Entry> AllEntries() const;   // professional mode: every object
    std::vector<Element> Elements(const std::string& id) const;
    uint64_t Timeout() const;

    // Each returns false with `error` when the change cannot be made; nothing changes then.
    bool SetDescription(const std::string& id, const std::string& text, std::string& error);
    bool SetPath(const std::string& id, const std::string& path, std::string& error);
    // "C:" (the partition behind the letter), or "boot".
    bool SetDevice(const std::string& id, const std::string& device, std::string& error);
    bool SetDefault(const std::string& id, std::string& error);
    bool SetTimeout(uint64_t seconds, std::string& error);
    bool SetElementText(const std::string& id, uint32_t type, const std::string& text,
                        std::string& error);
    bool DeleteEntry(const std::string& id, std::string& error);

  private:
    Entry Describe(const std::string& id) const;
    bool Known(const std::string& id, std::string& error) const;
    std::string path_;
    bcd::Store store_;
    bool changed_ = false;
};

}  // namespace bootice
