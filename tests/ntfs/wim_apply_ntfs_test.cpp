// A Windows-like image applied by the WIM engine onto the fake NTFS volume,
// compared object by object, with the order of the recorded calls checked:
// short names before links, no superseded default stream after a named one,
// the descriptor as each object's last write, metadata once per file, and the
// apply carrying on past what one file cannot keep.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "engines/imagex/apply_command.h"
#include "engines/ntfs_seam/fake_ntfs.h"
#include "tests/ntfs/wim_fixture.h"

namespace {

using ntfs::FakeNtfs;
using ntfstest::WimFixture;

const char kRoot[] = "C:\\t";

// Descriptors differ by their last byte, so each one is recognisable.
std::string Descriptor(char tag) {
    std::string sd(20, '\0');
    sd[0] = 1;
    sd[19] = tag;
    return sd;
}

struct WindowsTree {
    WimFixture f;
    std::map<std::string, int> at;  // relative path -> entry

    WindowsTree() {
        f.tree.securityDescriptors = {Descriptor('r'), Descriptor('T'), Descriptor('L'),
                                      Descriptor('u')};
        f.tree.entries[0].securityId = 0;
        // The named stream's blob lies before the main data of its file, so
        // the data arrives in that order.
        wim::Hash zone = f.Blob("[ZoneTransfer]\r\nZoneId=3\r\n");
        wim::Hash setup = f.Blob("setup information");
        wim::Hash dll = f.Blob(std::string(5000, 'D'));
        int win = Dir(0, "Windows", 1);
        int sxs = Dir(Dir(win, "WinSxS", 1), "amd64_comp", 1);
        int sys = Dir(win, "System32", 1);
        int a = File(sxs, "comp.dll", dll, 1);
        f.tree.entries[size_t(a)].hardLinkGroup = 7;
        f.tree.entries[size_t(a)].shortName = "COMP~1.DLL";
        int b = File(sys, "comp.dll", dll, 1);
        f.tree.entries[size_t(b)].hardLinkGroup = 7;
        // A reused group number on unrelated files.
        f.tree.entries[size_t(File(win, "a.txt", f.Blob("first file"), 3))].hardLinkGroup = 9;
        f.tree.entries[size_t(File(win, "b.txt", f.Blob("second file"), 3))].hardLinkGroup = 9;
        int pf = Dir(0, "Program Files (x86)", 3);
        f.tree.entries[size_t(pf)].shortName = "PROGRA~2";
        int common = Dir(pf, "Common Files", 3);
        int info = File(common, "setup info.txt", setup, 3);
        f.tree.entries[size_t(info)].shortName = "SETUPI~1.TXT";
        f.tree.entries[size_t(info)].streams = {{"Zone.Identifier", zone}, {"empty", wim::Hash{}}};
        File(win, "compressed.log", f.Blob("compress me"), 1, 0x800 | 0x20);
        File(win, "sparse.dat", f.Blob(std::string(3000, '\0') + "tail"), 1, 0x200 | 0x20);
        File(win, "readonly.ini", f.Blob("[x]"), 1, 0x1 | 0x20);
        int users = Dir(0, "Users", 3);
        int local = Dir(Dir(Dir(users, "Default", 3), "AppData", 3), "LocalLow", 2);
        File(local, "low.dat", f.Blob("low"), 2);
        File(users, "secret.efs", f.Blob("raw efs"), 3, 0x4000 | 0x20);
        // A junction: a folder that is a name surrogate.
        int j = Add(0, "Documents and Settings", 0x10 | 0x400 | 0x2 | 0x4, 3);
        std::string target = "\\??\\C:\\Users";
        f.tree.entries[size_t(j)].reparseTag = 0xA0000003;
        f.tree.entries[size_t(j)].data = f.Blob("junction:" + target);
    }

    int Add(int parent, const std::string& name, uint32_t attributes, int sd) {
        int i = f.Add(parent, name, attributes);
        f.tree.entries[size_t(i)].securityId = sd;
        std::string rel = parent ? RelOf(parent) + "/" + name : name;
        at[rel] = i;
        return i;
    }
    int Dir(int parent, const std::string& name, int sd) { return Add(parent, name, 0x10, sd); }
    int File(int parent, const std::string& name, const wim::Hash& data, int sd,
             uint32_t attributes = 0x20) {
        int i = Add(parent, name, attributes, sd);
        f.tree.entries[size_t(i)].data = data;
        return i;
    }
    std::string RelOf(int index) const {
        for (const auto& kv : at)
            if (kv.second == index) return kv.first;
        return "";
    }
};

std::string Win(const std::string& rel) {
    std::string p = std::string(kRoot) + "\\" + rel;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

class WimApplyOntoNtfs : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ntfs-wim-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = name;
    }
    void TearDown() override { std::remove(path_.c_str()); }

