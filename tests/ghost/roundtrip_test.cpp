// Backup, restore, copy and check through the engine's own job entry point, on
// folders standing for partitions 1:1 (source), 1:2 (target) and 1:3 (images).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <functional>

#include "common/cmdline.h"
#include "engines/ghost/job.h"
#include "engines/ghost/format.h"
#include "engines/ghost/tree_plan.h"
#include "tests/ghost/tree_util.h"

using namespace ghosttest;

namespace {

class GhostJobs : public ::testing::Test {
  protected:
    void SetUp() override {
        src_ = tmp_ / "src";
        dst_ = tmp_ / "dst";
        img_ = tmp_ / "img";
        MakeDirs(src_);
        MakeDirs(dst_);
        MakeDirs(img_);
        MapVolumes({{"1:1", src_}, {"1:2", dst_}, {"1:3", img_}});
    }

    // Runs one command line (as the program writes it) with an optional cancel.
    ghost::Status Run(const std::string& line,
                      std::function<bool(uint64_t, uint64_t)> progress = nullptr) {
        return RunGhostLine(line, std::move(progress));
    }

    // A tree with every kind of entry and metadata a folder volume offers.
    void FillSource() {
        MakeDirs(src_ + "/docs/deep/deeper");
        MakeDirs(src_ + "/empty-dir");
        WriteFile(src_ + "/docs/readme.txt", "hello ghost\n");
        WriteFile(src_ + "/docs/empty.txt", "");
        WriteFile(src_ + "/docs/deep/deeper/random.bin", RandomBytes(3 * 1048576 + 123, 1));
        std::string text;
        for (int i = 0; i < 200000; ++i) text += std::to_string(i) + " line of text\n";
        WriteFile(src_ + "/docs/big.txt", text);
        WriteFile(src_ + "/exact-chunk.bin", RandomBytes(1048576, 2));
        WriteFile(src_ + "/中文 名字.txt", u8"中文内容");
        for (int i = 0; i < 300; ++i) {
            WriteFile(src_ + "/docs/deep/small" + std::to_string(i), std::to_string(i * i));
        }
        ASSERT_EQ(0, link((src_ + "/docs/readme.txt").c_str(), (src_ + "/docs/hard.txt").c_str()));
        ASSERT_EQ(0, symlink("docs/readme.txt", (src_ + "/link-to-readme").c_str()));
        ASSERT_EQ(0, symlink("/nowhere/at/all", (src_ + "/dangling").c_str()));
        ASSERT_EQ(0, setxattr((src_ + "/docs/readme.txt").c_str(), "user.origin", "test", 4, 0));
        ASSERT_EQ(0, setxattr((src_ + "/docs").c_str(), "user.folder", "yes", 3, 0));
        chmod((src_ + "/docs/empty.txt").c_str(), 0640);
        chmod((src_ + "/exact-chunk.bin").c_str(), 0600);
        chmod((src_ + "/empty-dir").c_str(), 0750);
        SetTimes(src_ + "/docs/big.txt", 1500000000123456789LL, 1400000000987654321LL);
        SetTimes(src_ + "/empty-dir", 1300000000000000001LL, 1300000000000000002LL);
        SetTimes(src_ + "/dangling", 1200000000000000000LL, 1200000000000000005LL);
        // Left out of every image, like the Windows paging and hibernation files.
        WriteFile(src_ + "/pagefile.sys", "paging");
        WriteFile(src_ + "/HIBERFIL.SYS", "hibernation");
    }

    std::map<std::string, std::string> SourceWithoutSystemFiles() {
        auto d = Describe(src_);
        d.erase("pagefile.sys");
        d.erase("HIBERFIL.SYS");
        return d;
    }

    std::string Image() const { return img_ + "/backup.GHO"; }
    std::string BackupLine(const std::string& extra = " -z9") const {
        return "-clone,mode=pdump,src=1:1,dst=\"" + Image() + "\"" + extra + " -noide -sure -fx";
    }
    std::string RestoreLine(const std::string& extra = "") const {
        return "-clone,mode=pload,src=\"" + Image() + "\":1,dst=1:2" + extra + " -noide -sure  -fx";
    }

