// Writes the Ghost image seeds of corpus/ghost_image/ with the engine's own backup:
// a small tree (files, a folder, a hard link, a symbolic link), once plain and once
// encrypted with a cheap key derivation (the fuzz target caps it so).
//   fuzz_ghost_seeds <corpus/ghost_image>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engines/ghost/image_writer.h"
#include "engines/ghost/operations.h"
#include "engines/ghost/volume_fs.h"
#include "tests/fuzz/fuzz_io.h"

namespace {

// The seed: the mode byte of the target, then the image.
bool Seed(const std::string& tree, const std::string& out, char mode, const std::string& password) {
    ghost::ImageWriter::Options o;
    o.level = 6;
    o.password = password;
    o.kdfIterations = 1000;
    const std::string image = tree + ".GHO";
    auto fs = ghost::OpenVolumeFs(tree);
    const ghost::Status s =
        ghost::BackupVolume(*fs, image, o, [](uint64_t, uint64_t) { return true; });
    if (!s.ok()) {
        fprintf(stderr, "backup: %s\n", s.message.c_str());
        return false;
    }
    return fuzz::WriteWholeFile(out, std::string(1, mode) + fuzz::ReadWholeFile(image));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string dir = argv[1];
    char work[] = "/tmp/sb-ghost-seeds-XXXXXX";
    if (!mkdtemp(work)) return 1;
    const std::string tree = std::string(work) + "/tree";
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "/sub").c_str(), 0755);
    std::string numbers;
    for (int i = 0; i < 300; ++i) numbers += std::to_string(i) + "\n";
    if (!fuzz::WriteWholeFile(tree + "/a.txt", "alpha\n") ||
        !fuzz::WriteWholeFile(tree + "/sub/n.txt", numbers) ||
        !fuzz::WriteWholeFile(tree + "/empty", ""))
        return 1;
    link((tree + "/a.txt").c_str(), (tree + "/sub/a-link").c_str());
    symlink("sub/n.txt", (tree + "/sym").c_str());
    // Whole image with CRCs repaired; the encrypted one opened with the password.
    const bool ok = Seed(tree, dir + "/plain-whole", 0x04, "") &&
                    Seed(tree, dir + "/plain-spans", 0x00, "") &&
                    Seed(tree, dir + "/encrypted-whole", 0x0C, u8"互通 pass");
    std::system(("rm -rf '" + std::string(work) + "'").c_str());
    return ok ? 0 : 1;
}
