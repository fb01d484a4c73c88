// Images captured by wimlib-imagex, in every compression and with two images,
// must come out of our /apply as identical trees, and our /info must agree
// with wimlib on names, counts and sizes. Bad files must fail cleanly.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>

#include "tests/imagex/test_tree.h"

using testtree::Q;
using testtree::Shell;

namespace {

const std::string kImagex = IMAGEX_BIN;
const std::string kWimlib = WIMLIB_IMAGEX;

struct Trees {
    std::string first, second;
};

const Trees& SampleTrees() {
    static Trees t;
    if (t.first.empty()) {
        t.first = testtree::MakeScratch("src1");
        t.second = testtree::MakeScratch("src2");
        testtree::BuildSampleTree(t.first, 1);
        testtree::BuildSampleTree(t.second, 2);
        testtree::WriteFile(t.second + "/only-in-two.txt", "second image\n");
    }
    return t;
}

// Captures both sample trees into one WIM with the given wimlib options.
std::string CaptureTwoImages(const std::string& tag, const std::string& options) {
    const Trees& t = SampleTrees();
    std::string dir = testtree::MakeScratch("wim-" + tag);
    std::string wim = dir + "/test.wim";
    std::string out;
    EXPECT_EQ(0, Shell(kWimlib + " capture " + Q(t.first) + " " + Q(wim) + " " + Q(u8"First 第一") +
                           " " + Q("the first image") + " " + options,
                       &out))
        << out;
    EXPECT_EQ(0,
              Shell(kWimlib + " append " + Q(t.second) + " " + Q(wim) + " Second " + options, &out))
        << out;
    return wim;
}

std::string Apply(const std::string& wim, const std::string& index, const std::string& target,
                  int* rc) {
    std::string out;
    *rc = Shell(Q(kImagex) + " /apply " + Q(wim) + " " + index + " " + Q(target), &out);
    return out;
}

// The value of "Key:   value" in wimlib's text for one image.
std::string WimlibField(const std::string& text, const std::string& key) {
    std::smatch m;
    std::regex re(key + ":\\s+([^\\n]*)");
    return std::regex_search(text, m, re) ? m[1].str() : std::string();
}

std::vector<std::string> Elements(const std::string& xml, const std::string& line) {
    std::vector<std::string> out;
    std::regex re(line);
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), re); it != std::sregex_iterator();
         ++it)
        out.push_back((*it)[1].str());
    return out;
}

struct Case {
    const char* tag;
    const char* options;
};

class CompressionTest : public ::testing::TestWithParam<Case> {};

