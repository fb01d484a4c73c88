// /capture against wimlib-imagex: what we write must verify, apply to the
// same tree with wimlib and with our own /apply, and carry the name,
// description, flag and counts; an older file at the target survives a
// capture that fails or is stopped; bad input fails cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include "tests/imagex/test_tree.h"

using testtree::Q;
using testtree::Shell;

namespace {

const std::string kImagex = IMAGEX_BIN;
const std::string kWimlib = WIMLIB_IMAGEX;
const std::string kDescription = u8"本映像卷由岚舟软件星桥装机台生成";

// The command line as the program builds it (two blanks before the description).
std::string CaptureLine(const std::string& source, const std::string& wim, const std::string& name,
                        const std::string& flag, const std::string& compress,
                        const std::string& temp) {
    return Q(kImagex) + " /capture " + Q(source) + " " + Q(wim) + " " + Q(name) + "  " +
           Q(kDescription) + " /flags " + Q(flag) + " /compress " + compress + " /temp " + Q(temp);
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string WimlibField(const std::string& text, const std::string& key) {
    std::smatch m;
    std::regex re(key + ":\\s+([^\\n]*)");
    return std::regex_search(text, m, re) ? m[1].str() : std::string();
}

// The sample tree plus a large file that is mostly zeros and the paths a
// capture leaves out (with near misses that must stay).
const std::string& SourceTree() {
    static std::string root;
    if (root.empty()) {
        root = testtree::MakeScratch("capture-src");
        testtree::BuildSampleTree(root, 7);
        std::string sparse(5u << 20, '\0');
        sparse[12345] = 'x';
        sparse[4u << 20] = 'y';
        testtree::WriteFile(root + "/sparse.img", sparse);
        testtree::WriteFile(root + "/docs/dup-of-noise.bin",
                            testtree::ReadFile(root + "/noise.bin"));
    }
    return root;
}

const char* const kLeftOut[] = {
    "pagefile.sys",          "hiberfil.sys",       "swapfile.sys",
    "winpepge.sys",          "$Recycle.Bin/x.txt", "System Volume Information/tracking.log",
    "Windows/CSC/cache.dat", "RECYCLER/s.txt",     "Recycled/r.txt",
    "$windows.~bt/a.txt",    "$WINDOWS.~LS/b.txt"};

struct Case {
    const char* compress;
    const char* wimlibName;  // as wimlib-imagex info names it
};

class CaptureTest : public ::testing::TestWithParam<Case> {};

TEST_P(CaptureTest, WimlibVerifiesAndBothApplyTheSameTree) {
    const Case& c = GetParam();
    const std::string& src = SourceTree();
    std::string dir = testtree::MakeScratch(std::string("cap-") + c.compress);
    std::string wim = dir + "/out.wim";
    std::string temp = dir + "/ImagexTemp";
    mkdir(temp.c_str(), 0755);
    std::string out;
    int rc =
        Shell(CaptureLine(src + "//", wim, u8"C_BAK_名字", "Ultimate", c.compress, temp), &out);
    ASSERT_EQ(0, rc) << out;
    EXPECT_TRUE(
        std::regex_search(out, std::regex("\\[ +[0-9]+% \\] Capturing progress[^\\r\\n]*\\r\\n")))
        << out;
    EXPECT_NE(std::string::npos, out.find("\r\nSuccessfully imaged ")) << out;
    EXPECT_EQ("", testtree::ReadFile(temp)) << "scratch folder not left empty";
    Shell("rmdir " + Q(temp), &out);
    EXPECT_FALSE(Exists(temp)) << "scratch folder holds something";

    ASSERT_EQ(0, Shell(kWimlib + " verify " + Q(wim), &out)) << out;
    std::string info;
    ASSERT_EQ(0, Shell(kWimlib + " info " + Q(wim) + " 1", &info)) << info;
    EXPECT_EQ(u8"C_BAK_名字", WimlibField(info, "Name"));
    EXPECT_EQ(kDescription, WimlibField(info, "Description"));
    EXPECT_EQ("Ultimate", WimlibField(info, "Flags"));
    std::string whole;
    Shell(kWimlib + " info " + Q(wim), &whole);
    EXPECT_EQ(c.wimlibName, WimlibField(whole, "Compression"));

    // The counts agree with what wimlib itself records for the same tree.
    std::string theirs = dir + "/theirs.wim", theirInfo;
    ASSERT_EQ(0,
              Shell(kWimlib + " capture " + Q(src) + " " + Q(theirs) + " x --compress=none", &out));
    Shell(kWimlib + " info " + Q(theirs) + " 1", &theirInfo);
    for (const char* key : {"Directory Count", "File Count", "Total Bytes", "Hard Link Bytes"})
        EXPECT_EQ(WimlibField(theirInfo, key), WimlibField(info, key)) << key;

    std::string viaWimlib = dir + "/wimlib-applied";
    ASSERT_EQ(0, Shell(kWimlib + " apply " + Q(wim) + " 1 " + Q(viaWimlib), &out)) << out;
    EXPECT_EQ("", testtree::CompareTrees(src, viaWimlib));
    std::string viaOurs = dir + "/ours-applied";
    ASSERT_EQ(0, Shell(Q(kImagex) + " /apply " + Q(wim) + " 1 " + Q(viaOurs), &out)) << out;
    EXPECT_EQ("", testtree::CompareTrees(src, viaOurs));
}

INSTANTIATE_TEST_SUITE_P(Compressions, CaptureTest,
                         ::testing::Values(Case{"none", "None"}, Case{"fast", "XPRESS"},
                                           Case{"Maximum", "LZX"}),
                         [](const ::testing::TestParamInfo<Case>& i) {
                             return std::string(i.param.compress);
                         });

TEST(CaptureLeavesOut, ExactlyTheElevenPathsOfTheNotice) {
    std::string src = testtree::MakeScratch("excl-src");
    for (const char* p : kLeftOut) {
        std::string full = src + "/" + p;
        Shell("mkdir -p " + Q(full.substr(0, full.rfind('/'))));
        testtree::WriteFile(full, "left out\n");
    }
    for (const char* kept : {"pagefile.sys.bak", "Windows/csc.txt", "Windows/System32/CSC/k.txt",
                             "docs/pagefile.sys", "Recycle.Bin/k.txt"}) {
        std::string full = src + "/" + kept;
        Shell("mkdir -p " + Q(full.substr(0, full.rfind('/'))));
        testtree::WriteFile(full, "kept\n");
    }
    std::string dir = testtree::MakeScratch("excl");
    std::string out;
    ASSERT_EQ(0, Shell(CaptureLine(src, dir + "/e.wim", "E", "", "none", dir), &out)) << out;
    std::string applied = dir + "/applied";
    ASSERT_EQ(0, Shell(kWimlib + " apply " + Q(dir + "/e.wim") + " " + Q(applied), &out)) << out;
    // Remove exactly the left-out paths from the source; what remains must match.
    for (const char* p : kLeftOut) {
        std::string top = std::string(p).substr(0, std::string(p).find('/'));
        if (std::string(p).rfind("Windows/", 0) == 0) top = "Windows/CSC";
        Shell("rm -rf " + Q(src + "/" + top));
    }
    EXPECT_EQ("", testtree::CompareTrees(src, applied));
    // An empty flag leaves the FLAGS element out rather than storing nothing.
    std::string info;
    Shell(kWimlib + " info " + Q(dir + "/e.wim") + " 1", &info);
    EXPECT_EQ("E", WimlibField(info, "Name"));
    EXPECT_EQ("", WimlibField(info, "Flags"));
}

// A tree that takes the sanitizer build a few seconds to compress.
const std::string& SlowTree() {
    static std::string root;
    if (root.empty()) {
        root = testtree::MakeScratch("slow-src");
        std::string text;
        for (int i = 0; text.size() < (24u << 20); ++i)
            text += "entry " + std::to_string(i * 104729 % 1000003) + " of a long log\n";
        testtree::WriteFile(root + "/log.txt", text);
    }
    return root;
}

const std::string kOlder = "an older image the user still has\n";

TEST(CaptureWorkingName, StoppedCaptureLeavesTheOlderFile) {
    std::string dir = testtree::MakeScratch("stop");
    std::string wim = dir + "/keep.wim";
    testtree::WriteFile(wim, kOlder);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(kImagex.c_str(), kImagex.c_str(), "/capture", SlowTree().c_str(), wim.c_str(), "n",
              "d", "/compress", "Maximum", (char*)nullptr);
        _exit(127);
    }
    std::string working = wim + "." + std::to_string(pid) + ".capturing";
    // Stopped half a second after its working file appears (the sanitizer
    // build needs several seconds for the whole tree).
    bool seen = false;
    for (int i = 0; i < 20000 && !seen; ++i) {
        seen = Exists(working);
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(seen) << "no working file beside the target";
    EXPECT_TRUE(WIFSIGNALED(status)) << "the capture ended before it was stopped";
    EXPECT_EQ(kOlder, testtree::ReadFile(wim));
}

TEST(CaptureWorkingName, SuspendedCaptureResumesAndReplacesTheOlderFile) {
    std::string dir = testtree::MakeScratch("pause");
    std::string wim = dir + "/replace.wim";
    testtree::WriteFile(wim, kOlder);
    std::string out;
    // Stopped shortly after it starts, continued a second later.
    int rc = Shell("(" + Q(kImagex) + " /capture " + Q(SlowTree()) + " " + Q(wim) +
                       " n d /compress fast & p=$!; sleep 0.3; kill -STOP $p; sleep 1; "
                       "kill -CONT $p; wait $p)",
                   &out);
    ASSERT_EQ(0, rc) << out;
    EXPECT_NE(std::string::npos, out.find("Successfully imaged")) << out;
    EXPECT_NE(kOlder, testtree::ReadFile(wim));
    ASSERT_EQ(0, Shell(kWimlib + " verify " + Q(wim), &out)) << out;
}

TEST(CaptureWorkingName, FullTargetFailsAndLeavesTheOlderFile) {
    std::string dir = testtree::MakeScratch("full");
    std::string wim = dir + "/full.wim";
    testtree::WriteFile(wim, kOlder);
    std::string out;
    // A file-size limit of 1 MiB stands in for a full volume.
    int rc = Shell("ulimit -f 2048; " + Q(kImagex) + " /capture " + Q(SourceTree()) + " " + Q(wim) +
                       " n d /compress none",
                   &out);
    EXPECT_NE(0, rc) << out;
    EXPECT_EQ(std::string::npos, out.find("Successfully")) << out;
    EXPECT_NE(std::string::npos, out.find("the disk is full")) << out;
    EXPECT_EQ(kOlder, testtree::ReadFile(wim));
    Shell("ls " + Q(dir), &out);
    EXPECT_EQ("full.wim\n", out) << "a working file was left behind";
}

// /check writes an integrity table (three 10 MiB pieces here) that wimlib and
// our /info check; one flipped bit in the covered part fails both.
TEST(CaptureIntegrity, CheckWritesATableThatBothToolsVerify) {
    std::string dir = testtree::MakeScratch("integrity");
    std::string wim = dir + "/checked.wim", out;
    ASSERT_EQ(0, Shell(Q(kImagex) + " /capture " + Q(SlowTree()) + " " + Q(wim) +
                           " n d /check /compress none",
                       &out))
        << out;
    ASSERT_EQ(0, Shell(kWimlib + " info " + Q(wim) + " --check", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("Integrity info")) << out;
    ASSERT_EQ(0, Shell(Q(kImagex) + " /info /check " + Q(wim), &out)) << out;
    EXPECT_NE(std::string::npos, out.find("Integrity:   verified")) << out;

    std::string bytes = testtree::ReadFile(wim);
    ASSERT_GT(bytes.size(), size_t(21) << 20);
    bytes[size_t(15) << 20] ^= 1;
    testtree::WriteFile(wim, bytes);
    EXPECT_NE(0, Shell(kWimlib + " info " + Q(wim) + " --check", &out)) << out;
    Shell(Q(kImagex) + " /info /check " + Q(wim), &out);
    EXPECT_NE(std::string::npos, out.find("integrity check failed at offset 10485968")) << out;
    EXPECT_EQ(std::string::npos, out.find("verified")) << out;
}

// Without /check there is no table, and /info /check says so.
TEST(CaptureIntegrity, NoTableWithoutCheck) {
    std::string dir = testtree::MakeScratch("no-integrity");
    std::string wim = dir + "/plain.wim", out;
    ASSERT_EQ(
        0, Shell(Q(kImagex) + " /capture " + Q(SourceTree()) + " " + Q(wim) + " n d /compress fast",
                 &out))
        << out;
    Shell(Q(kImagex) + " /info /check " + Q(wim), &out);
    EXPECT_NE(std::string::npos, out.find("Integrity:   no integrity table")) << out;
}

TEST(CaptureBadInput, ClearMessageNonZeroAndNoFile) {
    std::string dir = testtree::MakeScratch("bad");
    std::string wim = dir + "/bad.wim";
    testtree::WriteFile(dir + "/plain.txt", "x");
    struct Bad {
        std::string source, target, name, message;
    };
    const Bad cases[] = {
        {dir + "/missing", wim, "n", "does not exist"},
        {dir + "/plain.txt", wim, "n", "is not a folder or drive"},
        {SourceTree(), dir + "/no/such/folder/x.wim", "n", "does not exist"},
        {SourceTree(), wim, "bad\x01name", "cannot store"},
    };
    for (const Bad& b : cases) {
        std::string out;
        int rc = Shell(Q(kImagex) + " /capture " + Q(b.source) + " " + Q(b.target) + " " +
                           Q(b.name) + "  d /flags '' /compress Maximum /temp " + Q(dir),
                       &out);
        EXPECT_NE(0, rc) << out;
        EXPECT_EQ(std::string::npos, out.find("Successfully")) << out;
        EXPECT_NE(std::string::npos, out.find(b.message)) << out;
        EXPECT_FALSE(Exists(b.target)) << b.target;
    }
    std::string out;
    Shell("ls " + Q(dir), &out);
    EXPECT_EQ("plain.txt\n", out);
}

}  // namespace