    TempDir tmp_;
    std::string src_, dst_, img_;
};

TEST_F(GhostJobs, BackupAndRestoreKeepEveryEntryAndItsMetadata) {
    FillSource();
    WriteFile(dst_ + "/old-content.txt", "must disappear");
    MakeDirs(dst_ + "/old-dir/inner");
    for (const char* level : {" -z1", " -z9"}) {
        SCOPED_TRACE(level);
        ASSERT_EQ(ghost::kOk, Run(BackupLine(level)).code);
        ghost::Status s = Run(RestoreLine(" -crcignore "));
        ASSERT_TRUE(s.ok()) << s.message;
        EXPECT_EQ("", Diff(SourceWithoutSystemFiles(), Describe(dst_)));
        EXPECT_FALSE(Exists(dst_ + "/pagefile.sys"));
        EXPECT_FALSE(Exists(dst_ + "/old-content.txt"));
        ASSERT_EQ(ghost::kOk, Run("-CHKIMG," + Image() + " -sure  -fx -BATCH").code);
    }
}

// A backup lays the data out in the order the files were created (their inode
// order), not name order, and a restore sets a file's metadata through the
// descriptor it wrote with. Files made in reverse name order, read-only ones (one
// with an extended attribute), empty ones and hard links whose name that comes
// first was made last must all come back whole.
TEST_F(GhostJobs, DataInCreationOrderRestoresEveryFileWhole) {
    for (int d = 2; d >= 0; --d) {
        const std::string dir = src_ + "/dir" + std::to_string(d);
        MakeDirs(dir);
        for (int i = 40; i >= 0; --i) {
            const std::string f = dir + "/f" + std::to_string(100 + i);
            WriteFile(f,
                      i % 7 == 0 ? "" : RandomBytes(size_t(i) * 3001 + 17, uint32_t(d * 100 + i)));
            if (i % 5 == 0) chmod(f.c_str(), 0444);
            SetTimes(f, 1600000000000000000LL + i, 1500000000000000000LL + d * 1000 + i);
        }
    }
    // The big file spans chunks between small ones.
    WriteFile(src_ + "/dir1/big", RandomBytes(2 * 1048576 + 5, 9));
    ASSERT_EQ(0, link((src_ + "/dir2/f100").c_str(), (src_ + "/dir0/a-link").c_str()));
    ASSERT_EQ(0, link((src_ + "/dir1/f103").c_str(), (src_ + "/dir2/zz-link").c_str()));
    ASSERT_EQ(0, setxattr((src_ + "/dir0/f110").c_str(), "user.kept", "xyz", 3, 0));
    ASSERT_EQ(0, chmod((src_ + "/dir0/f110").c_str(), 0400));
    SetTimes(src_ + "/dir0/f110", 1234567890000000001LL, 1234567890000000002LL);

    ASSERT_EQ(ghost::kOk, Run(BackupLine(" -z1")).code);
    ghost::ImageReader reader;
    ASSERT_TRUE(reader.Open(Image(), "").ok());
    // Files made later sit later in the data even though their names come first.
    uint64_t f100 = 0, f140 = 0;
    for (const ghost::Entry& e : reader.index().entries) {
        if (e.path == "dir1/f101") f100 = e.dataOffset;
        if (e.path == "dir1/f140") f140 = e.dataOffset;
    }
    EXPECT_GT(f100, f140);

    ghost::Status s = Run(RestoreLine(" -crcignore "));
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ("", Diff(Describe(src_), Describe(dst_)));
    ASSERT_EQ(ghost::kOk, Run("-CHKIMG," + Image() + " -sure  -fx -BATCH").code);
}

// Restored files belong to the owners the image names even where the target
// folder would hand its own group down to new files, and an extracted file takes
// them even when it replaces a file of another owner.
TEST_F(GhostJobs, FilesTakeTheOwnersTheImageNames) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
    WriteFile(src_ + "/owned-by-root", "data");
    MakeDirs(src_ + "/sub");
    WriteFile(src_ + "/sub/other", "more");
    ASSERT_EQ(0, chown((src_ + "/sub/other").c_str(), 4321, 8765));
    ASSERT_EQ(ghost::kOk, Run(BackupLine(" -z1")).code);
    ASSERT_EQ(0, chown(dst_.c_str(), 0, 54321));
    ASSERT_EQ(0, chmod(dst_.c_str(), 02775));
    ghost::Status s = Run(RestoreLine(" -crcignore "));
    ASSERT_TRUE(s.ok()) << s.message;
    struct stat st;
    ASSERT_EQ(0, stat((dst_ + "/owned-by-root").c_str(), &st));
    EXPECT_EQ(0u, st.st_uid);
    EXPECT_EQ(0u, st.st_gid);
    ASSERT_EQ(0, stat((dst_ + "/sub/other").c_str(), &st));
    EXPECT_EQ(4321u, st.st_uid);
    EXPECT_EQ(8765u, st.st_gid);

