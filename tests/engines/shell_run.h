// Runs a shell command for a native test (disk images, hivex) and returns its output;
// a non-zero exit fails the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace testshell {

inline std::string Shell(const std::string& command) {
    std::string full = "set -e; " + command + " 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
}

// A scratch folder removed at the end of the scope.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        char pattern[] = "/tmp/sb-engines-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~ScratchDir() {
        if (!path.empty()) Shell("rm -rf '" + path + "'");
    }
};

}  // namespace testshell
