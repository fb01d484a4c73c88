// The files a Windows installation asks backups to leave out: the
// FilesNotToBackup lists in its own SYSTEM hive (read from the volume being
// backed up, not from the running system).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ghost {

class BackupExclusions {
  public:
    // Reads the lists from a SYSTEM hive's bytes; no rules when the bytes are
    // not a hive or hold no list.
    void Load(const std::vector<uint8_t>& systemHive);
    // Adds one entry as the registry writes it: "\path\mask", "%SystemRoot%\mask",
    // "C:\path\mask", with " /s" for every folder below too. Entries naming a
    // user's folders (%UserProfile%, %TEMP%, ...) cannot be placed offline and
    // are skipped.
    void Add(const std::string& entry);
    // Whether a file (path relative to the volume root, '/' or '\' separated)
    // is one of them.
    bool Excludes(const std::string& path) const;
    size_t size() const { return rules_.size(); }

  private:
    struct Rule {
        std::string folder;  // upper case, '\' separated, no leading or trailing '\'
        std::string mask;    // upper case
        bool below = false;  // " /s"
    };
    std::vector<Rule> rules_;
};

// Where a Windows volume keeps that hive.
inline constexpr char kSystemHivePath[] = "Windows/System32/config/SYSTEM";

}  // namespace ghost