    wim::Status Apply(const WimFixture& f, FakeNtfs* fs,
                      std::unique_ptr<imagex::ApplyTarget>* target) {
        EXPECT_TRUE(f.Write(path_));
        wim::WimFile wim;
        wim::Status s = wim.Open(path_);
        if (!s.ok()) return s;
        *target = imagex::MakeNtfsApplyTarget(fs);
        imagex::ApplyOptions options;
        options.progress = false;
        options.threads = 1;
        return imagex::ApplyImage(wim, 1, kRoot, target->get(), options);
    }

    // Index of the first log line starting with `prefix`, or -1.
    static long Find(const FakeNtfs& fs, const std::string& prefix) {
        for (size_t i = 0; i < fs.log.size(); ++i)
            if (fs.log[i].compare(0, prefix.size(), prefix) == 0) return long(i);
        return -1;
    }

    std::string path_;
};

TEST_F(WimApplyOntoNtfs, WindowsTreeKeepsEveryObject) {
    WindowsTree t;
    FakeNtfs fs;
    std::unique_ptr<imagex::ApplyTarget> target;
    ASSERT_TRUE(fs.MakeFolder(kRoot) == ntfs::kOk);
    wim::Status s = Apply(t.f, &fs, &target);
    ASSERT_TRUE(s.ok()) << s.message;

    // Contents, named streams (the empty one too) and short names.
    auto info = fs.Object(Win("Program Files (x86)/Common Files/setup info.txt"));
    ASSERT_TRUE(info);
    EXPECT_EQ("setup information", info->streams.at(""));
    ASSERT_EQ(1u, info->streams.count("Zone.Identifier"));
    EXPECT_EQ("[ZoneTransfer]\r\nZoneId=3\r\n", info->streams.at("Zone.Identifier"));
    EXPECT_EQ(1u, info->streams.count("empty"));
    EXPECT_EQ("PROGRA~2", fs.ShortName(Win("Program Files (x86)")));
    EXPECT_EQ("SETUPI~1.TXT", fs.ShortName(Win("Program Files (x86)/Common Files/setup info.txt")));
    EXPECT_EQ("COMP~1.DLL", fs.ShortName(Win("Windows/WinSxS/amd64_comp/comp.dll")));

    // The WinSxS pair is one file; the reused group number links nothing.
    auto sxs = fs.Object(Win("Windows/WinSxS/amd64_comp/comp.dll"));
    EXPECT_EQ(sxs, fs.Object(Win("Windows/System32/comp.dll")));
    EXPECT_EQ(2, sxs->links);
    auto a = fs.Object(Win("Windows/a.txt")), b = fs.Object(Win("Windows/b.txt"));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ("first file", a->streams.at(""));
    EXPECT_EQ("second file", b->streams.at(""));

    // Descriptors with SACL and label, attributes, times, the junction.
    EXPECT_EQ(Descriptor('T'), fs.Object(Win("Windows"))->sd);
    auto low = fs.Object(Win("Users/Default/AppData/LocalLow"));
    EXPECT_EQ(Descriptor('L'), low->sd);
    EXPECT_EQ(uint32_t(ntfs::kOwnerInfo | ntfs::kGroupInfo | ntfs::kDaclInfo | ntfs::kSaclInfo |
                       ntfs::kLabelInfo),
              low->sdInformation);
    EXPECT_TRUE(fs.Object(Win("Windows/compressed.log"))->attributes & ntfs::kAttrCompressed);
    EXPECT_TRUE(fs.Object(Win("Windows/sparse.dat"))->attributes & ntfs::kAttrSparse);
    EXPECT_EQ(std::string(3000, '\0') + "tail",
              fs.Object(Win("Windows/sparse.dat"))->streams.at(""));
    EXPECT_TRUE(fs.Object(Win("Windows/readonly.ini"))->attributes & ntfs::kAttrReadOnly);
    const wim::DirEntryInfo& we = t.f.tree.entries[size_t(t.at["Windows/System32"])];
    EXPECT_EQ(we.lastWriteTime, fs.Object(Win("Windows/System32"))->write);
    auto junction = fs.Object(Win("Documents and Settings"));
    ASSERT_TRUE(junction && junction->directory);
    EXPECT_EQ(0xA0000003u, uint32_t(uint8_t(junction->reparse[0])) |
                               uint32_t(uint8_t(junction->reparse[3])) << 24);
    EXPECT_EQ("junction:\\??\\C:\\Users", junction->reparse.substr(8));

    // The encrypted file comes back from its raw export, still encrypted,
    // with its descriptor; nothing is listed.
    EXPECT_TRUE(target->notKept().empty());
    auto efs = fs.Object(Win("Users/secret.efs"));
    ASSERT_TRUE(efs);
    EXPECT_EQ("raw efs", efs->efsRaw);
    EXPECT_TRUE(efs->attributes & ntfs::kAttrEncrypted);
    EXPECT_EQ(Descriptor('u'), efs->sd);
}

