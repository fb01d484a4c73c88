// A bounded mutation fuzzer for the ctest run: seeds come from WIM files that
// wimlib-imagex captures in every compression (the header, blob table, XML,
// metadata and real compressed chunks), then random byte flips, insertions,
// truncations and splices run for a fixed number of iterations per seed kind
// under AddressSanitizer and UndefinedBehaviorSanitizer.
// --seeds <folder> adds ready inputs (the committed corpus of the campaigns and
// the inputs of past findings); --write-seeds <folder> saves the seeds made
// from the WIM files there, which is how that corpus was made.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/le.h"
#include "engines/wimformat/wim_file.h"
#include "tests/fuzz/fuzz_io.h"
#include "tests/fuzz/fuzz_mutate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string Tagged(uint8_t tag, const std::string& body) {
    return std::string(1, char(tag)) + body;
}

// Seeds from one WIM: its whole start (header + blob table), XML, metadata,
// and a few compressed chunks with their output sizes.
void AddSeeds(const std::string& path, std::vector<std::string>& seeds) {
    std::string all = fuzz::ReadWholeFile(path);
    wim::WimFile w;
    if (!w.Open(path).ok()) return;
    const auto& h = w.header();
    std::string head =
        all.substr(0, 208) + all.substr(size_t(h.blobTable.offset), size_t(h.blobTable.storedSize));
    seeds.push_back(Tagged(0, head));
    std::string xml;
    if (w.ReadXml(&xml).ok()) seeds.push_back(Tagged(2, xml));
    std::string meta;
    if (!w.metadata().empty() && w.ReadBlob(w.metadata()[0], &meta).ok()) {
        seeds.push_back(Tagged(1, meta));
        // Raw material for the writer checks: random trees and chunks to encode.
        seeds.push_back(Tagged(7, meta.substr(0, 2000)));
        seeds.push_back(Tagged(8, meta.substr(0, 8192)));
        seeds.push_back(Tagged(9, meta.substr(0, 8192)));
    }
    std::vector<wim::ChunkExtent> chunks;
    for (const auto& b : w.blobs()) {
        chunks.clear();
        if (b.solidGroup >= 0 ? !w.SolidGroupChunks(b.solidGroup, &chunks).ok()
                              : !w.ResourceChunks(b.resource, &chunks).ok())
            continue;
        for (size_t i = 0; i < chunks.size() && i < 2; ++i) {
            const auto& c = chunks[i];
            if (c.kind == wim::Compression::kNone || c.storedSize > 70000 || c.originalSize > 65536)
                continue;
            uint8_t tag = c.kind == wim::Compression::kXpress ? 3
                          : c.kind == wim::Compression::kLzx  ? 4
                                                              : 5;
            std::string body(2, '\0');
            common::StoreLe16(&body[0], uint16_t(c.originalSize - 1));
            body += all.substr(size_t(c.fileOffset), c.storedSize);
            seeds.push_back(Tagged(tag, body));
        }
        if (seeds.size() > 40) break;
    }
}

// Every file of `folder`, in name order, as a ready input.
void AddFolder(const std::string& folder, std::vector<std::string>& seeds) {
    DIR* d = opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const auto& n : names) {
        std::string bytes = fuzz::ReadWholeFile(folder + "/" + n);
        if (!bytes.empty()) seeds.push_back(bytes);
    }
}

}  // namespace

int main(int argc, char** argv) {
    long iterations = 2000;
    std::string wimlib, work, seedFolder, writeSeeds;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--iterations" && i + 1 < argc)
            iterations = atol(argv[++i]);
        else if (a == "--wimlib" && i + 1 < argc)
            wimlib = argv[++i];
        else if (a == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--seeds" && i + 1 < argc)
            seedFolder = argv[++i];
        else if (a == "--write-seeds" && i + 1 < argc)
            writeSeeds = argv[++i];
        else
            files.push_back(a);
    }
    if (!wimlib.empty() && !work.empty()) {
        std::string src = work + "/src";
        std::string cmd = "rm -rf '" + work + "' && mkdir -p '" + src + "/d' && seq 1 3000 > '" +
                          src + "/d/n.txt' && head -c 40000 /bin/sh > '" + src +
                          "/sh.bin' && printf x > '" + src + "/x.txt'";
        if (system(cmd.c_str()) != 0) return 2;
        const char* kinds[] = {"none", "xpress", "lzx", "lzms"};
        for (const char* k : kinds) {
            std::string wim = work + "/" + k + ".wim";
            std::string c = "'" + wimlib + "' capture '" + src + "' '" + wim +
                            "' seed --compress=" + k + " >/dev/null";
            if (system(c.c_str()) != 0) return 2;
            files.push_back(wim);
        }
    }
    std::vector<std::string> seeds;
    for (const auto& f : files) AddSeeds(f, seeds);
    if (!writeSeeds.empty()) {
        for (size_t i = 0; i < seeds.size(); ++i) {
            char name[48];
            snprintf(name, sizeof name, "/wim-%02zu-kind%u", i, unsigned(uint8_t(seeds[i][0])));
            if (!fuzz::WriteWholeFile(writeSeeds + name, seeds[i])) return 2;
        }
        printf("wrote %zu seeds\n", seeds.size());
        return 0;
    }
    if (!seedFolder.empty()) AddFolder(seedFolder, seeds);
    if (seeds.empty()) {
        fprintf(stderr, "no seeds\n");
        return 2;
    }
    std::mt19937 rng(12345);
    for (const auto& s : seeds)
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    for (long i = 0; i < iterations; ++i) {
        std::string s = seeds[size_t(i) % seeds.size()];
        fuzz::Mutate(s, rng, true);
        if (rng() % 8 == 0) {  // splice with another seed of any kind
            const std::string& o = seeds[rng() % seeds.size()];
            s = s.substr(0, s.size() / 2) + o.substr(o.size() / 2);
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    printf("fuzzed %ld inputs from %zu seeds\n", iterations, seeds.size());
    return 0;
}
