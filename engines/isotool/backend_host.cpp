// The ISO tool built for the development host: no virtual disk service; the cache
// folder is $ISO_CACHE_DIR/<letter>, and with $ISO_DRIVES_DIR set the letter becomes
// the link $ISO_DRIVES_DIR/<letter> to it (how tests see a "drive" here).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engines/isotool/mount_backend.h"

namespace isotool {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

class HostBackend : public MountBackend {
  public:
    bool AttachIso(const std::string&, char, std::string& note) override {
        note = "this system has no virtual disk service";
        return false;
    }
    std::string CacheFolderFor(char letter) override {
        const std::string base = Env("ISO_CACHE_DIR");
        return base.empty() ? std::string() : base + "/" + std::string(1, letter);
    }
    bool MapLetter(char letter, const std::string& folder, std::string& note) override {
        const std::string drives = Env("ISO_DRIVES_DIR");
        if (drives.empty()) {
            note = "no drive folder is set";
            return false;
        }
        const std::string link = drives + "/" + std::string(1, letter);
        if (symlink(folder.c_str(), link.c_str()) != 0) {
            note = "the link " + link + " cannot be made";
            return false;
        }
        return true;
    }
    std::string UnmountAll() override {
        const std::string drives = Env("ISO_DRIVES_DIR");
        std::string said;
        if (drives.empty()) return said;
        std::error_code ec;
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const std::string link = drives + "/" + std::string(1, letter);
            if (!std::filesystem::is_symlink(link, ec)) continue;
            std::filesystem::remove_all(std::filesystem::read_symlink(link, ec), ec);
            std::filesystem::remove(link, ec);
            said += "ISO: unmounted " + std::string(1, letter) + ":\r\n";
        }
        return said;
    }
};

}  // namespace

MountBackend& SystemMountBackend() {
    static HostBackend backend;
    return backend;
}

}  // namespace isotool