TEST_P(CompressionTest, AppliesBothImagesIdenticallyAndInfoAgreesWithWimlib) {
    const Case& c = GetParam();
    std::string wim = CaptureTwoImages(c.tag, c.options);
    const Trees& t = SampleTrees();
    const std::string sources[] = {t.first, t.second};
    for (int index = 1; index <= 2; ++index) {
        std::string target =
            testtree::MakeScratch(std::string("out-") + c.tag + std::to_string(index));
        int rc;
        std::string out = Apply(wim, std::to_string(index), target, &rc);
        ASSERT_EQ(0, rc) << out;
        EXPECT_NE(std::string::npos, out.find("\r\nSuccessfully applied image.\r\n")) << out;
        EXPECT_TRUE(
            std::regex_search(out, std::regex("\\[ 100% \\] Applying progress[^\\r\\n]*\\r\\n")))
            << out;
        EXPECT_EQ("", testtree::CompareTrees(sources[index - 1], target));
    }

    std::string info;
    ASSERT_EQ(0, Shell(Q(kImagex) + " /info " + Q(wim), &info)) << info;
    auto names = Elements(info, "\\r\\n    <NAME>([^<]*)</NAME>\\r\\n");
    auto dirs = Elements(info, "\\r\\n    <DIRCOUNT>([^<]*)</DIRCOUNT>\\r\\n");
    auto files = Elements(info, "\\r\\n    <FILECOUNT>([^<]*)</FILECOUNT>\\r\\n");
    auto bytes = Elements(info, "\\r\\n    <TOTALBYTES>([^<]*)</TOTALBYTES>\\r\\n");
    auto whole = Elements(info, "\\r\\n  <TOTALBYTES>([^<]*)</TOTALBYTES>\\r\\n");
    ASSERT_EQ(2u, names.size()) << info;
    ASSERT_EQ(2u, dirs.size());
    ASSERT_EQ(2u, files.size());
    ASSERT_EQ(2u, bytes.size());
    ASSERT_EQ(1u, whole.size());
    for (int index = 1; index <= 2; ++index) {
        std::string w;
        ASSERT_EQ(0, Shell(kWimlib + " info " + Q(wim) + " " + std::to_string(index), &w));
        EXPECT_EQ(WimlibField(w, "Name"), names[size_t(index - 1)]);
        EXPECT_EQ(WimlibField(w, "Directory Count"), dirs[size_t(index - 1)]);
        EXPECT_EQ(WimlibField(w, "File Count"), files[size_t(index - 1)]);
        EXPECT_EQ(WimlibField(w, "Total Bytes"), bytes[size_t(index - 1)]);
    }
    EXPECT_EQ(u8"First 第一", names[0]);
    EXPECT_NE(std::string::npos, info.find("    <DESCRIPTION>the first image</DESCRIPTION>\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Wimlib, CompressionTest,
    ::testing::Values(Case{"none", "--compress=none"}, Case{"xpress", "--compress=xpress"},
                      Case{"lzx", "--compress=lzx"},
                      Case{"lzx1m", "--compress=lzx --chunk-size=1M"},
                      Case{"lzms", "--compress=lzms"}, Case{"solid", "--solid"},
                      Case{"solidlzx", "--compress=lzx --solid --solid-compress=lzx"}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.tag); });

// One LZX image for the failure cases.
const std::string& LzxWim() {
    static std::string wim;
    if (wim.empty()) wim = CaptureTwoImages("bad-base", "--compress=lzx --check");
    return wim;
}

std::string CopyWim(const std::string& tag) {
    std::string dir = testtree::MakeScratch("bad-" + tag);
    std::string copy = dir + "/copy.wim";
    Shell("cp " + Q(LzxWim()) + " " + Q(copy));
    return copy;
}

void ExpectCleanFailure(const std::string& out, int rc, const std::string& message) {
    EXPECT_NE(0, rc) << out;
    EXPECT_EQ(std::string::npos, out.find("Successfully")) << out;
    EXPECT_NE(std::string::npos, out.find(message)) << out;
}

TEST(ImagexBadInput, RefusesWrongMagicTruncationAndMissingImages) {
    int rc;
    std::string wrongMagic = CopyWim("magic");
    Shell("printf 'XXWIM' | dd of=" + Q(wrongMagic) + " conv=notrunc status=none");
    ExpectCleanFailure(Apply(wrongMagic, "1", testtree::MakeScratch("t-magic"), &rc), rc,
                       "Error 3: not a WIM file");

    std::string truncated = CopyWim("trunc");
    truncate(truncated.c_str(), 4000);
    std::string out;
    rc = Shell(Q(kImagex) + " /info " + Q(truncated), &out);
    ExpectCleanFailure(out, rc, "Error 5:");
    ExpectCleanFailure(Apply(truncated, "1", testtree::MakeScratch("t-trunc"), &rc), rc,
                       "Error 5:");

    ExpectCleanFailure(Apply(LzxWim(), "3", testtree::MakeScratch("t-idx"), &rc), rc,
                       "Error 11: image 3 does not exist (the file holds 2)");
    ExpectCleanFailure(Apply(LzxWim(), "0", testtree::MakeScratch("t-idx0"), &rc), rc,
                       "image number \"0\" is not a positive number");
}

TEST(ImagexBadInput, CorruptChunkFailsApplyAndIntegrityCheck) {
    std::string bad = CopyWim("chunk");
    // Damage the middle of the large compressible file's data (well inside the file).
    struct stat st;
    ASSERT_EQ(0, stat(bad.c_str(), &st));
    for (int k = 1; k <= 7; ++k) {
        std::string off = std::to_string(st.st_size / 16 * k);
        Shell("printf '\\377\\000\\125' | dd of=" + Q(bad) + " bs=1 seek=" + off +
              " conv=notrunc status=none");
    }
    std::string target = testtree::MakeScratch("t-chunk");
    int rc;
    std::string out = Apply(bad, "1", target, &rc);
    EXPECT_NE(0, rc) << out;
    EXPECT_EQ(std::string::npos, out.find("Successfully")) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("Error (7|8|9|6): "))) << out;

    rc = Shell(Q(kImagex) + " /info /check " + Q(bad), &out);
    ExpectCleanFailure(out, rc, "Error 12: integrity check failed");
    rc = Shell(Q(kImagex) + " /INFO /Check " + Q(LzxWim()), &out);
    EXPECT_EQ(0, rc) << out;
    EXPECT_NE(std::string::npos, out.find("Integrity:   verified")) << out;
}

