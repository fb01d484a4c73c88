// Helpers of the interop tests: scratch folders, running commands, comparing trees.
#pragma once

#include <string>

namespace testtree {

// A fresh scratch folder under the test's working space; removed at exit.
std::string MakeScratch(const std::string& tag);

// Runs a shell command; returns its exit code and puts stdout+stderr in `output`.
int Shell(const std::string& command, std::string* output = nullptr);

// Quotes a path for the shell.
std::string Q(const std::string& path);

// Builds the sample tree: nested and empty folders, empty files, hard links,
// long and non-ASCII names, a compressible and an incompressible large file,
// and a relative symbolic link.
void BuildSampleTree(const std::string& root, unsigned seed);

// Compares two trees: names, kinds, contents, link targets, hard-link groups
// and file modification times. Returns an empty text when equal.
std::string CompareTrees(const std::string& a, const std::string& b);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

}  // namespace testtree