TEST_F(WimApplyOntoNtfs, CallOrderFollowsTheNtfsRules) {
    WindowsTree t;
    FakeNtfs fs;
    std::unique_ptr<imagex::ApplyTarget> target;
    ASSERT_TRUE(fs.MakeFolder(kRoot) == ntfs::kOk);
    fs.log.clear();
    ASSERT_TRUE(Apply(t.f, &fs, &target).ok());

    // Privileges come first; the short name comes before the second name.
    EXPECT_EQ(0, Find(fs, "EnablePrivileges"));
    // The short-named WinSxS name holds the data although System32 sorts first.
    std::string sxs = Win("Windows/WinSxS/amd64_comp/comp.dll");
    long shortName = Find(fs, "SetShortName " + sxs);
    long link = Find(fs, "CreateHardLink " + Win("Windows/System32/comp.dll"));
    ASSERT_GE(shortName, 0);
    ASSERT_GE(link, 0);
    EXPECT_LT(shortName, link);

    std::map<std::string, size_t> secured;  // path -> line of its SetSecurity
    std::map<std::string, int> times;
    std::map<std::string, bool> namedWritten;
    for (size_t i = 0; i < fs.log.size(); ++i) {
        const std::string& line = fs.log[i];
        EXPECT_EQ(std::string::npos, line.find(" -> ")) << "failed call: " << line;
        size_t sp = line.find(' ');
        std::string call = line.substr(0, sp);
        std::string rest = line.substr(sp + 1);
        std::string path = rest.substr(0, std::min(rest.find(" | "), rest.find(" -> ")));
        std::string file = path.substr(0, path.find(':', 2));
        // The descriptor is each object's last write.
        EXPECT_EQ(0u, secured.count(file)) << line << " after the descriptor of " << file;
        // Nothing is created, linked or deleted in a folder after its descriptor
        // unless with backup intent.
        std::string parent = file.substr(0, file.rfind('\\'));
        if (secured.count(parent) && rest.find(" backup") == std::string::npos)
            ADD_FAILURE() << line << " inside the secured " << parent;
        if (call == "SetSecurity") secured[path] = i;
        if (call == "SetTimes") times[path]++;
        if (call == "Write" && path != file) namedWritten[file] = true;
        if (call == "Open" && path == file && rest.find("create-always") != std::string::npos) {
            EXPECT_FALSE(namedWritten[file]) << line << " supersedes named streams";
        }
    }
    // Metadata once per file, not once per name.
    EXPECT_EQ(1, times[sxs] + times[Win("Windows/System32/comp.dll")]);
    EXPECT_EQ(1, times[Win("Program Files (x86)/Common Files/setup info.txt")]);
}

TEST_F(WimApplyOntoNtfs, PerFileFailuresAreListedAndTheRestIsKept) {
    WindowsTree t;
    FakeNtfs fs;
    fs.refuseSecurity = {Win("Windows/System32")};
    ASSERT_TRUE(fs.MakeFolder(kRoot) == ntfs::kOk);
    ASSERT_TRUE(t.f.Write(path_));
    auto target = imagex::MakeNtfsApplyTarget(&fs);
    imagex::ApplyOptions options;
    options.progress = false;
    testing::internal::CaptureStdout();
    int rc = imagex::RunApplyWith(path_, 1, kRoot, target.get(), options);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(int(wim::Error::kNotKept), rc);
    EXPECT_NE(std::string::npos, out.find("Not kept: Windows/System32 (security): error 32\r\n"))
        << out;
    EXPECT_NE(std::string::npos, out.find("Error 20: 1 items of the image")) << out;
    EXPECT_EQ(std::string::npos, out.find("Successfully")) << out;
    // The folders after it (in the children-first order) still got theirs.
    EXPECT_EQ(Descriptor('T'), fs.Object(Win("Windows"))->sd);
    EXPECT_EQ(Descriptor('T'), fs.Object(Win("Windows/System32/comp.dll"))->sd);
    EXPECT_TRUE(fs.Object(Win("Windows/System32"))->sd.empty());
    EXPECT_EQ(t.f.tree.entries[size_t(t.at["Windows/System32"])].lastWriteTime,
              fs.Object(Win("Windows/System32"))->write);
}

