// WIM files written by wimlib-imagex from a real NTFS volume (made by
// data/make_wim_fixtures.sh) applied onto the fake NTFS volume, whose call
// log records the order: hard-link pairs (one with a reused group number),
// short names, streams, and links with and without the reparse-fix flag.
#include <gtest/gtest.h>

#include <map>

#include "common/le.h"
#include "engines/imagex/apply_command.h"
#include "engines/ntfs_seam/fake_ntfs.h"
#include "engines/wimformat/utf.h"

namespace {

using ntfs::FakeNtfs;

const char kRoot[] = "C:\\t";

std::string Fixture(const std::string& name) {
    return std::string(NTFS_TEST_DATA) + "/" + name;
}

std::string At(const std::string& rel) {
    return std::string(kRoot) + "\\" + rel;
}

// The substitute name of a junction's or symbolic link's reparse buffer.
std::string LinkTarget(const std::string& buffer) {
    if (buffer.size() < 16) return "";
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buffer.data());
    uint32_t tag = common::LoadLe32(b);
    size_t head = 8 + (tag == 0xA000000C ? 12 : 8);
    size_t off = common::LoadLe16(b + 8), len = common::LoadLe16(b + 10);
    if (head + off + len > buffer.size()) return "";
    return wim::Utf8FromUtf16Le(b + head + off, len);
}

struct Applied {
    FakeNtfs fs;
    std::unique_ptr<imagex::ApplyTarget> target;
    wim::Status status;

    explicit Applied(const std::string& fixture) {
        fs.MakeFolder(kRoot);
        fs.log.clear();
        wim::WimFile wim;
        status = wim.Open(Fixture(fixture));
        if (!status.ok()) return;
        target = imagex::MakeNtfsApplyTarget(&fs);
        imagex::ApplyOptions options;
        options.progress = false;
        options.threads = 1;
        status = imagex::ApplyImage(wim, 1, kRoot, target.get(), options);
    }
    long Line(const std::string& prefix) const {
        for (size_t i = 0; i < fs.log.size(); ++i)
            if (fs.log[i].compare(0, prefix.size(), prefix) == 0) return long(i);
        return -1;
    }
};

TEST(WimlibFixtures, TreeFromRealNtfsIsKept) {
    Applied a("fix.wim");
    ASSERT_TRUE(a.status.ok()) << a.status.message;
    EXPECT_TRUE(a.target->notKept().empty());
    FakeNtfs& fs = a.fs;

    auto sxs = fs.Object(At("Windows\\WinSxS\\comp.dll"));
    ASSERT_TRUE(sxs);
    EXPECT_EQ(sxs, fs.Object(At("Windows\\System32\\comp.dll")));
    EXPECT_EQ(2, sxs->links);
    std::string dll;
    for (int i = 0; i < 300; ++i) dll += "DLLDATA";
    EXPECT_EQ(dll, sxs->streams.at(""));
    EXPECT_EQ("COMP~1.DLL", fs.ShortName(At("Windows\\WinSxS\\comp.dll")));
    EXPECT_EQ("", fs.ShortName(At("Windows\\System32\\comp.dll")));
    EXPECT_EQ("PROGRA~2", fs.ShortName(At("Program Files (x86)")));
    EXPECT_EQ("SETUPI~1.TXT",
              fs.ShortName(At("Program Files (x86)\\Common Files\\setup info.txt")));

    auto info = fs.Object(At("Program Files (x86)\\Common Files\\setup info.txt"));
    EXPECT_EQ("setup information\n", info->streams.at(""));
    EXPECT_EQ("[ZoneTransfer]\r\nZoneId=3\r\n", info->streams.at("Zone.Identifier"));
    auto first = fs.Object(At("Windows\\streamfirst.txt"));
    EXPECT_EQ("main data", first->streams.at(""));
    EXPECT_EQ("named data", first->streams.at("first"));
    EXPECT_EQ(1u, first->streams.count("empty"));

    EXPECT_EQ(fs.Object(At("Windows\\a1.txt")), fs.Object(At("Windows\\a2.txt")));
    EXPECT_EQ(fs.Object(At("Windows\\b1.txt")), fs.Object(At("Windows\\b2.txt")));
    EXPECT_NE(fs.Object(At("Windows\\a1.txt")), fs.Object(At("Windows\\b1.txt")));

    // Every object got the volume's descriptor, the target root included.
    EXPECT_FALSE(fs.Object(kRoot)->sd.empty());
    EXPECT_FALSE(fs.Object(At("Windows\\System32"))->sd.empty());

    // The call order: the short name while the file has one name, no
    // superseded default stream, the descriptor last.
    long shortName = a.Line("SetShortName " + At("Windows\\WinSxS\\comp.dll"));
    long link = a.Line("CreateHardLink " + At("Windows\\System32\\comp.dll"));
    ASSERT_GE(shortName, 0);
    ASSERT_GE(link, 0);
    EXPECT_LT(shortName, link);
    std::map<std::string, bool> secured;
    for (const std::string& line : fs.log) {
        EXPECT_EQ(std::string::npos, line.find(" -> ")) << line;
        EXPECT_EQ(std::string::npos, line.find("create-always")) << line;
        std::string rest = line.substr(line.find(' ') + 1);
        std::string path = rest.substr(0, rest.find(" | "));
        EXPECT_FALSE(secured[path.substr(0, path.find(':', 2))]) << line << " after its descriptor";
        if (line.compare(0, 12, "SetSecurity ") == 0) secured[path] = true;
    }
}

TEST(WimlibFixtures, FixedLinksPointBelowTheTarget) {
    // Captured with fixing, absolute targets move below the target root;
    // captured without, they stay as they were. A relative link is the same
    // wherever it lands.
    struct Case {
        const char* fixture;
        const char* junction;
        const char* symlink;
    };
    for (const Case& c : {Case{"fix.wim", "\\??\\C:\\t\\Users", "\\??\\C:\\t\\Windows\\System32"},
                          Case{"norpfix.wim", "\\??\\C:\\Users", "\\??\\C:\\Windows\\System32"}}) {
        SCOPED_TRACE(c.fixture);
        Applied a(c.fixture);
        ASSERT_TRUE(a.status.ok()) << a.status.message;
        EXPECT_EQ(c.junction, LinkTarget(a.fs.Object(At("Documents and Settings"))->reparse));
        EXPECT_EQ(c.symlink, LinkTarget(a.fs.Object(At("Windows\\sys32link"))->reparse));
        EXPECT_EQ("System32\\comp.dll", LinkTarget(a.fs.Object(At("Windows\\rellink"))->reparse));
    }
}

TEST(WimlibFixtures, ReusedGroupNumberLinksOnlyEqualContent) {
    Applied a("collide.wim");
    ASSERT_TRUE(a.status.ok()) << a.status.message;
    auto a1 = a.fs.Object(At("Windows\\a1.txt")), b1 = a.fs.Object(At("Windows\\b1.txt"));
    ASSERT_TRUE(a1 && b1);
    EXPECT_NE(a1, b1);
    EXPECT_EQ(a1, a.fs.Object(At("Windows\\a2.txt")));
    EXPECT_EQ(b1, a.fs.Object(At("Windows\\b2.txt")));
    EXPECT_EQ("first file", a1->streams.at(""));
    EXPECT_EQ("second file", b1->streams.at(""));
    EXPECT_EQ(2, a1->links);
    EXPECT_EQ(2, b1->links);
}

}  // namespace