    const std::string out = tmp_ / "out";
    MakeDirs(out);
    WriteFile(out + "/owned-by-root", "someone else's");
    ASSERT_EQ(0, chown((out + "/owned-by-root").c_str(), 1111, 2222));
    ghost::ImageReader reader;
    ASSERT_TRUE(reader.Open(Image(), "").ok());
    std::vector<uint32_t> chosen;
    for (uint32_t i = 0; i < reader.index().entries.size(); ++i) {
        if (reader.index().entries[i].path == "owned-by-root") chosen.push_back(i);
    }
    ASSERT_EQ(1u, chosen.size());
    auto volume = ghost::OpenVolumeFs(out);
    s = ghost::ExtractEntries(reader, chosen, *volume, false,
                              [](uint64_t, uint64_t) { return true; });
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ("data", ReadFile(out + "/owned-by-root"));
    ASSERT_EQ(0, stat((out + "/owned-by-root").c_str(), &st));
    EXPECT_EQ(0u, st.st_uid);
    EXPECT_EQ(0u, st.st_gid);
}

TEST_F(GhostJobs, HigherLevelGivesSmallerImageOfCompressibleData) {
    std::string text;
    for (int i = 0; i < 300000; ++i) text += "entry " + std::to_string(i % 977) + " value\n";
    WriteFile(src_ + "/log.txt", text);
    ASSERT_TRUE(Run(BackupLine(" -z1")).ok());
    uint64_t fast = FileSize(Image());
    ASSERT_TRUE(Run(BackupLine(" -z9")).ok());
    uint64_t small = FileSize(Image());
    EXPECT_LT(small, fast);
    EXPECT_LT(fast, text.size() / 3);
}

TEST_F(GhostJobs, SpansAreNamedInOrderAndRestoreTogether) {
    WriteFile(src_ + "/noise.bin", RandomBytes(7 * 1048576, 3));
    WriteFile(src_ + "/note.txt", "spanned");
    ASSERT_TRUE(Run(BackupLine(" -z1 -span  -split=2 -auto")).ok());
    EXPECT_LE(FileSize(Image()), 2u << 20);
    for (const char* n : {"/backup001.GHS", "/backup002.GHS", "/backup003.GHS"}) {
        ASSERT_TRUE(Exists(img_ + n)) << n;
        EXPECT_LE(FileSize(img_ + n), 2u << 20) << n;
    }
    EXPECT_FALSE(Exists(img_ + "/backup000.GHS"));
    ASSERT_TRUE(Run(RestoreLine()).ok());
    EXPECT_EQ("", Diff(Describe(src_), Describe(dst_)));
    EXPECT_TRUE(Run("-CHKIMG," + Image()).ok());

    // A missing span is found before the target is touched.
    WriteFile(dst_ + "/keep.txt", "untouched");
    ASSERT_EQ(0, rename((img_ + "/backup002.GHS").c_str(), (img_ + "/moved.GHS").c_str()));
    ghost::Status s = Run(RestoreLine());
    EXPECT_EQ(ghost::kErrMissingSpan, s.code);
    EXPECT_NE(std::string::npos, s.message.find("backup002.GHS")) << s.message;
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));

    // A span of another image in its place is refused too.
    ASSERT_TRUE(Run("-clone,mode=pdump,src=1:1,dst=\"" + img_ + "/other.GHO\" -z1 -split=2").ok());
    ASSERT_EQ(0, rename((img_ + "/other002.GHS").c_str(), (img_ + "/backup002.GHS").c_str()));
    EXPECT_EQ(ghost::kErrMissingSpan, Run(RestoreLine()).code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
}

