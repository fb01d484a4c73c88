#include "engines/ghost/backup_exclusions.h"

#include "engines/bcdstore/hive.h"

namespace ghost {

namespace {

std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return s;
}

// '*' and '?' as the file system matches them ("*.*" also matches a name
// without a dot).
bool Matches(const char* mask, const char* name) {
    if (!*mask) return !*name;
    if (*mask == '*') {
        if (mask[1] == '.' && mask[2] == '*' && !mask[3]) return true;
        for (const char* n = name;; ++n) {
            if (Matches(mask + 1, n)) return true;
            if (!*n) return false;
        }
    }
    if (!*name) return false;
    return (*mask == '?' || *mask == *name) && Matches(mask + 1, name + 1);
}

}  // namespace

void BackupExclusions::Load(const std::vector<uint8_t>& systemHive) {
    bcd::Hive hive;
    std::string error;
    if (!hive.Parse(systemHive, error)) return;
    const bcd::HiveKey* select = hive.root.Child("Select");
    const bcd::HiveValue* current = select ? select->Value("Current") : nullptr;
    if (!current || current->data.size() < 4) return;
    uint32_t n = uint32_t(current->data[0]) | uint32_t(current->data[1]) << 8 |
                 uint32_t(current->data[2]) << 16 | uint32_t(current->data[3]) << 24;
    std::string set = std::to_string(n);
    const bcd::HiveKey* key =
        hive.root.Child("ControlSet" + std::string(3 - std::min<size_t>(3, set.size()), '0') + set);
    for (const char* part : {"Control", "BackupRestore", "FilesNotToBackup"})
        key = key ? key->Child(part) : nullptr;
    if (!key) return;
    for (const bcd::HiveValue& v : key->values) {
        if (v.type != bcd::kRegMultiSz && v.type != bcd::kRegSz && v.type != bcd::kRegExpandSz)
            continue;
        for (const std::string& entry : bcd::FromRegMultiSz(v.data)) Add(entry);
    }
}

void BackupExclusions::Add(const std::string& entry) {
    std::string e = Upper(entry);
    while (!e.empty() && (e.back() == ' ' || e.back() == '\t')) e.pop_back();
    Rule r;
    if (e.size() >= 3 && e.compare(e.size() - 3, 3, " /S") == 0) {
        r.below = true;
        e.erase(e.size() - 3);
        while (!e.empty() && e.back() == ' ') e.pop_back();
    }
    while (!e.empty() && e[0] == ' ') e.erase(0, 1);
    static const struct {
        const char* name;
        const char* value;
    } kKnown[] = {{"%SYSTEMROOT%", "\\WINDOWS"},
                  {"%WINDIR%", "\\WINDOWS"},
                  {"%SYSTEMDRIVE%", ""},
                  {"%PROGRAMDATA%", "\\PROGRAMDATA"},
                  {"%ALLUSERSPROFILE%", "\\PROGRAMDATA"},
                  {"%PROGRAMFILES%", "\\PROGRAM FILES"}};
    for (const auto& k : kKnown) {
        std::string name = k.name;
        if (e.compare(0, name.size(), name) == 0) e = k.value + e.substr(name.size());
    }
    if (e.find('%') != std::string::npos) return;  // a user's folder, unknown offline
    if (e.size() >= 2 && e[1] == ':') e.erase(0, 2);
    if (e.empty() || e[0] != '\\') return;
    size_t slash = e.rfind('\\');
    r.mask = e.substr(slash + 1);
    r.folder = e.substr(1, slash == 0 ? 0 : slash - 1);
    if (r.mask.empty()) r.mask = "*";
    rules_.push_back(r);
}

bool BackupExclusions::Excludes(const std::string& path) const {
    if (rules_.empty()) return false;
    std::string p = Upper(path);
    for (char& c : p)
        if (c == '/') c = '\\';
    size_t slash = p.rfind('\\');
    std::string folder = slash == std::string::npos ? "" : p.substr(0, slash);
    std::string name = p.substr(slash == std::string::npos ? 0 : slash + 1);
    for (const Rule& r : rules_) {
        bool inside =
            folder == r.folder ||
            (r.below && (r.folder.empty() || (folder.size() > r.folder.size() &&
                                              folder.compare(0, r.folder.size(), r.folder) == 0 &&
                                              folder[r.folder.size()] == '\\')));
        if (inside && Matches(r.mask.c_str(), name.c_str())) return true;
    }
    return false;
}

}  // namespace ghost