TEST_F(WimApplyOntoNtfs, VolumeAndPrivilegeLimits) {
    WindowsTree t;
    {
        // Without the privileges nothing is written at all.
        FakeNtfs fs;
        fs.grantPrivileges = false;
        std::unique_ptr<imagex::ApplyTarget> target;
        wim::Status s = Apply(t.f, &fs, &target);
        EXPECT_EQ(wim::Error::kTarget, s.code);
        EXPECT_EQ(1u, fs.log.size());
        EXPECT_TRUE(fs.PathsBelow("C:").empty());
    }
    {
        // 8.3 names turned off: none set, counted once as a warning, not an error.
        FakeNtfs fs;
        fs.shortNamesEnabled = false;
        std::unique_ptr<imagex::ApplyTarget> target;
        ASSERT_TRUE(Apply(t.f, &fs, &target).ok());
        EXPECT_EQ("", fs.ShortName(Win("Program Files (x86)")));
        EXPECT_EQ(3u, target->warnings().shortNamesSkipped);
        EXPECT_TRUE(target->notKept().empty());
        EXPECT_EQ(
            "setup information",
            fs.Object(Win("Program Files (x86)/Common Files/setup info.txt"))->streams.at(""));
    }
    {
        // A name with ':' would become a stream: refused before anything is written.
        WindowsTree bad;
        bad.File(0, "x:y", bad.f.Blob("z"), 3);
        FakeNtfs fs;
        std::unique_ptr<imagex::ApplyTarget> target;
        EXPECT_EQ(wim::Error::kBadMetadata, Apply(bad.f, &fs, &target).code);
        EXPECT_EQ(-1, Find(fs, "CreateDirectory"));
    }
}

TEST_F(WimApplyOntoNtfs, NamesNtfsWouldConfuseAndSparseHoles) {
    WindowsTree t;
    int docs = t.Dir(0, "Docs", 3);
    t.File(docs, "Readme.txt", t.f.Blob("first readme"), 3);
    t.File(docs, "README.TXT", t.f.Blob("second readme"), 3);
    // A folder twin goes with its contents.
    t.File(t.Dir(0, "DOCS", 3), "inner.txt", t.f.Blob("inner"), 3);
    // A lone surrogate (kept as its own three bytes) beside a real U+FFFD.
    t.File(docs, "x\xED\xA0\x80.txt", t.f.Blob("lone surrogate"), 3);
    t.File(docs, "x\xEF\xBF\xBD.txt", t.f.Blob("replacement character"), 3);
    const std::string holes = std::string(300000, '\0') + "end" + std::string(100000, '\0');
    t.File(docs, "holes.dat", t.f.Blob(holes), 3, 0x200 | 0x20);
    FakeNtfs fs;
    std::unique_ptr<imagex::ApplyTarget> target;
    ASSERT_TRUE(fs.MakeFolder(kRoot) == ntfs::kOk);
    wim::Status s = Apply(t.f, &fs, &target);
    ASSERT_TRUE(s.ok()) << s.message;

    std::map<std::string, std::string> names;  // path -> step
    for (const imagex::NotKept& n : target->notKept()) names[n.path] = n.step;
    EXPECT_EQ("name", names["DOCS"]);
    EXPECT_EQ(0u, names.count("DOCS/inner.txt"));
    EXPECT_FALSE(fs.Object(Win("Docs/inner.txt")));
    bool upperDropped = names.count("Docs/README.TXT") == 1;
    EXPECT_NE(upperDropped, names.count("Docs/Readme.txt") == 1);
    EXPECT_EQ(upperDropped ? "first readme" : "second readme",
              fs.Object(Win("Docs/readme.txt"))->streams.at(""));
    // the folder twin and the file twin
    EXPECT_EQ(2u, target->notKept().size());

    auto lone = fs.Object(Win("Docs/x\xED\xA0\x80.txt"));
    auto replacement = fs.Object(Win("Docs/x\xEF\xBF\xBD.txt"));
    ASSERT_TRUE(lone && replacement);
    EXPECT_EQ("lone surrogate", lone->streams.at(""));
    EXPECT_EQ("replacement character", replacement->streams.at(""));

    auto sparse = fs.Object(Win("Docs/holes.dat"));
    EXPECT_TRUE(sparse->attributes & ntfs::kAttrSparse);
    EXPECT_EQ(holes, sparse->streams.at(""));
    EXPECT_LT(sparse->dataWritten, uint64_t(100000));
}

}  // namespace