TEST_F(GhostJobs, PasswordProtectsTheImage) {
    WriteFile(src_ + "/secret.txt", std::string(100000, 'S') + "TOPSECRETMARKER");
    ASSERT_TRUE(Run(BackupLine(" -z1 -pwd=open sesame")).ok());
    std::string raw = ReadFile(Image());
    EXPECT_EQ(std::string::npos, raw.find("secret.txt"));
    EXPECT_EQ(std::string::npos, raw.find("TOPSECRETMARKER"));

    WriteFile(dst_ + "/keep.txt", "untouched");
    EXPECT_EQ(ghost::kErrNeedPassword, Run(RestoreLine()).code);
    EXPECT_EQ(ghost::kErrWrongPassword, Run(RestoreLine(" -pwd=open sesamE")).code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
    // The program's check line carries no password: the stored bytes are still checked.
    EXPECT_TRUE(Run("   -CHKIMG," + Image() + " -sure  -fx -BATCH ").ok());
    ghost::Status s = Run(RestoreLine(" -pwd=open sesame"));
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ("", Diff(Describe(src_), Describe(dst_)));

    FlipByte(Image(), ghost::kImageHeaderSize + ghost::kChunkHeaderSize + 10);
    EXPECT_EQ(ghost::kErrCrc, Run("-CHKIMG," + Image()).code);
}

TEST_F(GhostJobs, DamagedChunkFailsUnlessCrcIgnoredAndNeverCostsTheTarget) {
    WriteFile(src_ + "/a-first.bin", RandomBytes(1048576 * 2 + 5000, 4));
    WriteFile(src_ + "/b-second.txt", "second file survives damage");
    ASSERT_TRUE(Run(BackupLine(" -z1")).ok());
    // Damage the second data chunk: the middle of the first file.
    uint64_t second = ghost::kImageHeaderSize + ghost::kChunkHeaderSize + 1048576;
    second += ghost::kChunkHeaderSize + 100;
    FlipByte(Image(), second);

    ghost::Status check = Run("-CHKIMG," + Image() + " -sure -fx -BATCH");
    EXPECT_EQ(ghost::kErrCrc, check.code);
    EXPECT_NE(std::string::npos, check.message.find("backup.GHO")) << check.message;

    WriteFile(dst_ + "/keep.txt", "untouched");
    EXPECT_EQ(ghost::kErrCrc, Run(RestoreLine()).code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
    EXPECT_FALSE(Exists(dst_ + "/b-second.txt"));

    // With -crcignore the restore goes on, then names what it could not restore whole.
    ghost::Status s = Run(RestoreLine(" -crcignore "));
    EXPECT_EQ(ghost::kErrDamagedRestored, s.code);
    EXPECT_NE(std::string::npos, s.message.find(u8"1 个数据块损坏")) << s.message;
    EXPECT_NE(std::string::npos, s.message.find("a-first.bin")) << s.message;
    EXPECT_EQ(std::string::npos, s.message.find("b-second.txt")) << s.message;
    EXPECT_FALSE(Exists(dst_ + "/keep.txt"));
    EXPECT_EQ("second file survives damage", ReadFile(dst_ + "/b-second.txt"));
    std::string first = ReadFile(dst_ + "/a-first.bin"), orig = ReadFile(src_ + "/a-first.bin");
    ASSERT_EQ(orig.size(), first.size());
    EXPECT_EQ(orig.substr(0, 1048576), first.substr(0, 1048576));
    EXPECT_EQ(std::string(1048576, '\0'), first.substr(1048576, 1048576));
    EXPECT_EQ(orig.substr(2 * 1048576), first.substr(2 * 1048576));
}

TEST_F(GhostJobs, CancelStopsTheJobAndABackupLeavesNoImage) {
    WriteFile(src_ + "/big.bin", RandomBytes(6 * 1048576, 5));
    int calls = 0;
    auto cancelSoon = [&](uint64_t, uint64_t) { return ++calls < 4; };
    ghost::Status s = Run(BackupLine(" -z1 -split=2"), cancelSoon);
    EXPECT_EQ(ghost::kErrCancelled, s.code);
    EXPECT_EQ("^C", ghost::ResultText(s));
    EXPECT_FALSE(Exists(Image()));
    EXPECT_FALSE(Exists(img_ + "/backup001.GHS"));

    ASSERT_TRUE(Run(BackupLine(" -z1")).ok());
    WriteFile(dst_ + "/keep.txt", "untouched");
    calls = 0;
    auto cancelFirst = [&](uint64_t, uint64_t) { return ++calls < 2; };
    EXPECT_EQ(ghost::kErrCancelled, Run(RestoreLine(), cancelFirst).code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
}

TEST_F(GhostJobs, AFailedBackupLeavesTheOlderImageAtThePath) {
    WriteFile(src_ + "/a.txt", "first backup");
    ASSERT_TRUE(Run(BackupLine(" -z1")).ok());
    const std::string older = ReadFile(Image());

    // The user agreed to overwrite, then the new backup is cancelled half-way.
    WriteFile(src_ + "/big.bin", RandomBytes(6 * 1048576, 7));
    int calls = 0;
    auto cancelSoon = [&](uint64_t, uint64_t) { return ++calls < 4; };
    ASSERT_EQ(ghost::kErrCancelled, Run(BackupLine(" -z1 -split=2"), cancelSoon).code);
    EXPECT_EQ(older, ReadFile(Image()));
    EXPECT_FALSE(Exists(Image() + ".partial"));
    EXPECT_FALSE(Exists(img_ + "/backup001.GHS.partial"));

    // A finished backup replaces it, spans and all, with no working files left.
    ASSERT_TRUE(Run(BackupLine(" -z1 -split=2")).ok());
    EXPECT_NE(older, ReadFile(Image()));
    EXPECT_TRUE(Exists(img_ + "/backup001.GHS"));
    EXPECT_FALSE(Exists(Image() + ".partial"));
    ASSERT_TRUE(Run(RestoreLine()).ok());
    EXPECT_EQ(ReadFile(src_ + "/big.bin"), ReadFile(dst_ + "/big.bin"));
}

TEST_F(GhostJobs, GuardsRefuseUnsafeTargetsBeforeAnythingIsDeleted) {
    WriteFile(src_ + "/a.txt", "a");
    ASSERT_TRUE(Run(BackupLine()).ok());
    WriteFile(img_ + "/keep.txt", "untouched");
    WriteFile(dst_ + "/keep.txt", "untouched");

    // The volume that holds the image.
    ghost::Status s = Run("-clone,mode=pload,src=\"" + Image() + "\":1,dst=1:3 -sure  -fx");
    EXPECT_EQ(ghost::kErrTargetHoldsImage, s.code);
    EXPECT_EQ("untouched", ReadFile(img_ + "/keep.txt"));
    // An image kept inside the target folder, even when mapped as another volume.
    MakeDirs(dst_ + "/nested");
    MapVolumes({{"1:1", src_}, {"1:2", dst_}, {"1:3", img_}, {"2:1", dst_ + "/nested"}});
    ASSERT_TRUE(Run("-clone,mode=pdump,src=1:1,dst=\"" + dst_ + "/nested/n.GHO\"").ok());
    EXPECT_EQ(ghost::kErrTargetHoldsImage,
              Run("-clone,mode=pload,src=\"" + dst_ + "/nested/n.GHO\":1,dst=1:2").code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));

    // The running system's volume.
    MapVolumes({{"1:1", src_}, {"1:2", dst_}, {"1:3", img_}}, "1:2");
    EXPECT_EQ(ghost::kErrTargetIsSystem, Run(RestoreLine()).code);
    EXPECT_EQ(ghost::kErrTargetIsSystem, Run("-clone,mode=pcopy,src=1:1,dst=1:2  -sure -fx").code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
    // The running system's volume as the source: its locked files are read from
    // the reboot mode, not from inside it.
    MapVolumes({{"1:1", src_}, {"1:2", dst_}, {"1:3", img_}}, "1:1");
    ghost::Status live = Run("-clone,mode=pdump,src=1:1,dst=\"" + img_ + "/live.GHO\" -sure -fx");
    EXPECT_EQ(ghost::kErrSourceIsSystem, live.code);
    EXPECT_NE(std::string::npos, live.message.find(u8"重启模式")) << live.message;
    EXPECT_FALSE(Exists(img_ + "/live.GHO"));
    EXPECT_EQ(ghost::kErrSourceIsSystem, Run("-clone,mode=pcopy,src=1:1,dst=1:2  -sure -fx").code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
    MapVolumes({{"1:1", src_}, {"1:2", dst_}, {"1:3", img_}});

    EXPECT_EQ(ghost::kErrSameVolume, Run("-clone,mode=pcopy,src=1:2,dst=1:2  -sure -fx").code);
    EXPECT_EQ(ghost::kErrSameVolume,
              Run("-clone,mode=pdump,src=1:1,dst=\"" + src_ + "/self.GHO\" -sure -fx").code);
    EXPECT_FALSE(Exists(src_ + "/self.GHO"));
    ghost::Status missing = Run("-clone,mode=pload,src=\"" + Image() + "\":1,dst=3:7 -sure -fx");
    EXPECT_EQ(ghost::kErrPartition, missing.code);
    EXPECT_NE(std::string::npos, missing.message.find("3:7"));
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
}

TEST_F(GhostJobs, CopyMakesTheTargetHoldExactlyTheSourceTree) {
    FillSource();
    WriteFile(dst_ + "/stale.txt", "stale");
    ghost::Status s = Run("-clone,mode=pcopy,src=1:1,dst=1:2  -sure -fx");
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ("", Diff(SourceWithoutSystemFiles(), Describe(dst_)));
}

TEST_F(GhostJobs, BadImagesAreRefusedWithoutTouchingTheTarget) {
    FillSource();
    ASSERT_TRUE(Run(BackupLine(" -z1")).ok());
    const std::string good = ReadFile(Image());
    WriteFile(dst_ + "/keep.txt", "untouched");
    auto restoreFrom = [&](const std::string& bytes) {
        WriteFile(img_ + "/bad.GHO", bytes);
        return Run("-clone,mode=pload,src=\"" + img_ + "/bad.GHO\":1,dst=1:2 -sure -fx");
    };
    EXPECT_EQ(ghost::kErrNotImage, restoreFrom("PK\x03\x04 this is a zip file, not an image").code);
    EXPECT_EQ(ghost::kErrNotImage, restoreFrom("").code);
    EXPECT_EQ(ghost::kErrTruncated, restoreFrom(good.substr(0, 300)).code);
    for (size_t cut : {size_t(600), good.size() / 3, good.size() / 2, good.size() - 10}) {
        SCOPED_TRACE(cut);
        ghost::Status s = restoreFrom(good.substr(0, cut));
        EXPECT_TRUE(s.code == ghost::kErrTruncated || s.code == ghost::kErrCorrupt) << s.message;
    }
    std::string header = good;
    header[20] ^= 1;  // chunk size field, header CRC now wrong
    EXPECT_EQ(ghost::kErrCorrupt, restoreFrom(header).code);
    EXPECT_EQ(ghost::kErrImageOpen,
              Run("-clone,mode=pload,src=\"" + img_ + "/none.GHO\":1,dst=1:2").code);
    EXPECT_EQ("untouched", ReadFile(dst_ + "/keep.txt"));
    EXPECT_EQ(ghost::kErrCorrupt, Run("-CHKIMG," + img_ + "/bad.GHO").code);
    WriteFile(img_ + "/bad.GHO", good.substr(0, good.size() / 2));
    EXPECT_EQ(ghost::kErrTruncated, Run("-CHKIMG," + img_ + "/bad.GHO").code);
}

TEST_F(GhostJobs, RebootModeImagePathNamesAPartition) {
    WriteFile(src_ + "/a.txt", "a");
    MakeDirs(img_ + "/bak");
    ASSERT_TRUE(Run("-clone,mode=pdump,src=1:1,dst=\"1:3:\\bak\\c.gho\" -z9 -sure -fx").ok());
    EXPECT_TRUE(Exists(img_ + "/bak/c.gho"));
    ASSERT_TRUE(Run("-clone,mode=pload,src=\"1:3:\\bak\\c.gho\":1,dst=1:2 -crcignore  -noide "
                    "-sure  -fx -afile=\"" +
                    tmp_.path() + "/GHOSTERR.TXT\"")
                    .ok());
    EXPECT_EQ("a", ReadFile(dst_ + "/a.txt"));
}

// An encrypted image written by qii32.exe under Wine (CryptoAPI) opens natively
// (OpenSSL): the same key derivation and cipher on both sides.
TEST_F(GhostJobs, ImageFromTheWindowsBuildRestoresNatively) {
    MapVolumes({{"1:2", dst_}});
    const std::string image = std::string(GHOST_TEST_DATA) + "/windows.GHO";
    EXPECT_EQ(ghost::kErrWrongPassword,
              Run("-clone,mode=pload,src=\"" + image + "\":1,dst=1:2 -pwd=pass").code);
    ghost::Status s = Run("-clone,mode=pload,src=\"" + image + "\":1,dst=1:2 -crcignore  -noide " +
                          u8"-pwd=互通 pass -sure  -fx");
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ("made on Windows\r\n", ReadFile(dst_ + "/hello.txt"));
    std::string data = ReadFile(dst_ + "/sub/data.bin");
    ASSERT_EQ(7000u, data.size());
    for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(char(i % 241), data[i]) << i;
}

// The browser's extraction: a folder brings its contents under its own name, and
// only the chunks that hold the chosen entries are read (a damaged chunk elsewhere
// does not matter).
TEST_F(GhostJobs, ExtractionTakesOnlyTheChosenEntriesAndTheirChunks) {
    WriteFile(src_ + "/a-noise.bin", RandomBytes(3 * 1048576, 6));
    MakeDirs(src_ + "/keep/inner");
    WriteFile(src_ + "/keep/inner/x.txt", "x");
    WriteFile(src_ + "/keep/y.txt", "y");
    WriteFile(src_ + "/z.txt", "z");
    ASSERT_TRUE(Run(BackupLine(" -z1")).ok());
    {
        // Damage a chunk that holds only a-noise.bin's data (files are stored in
        // the order the disk keeps them, so which chunk that is varies).
        ghost::ImageReader before;
        ASSERT_TRUE(before.Open(Image(), "").ok());
        const ghost::Entry* noise = nullptr;
        for (const auto& e : before.index().entries)
            if (e.path == "a-noise.bin") noise = &e;
        ASSERT_NE(nullptr, noise);
        uint64_t rawStart = 0, damaged = 0;
        for (const auto& c : before.index().chunks) {
            if (rawStart >= noise->dataOffset &&
                rawStart + c.rawSize <= noise->dataOffset + noise->dataSize) {
                damaged = c.offset + ghost::kChunkHeaderSize + 50;
                break;
            }
            rawStart += c.rawSize;
        }
        ASSERT_NE(0u, damaged) << "no chunk holds a-noise.bin alone";
        FlipByte(Image(), damaged);
    }

    ghost::ImageReader reader;
    ASSERT_TRUE(reader.Open(Image(), "").ok());
    std::vector<uint32_t> chosen;
    for (uint32_t i = 0; i < reader.index().entries.size(); ++i) {
        const std::string& p = reader.index().entries[i].path;
        if (p == "keep" || p == "z.txt") chosen.push_back(i);
    }
    ASSERT_EQ(2u, chosen.size());
    auto out = ghost::OpenVolumeFs(dst_);
    ghost::Status s =
        ghost::ExtractEntries(reader, chosen, *out, false, [](uint64_t, uint64_t) { return true; });
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_EQ("x", ReadFile(dst_ + "/keep/inner/x.txt"));
    EXPECT_EQ("y", ReadFile(dst_ + "/keep/y.txt"));
    EXPECT_EQ("z", ReadFile(dst_ + "/z.txt"));
    EXPECT_FALSE(Exists(dst_ + "/a-noise.bin"));

    // The damaged file itself is refused without -crcignore.
    std::vector<uint32_t> noise;
    for (uint32_t i = 0; i < reader.index().entries.size(); ++i) {
        if (reader.index().entries[i].path == "a-noise.bin") noise.push_back(i);
    }
    EXPECT_EQ(ghost::kErrCrc,
              ghost::ExtractEntries(reader, noise, *out, false, [](uint64_t, uint64_t) {
                  return true;
              }).code);
}

}  // namespace

namespace {

// A destination that records the metadata calls and fails chosen entries.
class RecordingVolume : public ghost::VolumeFs {
  public:
    RecordingVolume() : VolumeFs("R:") {}
    std::vector<std::string> failMetadata, failLinks, applied;
    bool posixLike = false;  // no reparse points, extended attributes only
    ghost::Status Scan(std::vector<ghost::Entry>*, const ghost::KeepGoing&) override {
        return ghost::Ok();
    }
    std::unique_ptr<ghost::InputData> OpenData(const ghost::Entry&,
                                               const ghost::ExtraStream*) override {
        return nullptr;
    }
    ghost::Status Wipe() override { return ghost::Ok(); }
    uint64_t FreeBytes() override { return UINT64_MAX; }
    ghost::Status MakeDirectory(const ghost::Entry&) override { return ghost::Ok(); }
    std::unique_ptr<ghost::OutputData> CreateData(const ghost::Entry&,
                                                  const ghost::ExtraStream*) override {
        return nullptr;
    }
    ghost::Status MakeHardLink(const ghost::Entry& e, const ghost::Entry&) override {
        return Step(failLinks, e, u8"无法创建硬链接 ");
    }
    ghost::Status MakeLink(const ghost::Entry& e) override {
        return Step(failLinks, e, u8"无法创建链接 ");
    }
    ghost::Status ApplyMetadata(const ghost::Entry& e) override {
        applied.push_back(e.path);
        return Step(failMetadata, e, u8"无法设置安全描述符 ");
    }
    bool Supports(const ghost::Entry& e) const override {
        return !posixLike || e.type != ghost::EntryType::kReparse;
    }
    bool SupportsStream(const ghost::ExtraStream& s) const override {
        return !posixLike || s.kind == ghost::StreamKind::kXattr;
    }

  private:
    static ghost::Status Step(const std::vector<std::string>& fail, const ghost::Entry& e,
                              const std::string& what) {
        for (const std::string& f : fail)
            if (f == e.path) return ghost::Fail(ghost::kErrWrite, what + e.path + u8"（5）");
        return ghost::Ok();
    }
};

ghost::Entry Of(ghost::EntryType type, const std::string& path, uint32_t linkTarget = 0) {
    ghost::Entry e;
    e.type = type;
    e.path = path;
    e.linkTarget = linkTarget;
    return e;
}

TEST(GhostFinishTree, GoesOnPastFailuresAndListsEachOne) {
    using ghost::EntryType;
    std::vector<ghost::Entry> plan = {
        Of(EntryType::kDirectory, "Windows"),
        Of(EntryType::kDirectory, "Windows/System32"),
        Of(EntryType::kFile, "Windows/System32/a.dll"),
        Of(EntryType::kHardLink, "Windows/b.dll", 2),
        Of(EntryType::kFile, "Windows/c.ini"),
        Of(EntryType::kDirectory, "Users"),
    };
    RecordingVolume v;
    v.failMetadata = {"Windows/System32/a.dll", "Windows/System32"};
    v.failLinks = {"Windows/b.dll"};
    ghost::Status s = ghost::FinishTree(v, plan);
    EXPECT_EQ(ghost::kErrNotKept, s.code);
    // Every file and folder still had its turn, folders deepest first.
    std::vector<std::string> want = {"Windows/System32/a.dll", "Windows/c.ini", "Users",
                                     "Windows/System32", "Windows"};
    EXPECT_EQ(want, v.applied);
    EXPECT_NE(std::string::npos, s.message.find(u8"有 3 项未能完整保留")) << s.message;
    for (const char* line : {u8"\r\n  无法创建硬链接 Windows/b.dll（5）",
                             u8"\r\n  无法设置安全描述符 Windows/System32/a.dll（5）",
                             u8"\r\n  无法设置安全描述符 Windows/System32（5）"})
        EXPECT_NE(std::string::npos, s.message.find(line)) << line;

    RecordingVolume clean;
    EXPECT_TRUE(ghost::FinishTree(clean, plan).ok());
}

// The plans of a whole restore (entries moved) and of an extraction (entries copied)
// must agree, including where a later name of a hard-linked file holds its 8.3 name.
TEST(GhostPlan, ALaterNameWithTheShortNameTakesTheDataAndEveryLinkFollowsIt) {
    using ghost::EntryType;
    std::vector<ghost::Entry> entries = {
        Of(EntryType::kDirectory, "W"),
        Of(EntryType::kFile, "W/a.dll"),
        Of(EntryType::kReparse, "W/mount"),
        Of(EntryType::kHardLink, "W/Long component name.dll", 1),
        Of(EntryType::kHardLink, "W/c.dll", 1),
        Of(EntryType::kFile, "W/d.txt"),
        Of(EntryType::kHardLink, "W/Other long name.txt", 5),
    };
    entries[1].dataOffset = 100;
    entries[1].dataSize = 7;
    entries[1].streams = {{ghost::StreamKind::kAlternate, "Zone.Identifier", 107, 3},
                          {ghost::StreamKind::kXattr, "user.a", 110, 2}};
    entries[3].shortName = "LONGCO~1.DLL";
    entries[6].shortName = "OTHERL~1.TXT";
    RecordingVolume posix;
    posix.posixLike = true;

    std::vector<uint32_t> all(entries.size());
    for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    const std::vector<ghost::Entry> copied = ghost::PlanFor(posix, entries, all, {});
    std::vector<ghost::Entry> taken = entries;
    const std::vector<ghost::Entry> moved = ghost::PlanWhole(posix, std::move(taken));
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(7u, entries.size()) << "PlanFor must leave its input whole";

    for (const std::vector<ghost::Entry>* plan : {&copied, &moved}) {
        const std::vector<ghost::Entry>& p = *plan;
        ASSERT_EQ(6u, p.size());  // the reparse point has no place on this volume
        EXPECT_EQ(EntryType::kHardLink, p[1].type);
        EXPECT_EQ("W/a.dll", p[1].path);
        EXPECT_EQ(2u, p[1].linkTarget);
        EXPECT_EQ(EntryType::kFile, p[2].type);
        EXPECT_EQ("W/Long component name.dll", p[2].path);
        EXPECT_EQ("LONGCO~1.DLL", p[2].shortName);
        EXPECT_EQ(100u, p[2].dataOffset);
        ASSERT_EQ(1u, p[2].streams.size());
        EXPECT_EQ("user.a", p[2].streams[0].name);
        EXPECT_EQ(EntryType::kHardLink, p[3].type);
        EXPECT_EQ("W/c.dll", p[3].path);
        EXPECT_EQ(2u, p[3].linkTarget) << "a link to the old first name follows the data";
        EXPECT_EQ(EntryType::kHardLink, p[4].type);
        EXPECT_EQ("W/d.txt", p[4].path);
        EXPECT_EQ(5u, p[4].linkTarget);
        EXPECT_EQ(EntryType::kFile, p[5].type);
        EXPECT_EQ("OTHERL~1.TXT", p[5].shortName);
    }

    // An extraction that leaves the first name out copies its data into the link.
    const std::vector<ghost::Entry> part = ghost::PlanFor(posix, entries, {0, 4}, {});
    ASSERT_EQ(2u, part.size());
    EXPECT_EQ(EntryType::kFile, part[1].type);
    EXPECT_EQ(100u, part[1].dataOffset);
    EXPECT_EQ(7u, part[1].dataSize);
    ASSERT_EQ(1u, part[1].streams.size());
    EXPECT_EQ("user.a", part[1].streams[0].name);
}

}  // namespace
