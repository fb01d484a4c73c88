#include <climits>
#include <cstdlib>
#include <vector>

#include <unistd.h>

#include "engines/ghost/volumes.h"

namespace ghost {

bool PathInside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return !path.empty() && path[0] == '/';
    if (path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

namespace {

class EnvVolumeMap : public VolumeMap {
  public:
    EnvVolumeMap() {
        const char* v = getenv("SB_GHOST_VOLUMES");
        std::string list = v ? v : "";
        size_t start = 0;
        while (start < list.size()) {
            size_t end = list.find(';', start);
            if (end == std::string::npos) end = list.size();
            std::string item = list.substr(start, end - start);
            size_t eq = item.find('=');
            PartitionId id;
            if (eq != std::string::npos && ParsePartitionId(item.substr(0, eq), &id)) {
                volumes_.push_back({id, Absolute(item.substr(eq + 1))});
            }
            start = end + 1;
        }
        const char* sys = getenv("SB_GHOST_SYSTEM");
        if (sys) ParsePartitionId(sys, &system_);
        if (!system_.valid()) {
            for (const auto& vol : volumes_) {
                if (vol.second == "/") system_ = vol.first;
            }
        }
    }

    std::string RootOf(const PartitionId& id) override {
        for (const auto& vol : volumes_) {
            if (vol.first == id) return vol.second;
        }
        return "";
    }

    PartitionId PartitionOf(const std::string& path) override {
        std::string abs = Absolute(path);
        PartitionId best;
        size_t bestLen = 0;
        for (const auto& vol : volumes_) {
            if (PathInside(abs, vol.second) && vol.second.size() >= bestLen) {
                best = vol.first;
                bestLen = vol.second.size();
            }
        }
        return best;
    }

    PartitionId SystemPartition() override { return system_; }

    // Resolves symbolic links of the longest existing ancestor, so two spellings
    // of one folder compare equal.
    std::string Absolute(const std::string& path) override {
        std::string p = path;
        if (p.empty() || p[0] != '/') {
            char cwd[PATH_MAX];
            if (getcwd(cwd, sizeof cwd)) p = std::string(cwd) + "/" + p;
        }
        std::string tail;
        for (;;) {
            char buf[PATH_MAX];
            if (realpath(p.c_str(), buf)) {
                std::string r = buf;
                if (!tail.empty()) r += (r == "/" ? "" : "/") + tail;
                return r;
            }
            size_t slash = p.find_last_of('/');
            if (slash == std::string::npos || p == "/") return path;
            std::string name = p.substr(slash + 1);
            tail = tail.empty() ? name : name + "/" + tail;
            p = slash == 0 ? "/" : p.substr(0, slash);
        }
    }

  private:
    std::vector<std::pair<PartitionId, std::string>> volumes_;
    PartitionId system_;
};

}  // namespace

std::unique_ptr<VolumeMap> MakeVolumeMap() {
    return std::make_unique<EnvVolumeMap>();
}

}  // namespace ghost
