// Bounded fuzzing for the test run: every registered target gets its seed files
// (tests/fuzz/corpus/<target>/), then a fixed number of mutations of them (byte
// flips, interesting numbers, insertions, cuts, splices). The same bodies build into
// libFuzzer programs for long campaigns (bench/fuzz-campaign.sh). A finding aborts
// under AddressSanitizer / UBSan, or by the target's own check; the input is then
// written to <work>/crash-<target>.
#include <dirent.h>
#include <sanitizer/common_interface_defs.h>

#include <csignal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_io.h"
#include "tests/fuzz/fuzz_mutate.h"
#include "tests/fuzz/fuzz_target.h"

namespace fuzz {

static std::vector<Target>& Table() {
    static std::vector<Target> table;
    return table;
}

bool Register(const char* name, Body body) {
    Table().push_back({name, body});
    return true;
}

const std::vector<Target>& Targets() {
    return Table();
}

}  // namespace fuzz

namespace {

std::vector<std::string> Seeds(const std::string& dir) {
    std::vector<std::string> names, seeds;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) seeds.push_back(fuzz::ReadWholeFile(dir + "/" + n));
    return seeds;
}

// The input being run, written out when the process dies on it.
const std::string* g_current = nullptr;
std::string g_crashPath;

void SaveCurrent() {
    if (!g_current || g_crashPath.empty()) return;
    fuzz::WriteWholeFile(g_crashPath, *g_current);
}

void OnAbort(int) {
    SaveCurrent();
    signal(SIGABRT, SIG_DFL);
    abort();
}

void Run(const fuzz::Target& t, const std::string& input) {
    g_current = &input;
    t.body(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    g_current = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    long iterations = 2000;
    std::string corpus = "corpus", work, only;
    std::vector<std::string> replay;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--iterations" && i + 1 < argc)
            iterations = atol(argv[++i]);
        else if (a == "--corpus" && i + 1 < argc)
            corpus = argv[++i];
        else if (a == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--target" && i + 1 < argc)
            only = argv[++i];
        else
            replay.push_back(a);  // files to run once through --target
    }
    __sanitizer_set_death_callback(SaveCurrent);
    signal(SIGABRT, OnAbort);
    int status = 0;
    for (const fuzz::Target& t : fuzz::Targets()) {
        if (!only.empty() && only != t.name) continue;
        if (!replay.empty()) {
            for (const std::string& f : replay) Run(t, fuzz::ReadWholeFile(f));
            continue;
        }
        if (!work.empty()) g_crashPath = work + "/crash-" + t.name;
        std::vector<std::string> seeds = Seeds(corpus + "/" + t.name);
        if (seeds.empty()) {
            fprintf(stderr, "%s: no seeds in %s/%s\n", t.name, corpus.c_str(), t.name);
            status = 2;
            continue;
        }
        std::mt19937 rng(20261209);
        for (const std::string& s : seeds) Run(t, s);
        for (long i = 0; i < iterations; ++i) {
            std::string s = seeds[size_t(i) % seeds.size()];
            fuzz::Mutate(s, rng, false);
            if (rng() % 8 == 0) {
                const std::string& o = seeds[rng() % seeds.size()];
                s = s.substr(0, s.size() / 2) + o.substr(o.size() / 2);
            }
            Run(t, s);
        }
        printf("%s: %zu seeds, %ld mutations, no finding\n", t.name, seeds.size(), iterations);
    }
    return status;
}
