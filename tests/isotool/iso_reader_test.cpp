// The ISO tool's readers against real images, and what they refuse.
#include <gtest/gtest.h>

#include <cstring>

#include "engines/isotool/iso_cli.h"
#include "engines/isotool/iso_extract.h"
#include "engines/isotool/iso_image.h"
#include "tests/isotool/iso_fixture.h"

using namespace isotest;
using isotool::FileSource;
using isotool::IsoTree;
using isotool::NameSource;

namespace {

Listing FilesOnly(const Listing& l) {
    Listing files;
    for (const auto& e : l)
        if (e.second >= 0) files.insert(e);
    return files;
}

// iso-info's files, without the entries the tree knows as directories (an empty
// directory looks like a file in its listing).
Listing OracleFiles(const Listing& oracle, const Listing& tree) {
    Listing files;
    for (const auto& e : oracle) {
        auto known = tree.find(e.first);
        if (e.second >= 0 && !(known != tree.end() && known->second < 0)) files.insert(e);
    }
    return files;
}

struct Images : ::testing::Test {
    Scratch scratch;
    fs::path source;
    void SetUp() override {
        if (!HaveTool("genisoimage") || !HaveTool("iso-info"))
            GTEST_SKIP() << "genisoimage/iso-info missing";
        source = scratch.dir / "src";
        MakeSourceTree(source);
    }
    fs::path Make(const std::string& name, const std::string& options,
                  const std::string& tool = "genisoimage -quiet") {
        const fs::path image = scratch.dir / name;
        EXPECT_TRUE(MakeImage(tool, options, source, image)) << options;
        return image;
    }
    IsoTree Read(const fs::path& image, NameSource names, bool expectOk = true) {
        FileSource file;
        EXPECT_TRUE(file.Open(image.string()));
        IsoTree tree;
        std::string error;
        const bool ok = isotool::ReadIsoTree(file, names, tree, error);
        EXPECT_EQ(ok, expectOk) << image << ": " << error;
        return tree;
    }
};

TEST_F(Images, PlainIso9660NamesMatchIsoInfo) {
    const fs::path image = Make("plain.iso", "");
    const IsoTree tree = Read(image, NameSource::Auto);
    EXPECT_EQ(tree.names, NameSource::Iso9660);
    // iso-info shows plain names in lower case.
    EXPECT_EQ(FilesOnly(TreeListing(tree, true)),
              OracleFiles(IsoInfoListing(image), TreeListing(tree, true)));
    EXPECT_EQ(TreeListing(tree).count("DOCS/README.TXT"), 1u);
}

TEST_F(Images, JolietNamesMatchIsoInfoAndTheSourceTree) {
    const fs::path image = Make("joliet.iso", "-J");
    const IsoTree tree = Read(image, NameSource::Auto);
    EXPECT_EQ(tree.names, NameSource::Joliet);
    EXPECT_EQ(FilesOnly(TreeListing(tree)), OracleFiles(IsoInfoListing(image), TreeListing(tree)));
    EXPECT_EQ(TreeListing(tree), SourceListing(source));
}

TEST_F(Images, RockRidgeNamesArePreferredAndMatch) {
    const fs::path image = Make("rr.iso", "-J -R");
    const IsoTree tree = Read(image, NameSource::Auto);
    EXPECT_EQ(tree.names, NameSource::RockRidge);
    EXPECT_EQ(FilesOnly(TreeListing(tree)), OracleFiles(IsoInfoListing(image), TreeListing(tree)));
    EXPECT_EQ(TreeListing(tree), SourceListing(source));
    // The same image read for its Joliet names gives the same tree.
    EXPECT_EQ(TreeListing(Read(image, NameSource::Joliet)), SourceListing(source));
}

TEST_F(Images, XorrisoImagesReadAlike) {
    if (!HaveTool("xorriso")) GTEST_SKIP() << "xorriso missing";
    const fs::path image = Make("x.iso", "-J -R", "xorriso -as mkisofs -quiet");
    EXPECT_EQ(TreeListing(Read(image, NameSource::Auto)), SourceListing(source));
    const Listing tree = TreeListing(Read(image, NameSource::Auto));
    EXPECT_EQ(FilesOnly(tree), OracleFiles(IsoInfoListing(image), tree));
}

TEST_F(Images, UdfIsPreferredAndItsFilesCopyOutWhole) {
    const fs::path image = Make("udf.iso", "-udf -J");
    const IsoTree tree = Read(image, NameSource::Auto);
    EXPECT_EQ(tree.names, NameSource::Udf);
    EXPECT_EQ(TreeListing(tree), SourceListing(source));

    FileSource file;
    ASSERT_TRUE(file.Open(image.string()));
    const fs::path cache = scratch.dir / "cache" / "Z";
    const isotool::ExtractResult r = isotool::ExtractTree(file, tree, cache.string());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(SourceListing(cache), SourceListing(source));
    EXPECT_EQ(ReadAll(cache / "Docs" / "a" / "b" / "deep.bin"), std::string(5000, 'd'));
    EXPECT_EQ(ReadAll(cache / "sources" / "install.wim"), std::string(70000, 'w'));
    EXPECT_EQ(r.files, 5u);
}

// A file over 4 GiB (sparse in the source) lives whole in UDF (genisoimage) and in ISO
// 9660 level 3 as several extents of one name (xorriso); both read back its size and
// its last bytes.
TEST_F(Images, FileOverFourGibibytes) {
    if (!HaveTool("xorriso")) GTEST_SKIP() << "xorriso missing";
    const std::uint64_t size = (4ull << 30) + 4096;
    {
        std::ofstream big(source / "big.wim", std::ios::binary);
        big.seekp(std::streamoff(size - 8));
        big.write("TAILMARK", 8);
    }
    struct Made {
        const char* name;
        std::string tool, options;
        NameSource names;
    };
    const Made made[] = {
        {"big-udf.iso", "genisoimage -quiet", "-udf -allow-limited-size -J", NameSource::Udf},
        {"big-iso.iso", "xorriso -as mkisofs -quiet", "-iso-level 3 -J -R", NameSource::RockRidge},
    };
    for (const Made& m : made) {
        const fs::path image = Make(m.name, m.options, m.tool);
        const IsoTree tree = Read(image, m.names);
        const isotool::IsoEntry* entry = nullptr;
        for (const auto& e : tree.entries)
            if (e.path == "big.wim") entry = &e;
        ASSERT_NE(entry, nullptr) << m.name;
        EXPECT_EQ(entry->size, size) << m.name;
        if (m.names == NameSource::RockRidge) {
            EXPECT_GE(entry->extents.size(), 2u);
        }
        FileSource file;
        ASSERT_TRUE(file.Open(image.string()));
        std::uint64_t seen = 0;
        std::string last;
        ASSERT_TRUE(isotool::CopyFileBytes(file, *entry, [&](const char* d, std::size_t n) {
            seen += n;
            last.assign(d, n);
            return true;
        }));
        EXPECT_EQ(seen, size) << m.name;
        ASSERT_GE(last.size(), 8u);
        EXPECT_EQ(last.substr(last.size() - 8), "TAILMARK") << m.name;
        std::error_code ec;
        fs::remove(image, ec);
    }
}

// --- refusals -------------------------------------------------------------------------

std::string Bytes(const fs::path& p) {
    return ReadAll(p);
}

std::uint32_t Le32At(const std::string& s, size_t at) {
    std::uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

bool Refused(const std::string& bytes, NameSource names, std::string* error = nullptr) {
    isotool::MemorySource image(bytes);
    IsoTree tree;
    std::string why;
    const bool ok = isotool::ReadIsoTree(image, names, tree, why);
    if (error) *error = why;
    return !ok && tree.entries.empty() && !why.empty();
}

// Replaces the first directory record identifier equal to `from` by `to` (not longer),
// setting the identifier's length byte.
bool PatchName(std::string& bytes, const std::string& from, const std::string& to) {
    const size_t at = bytes.find(from, 32768);
    if (at == std::string::npos || to.size() > from.size()) return false;
    bytes.replace(at, to.size(), to);
    bytes[at - 1] = char(to.size());
    return true;
}

TEST_F(Images, TruncatedAndLoopingImagesAreRefused) {
    const std::string whole = Bytes(Make("plain.iso", ""));
    std::string error;
    // Cut in the middle of the last file's data.
    const size_t data = whole.find(std::string(4096, 'w'));
    ASSERT_NE(data, std::string::npos);
    EXPECT_TRUE(Refused(whole.substr(0, data + 8192), NameSource::Auto, &error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;
    EXPECT_TRUE(Refused(whole.substr(0, 30000), NameSource::Auto));

    // The DOCS directory record made to point at the root directory.
    std::string loop = whole;
    const std::uint32_t rootLba = Le32At(loop, 16 * 2048 + 156 + 2);
    const size_t root = size_t(rootLba) * 2048;
    size_t at = root;
    bool patched = false;
    while (at < root + 2048 && loop[at] != 0) {
        const unsigned len = (unsigned char)loop[at];
        if (loop[at + 32] == 4 && loop.compare(at + 33, 4, "DOCS") == 0) {
            std::memcpy(&loop[at + 2], &rootLba, 4);
            patched = true;
        }
        at += len;
    }
    ASSERT_TRUE(patched);
    EXPECT_TRUE(Refused(loop, NameSource::Iso9660, &error));
    EXPECT_NE(error.find("loop"), std::string::npos) << error;
}

TEST_F(Images, UnsafeNamesAreRefusedAndNothingIsWritten) {
    const std::string plain = Bytes(Make("plain.iso", ""));
    std::string dots = plain, slash = plain;
    ASSERT_TRUE(PatchName(dots, "DEEP.BIN;1", "..;1"));
    EXPECT_TRUE(Refused(dots, NameSource::Iso9660));
    ASSERT_TRUE(PatchName(slash, "DEEP.BIN;1", "../x.BIN;1"));
    EXPECT_TRUE(Refused(slash, NameSource::Iso9660));

    // Joliet names are UCS-2: "readme.txt" made into "..\readme".
    std::string joliet = Bytes(Make("joliet.iso", "-J"));
    const std::string ucs = std::string("\0r\0e\0a\0d\0m\0e", 12);
    ASSERT_TRUE(PatchName(joliet, ucs, std::string("\0.\0.\0\\\0r\0e\0a", 12)));
    EXPECT_TRUE(Refused(joliet, NameSource::Joliet));

    // Through the tool: the refused image leaves the cache and drive folders empty.
    const fs::path bad = scratch.dir / "bad.iso";
    std::ofstream(bad, std::ios::binary) << joliet;
    struct FolderBackend : isotool::MountBackend {
        fs::path cache;
        int maps = 0;
        bool AttachIso(const std::string&, char, std::string& note) override {
            note = "no service";
            return false;
        }
        std::string CacheFolderFor(char) override { return (cache / "Z").string(); }
        bool MapLetter(char, const std::string&, std::string&) override { return ++maps, true; }
        std::string UnmountAll() override { return ""; }
    } backend;
    backend.cache = scratch.dir / "cache";
    fs::create_directories(backend.cache);
    const auto before = SourceListing(scratch.dir);
    const isotool::RunResult r =
        isotool::RunIso("ISO.exe /D:Z /I:\"" + bad.string() + "\"", backend);
    EXPECT_EQ(r.exitCode, isotool::kExitBadImage) << r.output;
    EXPECT_NE(r.output.find("refused"), std::string::npos) << r.output;
    EXPECT_EQ(backend.maps, 0);
    EXPECT_EQ(SourceListing(scratch.dir), before);
}

TEST(SafeComponent, NamesThatWouldLeaveTheFolder) {
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:", "...", "x ", "a\x01"})
        EXPECT_FALSE(isotool::IsSafeComponent(bad)) << bad;
    for (const char* good : {"a", ".hidden", "README.TXT", "\xE4\xB8\xAD.txt", "a..b"})
        EXPECT_TRUE(isotool::IsSafeComponent(good)) << good;
}

TEST_F(Images, TheToolMountsThroughTheCacheFolder) {
    const fs::path image = Make("rr.iso", "-J -R");
    struct FolderBackend : isotool::MountBackend {
        fs::path cache;
        std::string mapped;
        bool AttachIso(const std::string&, char, std::string& note) override {
            note = "this system has no virtual disk service";
            return false;
        }
        std::string CacheFolderFor(char letter) override {
            return (cache / std::string(1, letter)).string();
        }
        bool MapLetter(char letter, const std::string& folder, std::string&) override {
            mapped = std::string(1, letter) + "=" + folder;
            return true;
        }
        std::string UnmountAll() override { return ""; }
    } backend;
    backend.cache = scratch.dir / "cache";
    // The path arrives quoted, or unquoted with blanks (the rest of the line).
    const fs::path spaced = scratch.dir / "my isos" / "rr copy.iso";
    fs::create_directories(spaced.parent_path());
    fs::copy_file(image, spaced);
    for (const std::string& line :
         {"ISO.exe /D:y /I:\"" + spaced.string() + "\"", "ISO.exe /D:Y /I:" + spaced.string()}) {
        const isotool::RunResult r = isotool::RunIso(line, backend);
        EXPECT_EQ(r.exitCode, isotool::kExitOk) << r.output;
        EXPECT_EQ(backend.mapped, "Y=" + (backend.cache / "Y").string());
        EXPECT_NE(r.output.find("extracted 5 files"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("cache folder"), std::string::npos) << r.output;
        EXPECT_EQ(SourceListing(backend.cache / "Y"), SourceListing(source));
    }
}

}  // namespace