TEST(ImagexApply, KeepsUnrelatedFilesAndReplacesSamePaths) {
    std::string target = testtree::MakeScratch("t-keep");
    mkdir((target + "/docs").c_str(), 0755);
    testtree::WriteFile(target + "/docs/mine.txt", "mine\n");
    testtree::WriteFile(target + "/docs/copy.txt", "an older, longer text that must be replaced\n");
    int rc;
    std::string out = Apply(LzxWim(), "1", target + "///", &rc);
    ASSERT_EQ(0, rc) << out;
    EXPECT_EQ("mine\n", testtree::ReadFile(target + "/docs/mine.txt"));
    EXPECT_EQ("shared by two names\n", testtree::ReadFile(target + "/docs/copy.txt"));
}

// What stands at a file's path is replaced, never written through: a link
// pointing out of the tree, another name of an outside file, an empty folder,
// a longer file.
TEST(ImagexApply, ReplacesLinksFoldersAndHardLinkedFilesInTheWay) {
    std::string outside = testtree::MakeScratch("t-way-outside");
    testtree::WriteFile(outside + "/target.txt", "outside, reached by a link\n");
    testtree::WriteFile(outside + "/other-name.txt", "outside, a second name\n");
    std::string target = testtree::MakeScratch("t-way");
    mkdir((target + "/docs").c_str(), 0755);
    ASSERT_EQ(0, symlink((outside + "/target.txt").c_str(), (target + "/docs/copy.txt").c_str()));
    ASSERT_EQ(0, link((outside + "/other-name.txt").c_str(), (target + "/linked.txt").c_str()));
    mkdir((target + "/big.txt").c_str(), 0755);
    testtree::WriteFile(target + "/noise.bin", std::string(3u << 20, 'x'));
    int rc;
    std::string out = Apply(LzxWim(), "1", target, &rc);
    ASSERT_EQ(0, rc) << out;
    EXPECT_EQ("outside, reached by a link\n", testtree::ReadFile(outside + "/target.txt"));
    EXPECT_EQ("outside, a second name\n", testtree::ReadFile(outside + "/other-name.txt"));
    EXPECT_EQ("", testtree::CompareTrees(SampleTrees().first, target));
}

TEST(ImagexCommandLine, ApplyRefusesARootOrRelativeTargetAndIncompleteLines) {
    std::string out;
    std::string cwd = testtree::MakeScratch("t-relative");
    // No partition chosen gives the target "\\"; a relative one depends on the
    // current folder. Neither may write anything.
    for (const std::string& target :
         {std::string("\\"), std::string("\\\\"), std::string("out"), std::string("./out")}) {
        int rc = Shell(
            "cd " + Q(cwd) + " && " + Q(kImagex) + " /apply " + Q(LzxWim()) + " 1 " + Q(target),
            &out);
        ExpectCleanFailure(out, rc, "Error 17: the target");
        EXPECT_NE(std::string::npos, out.find("is not a drive or a full folder path")) << out;
    }
    Shell("ls -A " + Q(cwd), &out);
    EXPECT_EQ("", out);
    int rc = Shell(Q(kImagex) + " /apply " + Q(LzxWim()) + " 1", &out);
    ExpectCleanFailure(out, rc,
                       "Error 15: /apply needs the image file, the image number and the target");
}

}  // namespace
