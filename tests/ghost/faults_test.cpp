// The Ghost engine's jobs with a read or a write failing at every call in turn, and
// with the volume filling up: each run must end in a failure the program can show,
// never in success, and leave what the job promises on disk: an older image kept byte
// for byte with no working file beside it, a restore target untouched while the
// image is still being checked.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/fault_plan.h"
#include "engines/ghost/errors.h"
#include "tests/ghost/tree_util.h"

using namespace ghosttest;

namespace {

class GhostFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        src_ = tmp_ / "src";
        dst_ = tmp_ / "dst";
        img_ = tmp_ / "img";
        MakeDirs(src_ + "/docs/deep");
        MakeDirs(dst_ + "/old");
        MakeDirs(img_);
        MapVolumes({{"1:1", src_}, {"1:2", dst_}, {"1:3", img_}});
        // Five chunks of noise, so that a two-megabyte split gives three spans.
        WriteFile(src_ + "/noise.bin", RandomBytes(4 * 1048576 + 40000, 11));
        WriteFile(src_ + "/docs/readme.txt", "read me\n");
        WriteFile(src_ + "/docs/deep/numbers.txt", std::string(70000, '7'));
        WriteFile(dst_ + "/old/keep.txt", "the target's own file\n");
    }

    std::string Image() const { return img_ + "/faults.GHO"; }
    std::string Backup(const std::string& image) const {
        return "-clone,mode=pdump,src=1:1,dst=\"" + image + "\" -z1 -split=2 -sure -fx";
    }
    std::string Restore(const std::string& extra = "") const {
        return "-clone,mode=pload,src=\"" + Image() + "\":1,dst=1:2" + extra + " -noide -sure -fx";
    }

    // Runs the line with no fault and returns how many calls it made.
    engine::FaultCounts Count(const std::string& line,
                              std::function<bool(uint64_t, uint64_t)> progress = nullptr) {
        engine::ScopedFaultPlan counting{engine::FaultPlan()};
        ghost::Status s = RunGhostLine(line, std::move(progress));
        EXPECT_TRUE(s.ok()) << s.message;
        return engine::CurrentFaultCounts();
    }

    // Runs the line under the plan: it must fail with a text to show, the fault
    // having struck. Returns the status.
    ghost::Status RunFailing(const std::string& line, const engine::FaultPlan& plan,
                             const std::string& what) {
        engine::ScopedFaultPlan armed(plan);
        ghost::Status s = RunGhostLine(line);
        EXPECT_TRUE(engine::CurrentFaultCounts().fired) << what;
        EXPECT_FALSE(s.ok()) << what;
        EXPECT_NE("", ghost::ResultText(s)) << what;
        return s;
    }

    TempDir tmp_;
    std::string src_, dst_, img_;
};

TEST_F(GhostFaults, BackupFailsAtEveryCallAndKeepsTheOlderImageAlone) {
    const engine::FaultCounts counts = Count(Backup(img_ + "/counted.GHO"));
    ASSERT_GE(counts.writes, 3u);
    ASSERT_GE(counts.reads, 3u);
    ASSERT_EQ(0, system(("rm -f '" + img_ + "'/counted*").c_str()));

    // The older image the user agreed to replace, spans and all.
    WriteFile(src_ + "/older.txt", "in the older image only");
    ASSERT_TRUE(RunGhostLine(Backup(Image())).ok());
    ASSERT_EQ(0, unlink((src_ + "/older.txt").c_str()));
    const auto older = Describe(img_);
    ASSERT_GE(older.size(), 3u);

    for (const engine::FaultPlan& plan : engine::FaultSweep(counts)) {
        ghost::Status s = RunFailing(Backup(Image()), plan, engine::FaultName(plan));
        if (plan.failWrite == 0 && plan.failRead == 0) {
            EXPECT_EQ(ghost::kErrTargetFull, s.code)
                << engine::FaultName(plan) << ": " << s.message;
        }
        EXPECT_EQ("", Diff(older, Describe(img_))) << engine::FaultName(plan);
    }
}

TEST_F(GhostFaults, RestoreFailsAtEveryCallAndLeavesTheTargetWhileChecking) {
    ASSERT_TRUE(RunGhostLine(Backup(Image())).ok());
    // Without -crcignore every chunk is checked before the target is emptied; with it
    // (the program's default) the image is read once, as it is written out.
    for (const char* extra : {"", " -crcignore "}) {
        // The reads made while the target's own file was still there.
        uint64_t readsBeforeTouching = 0;
        const engine::FaultCounts counts = Count(Restore(extra), [&](uint64_t, uint64_t) {
            if (Exists(dst_ + "/old/keep.txt"))
                readsBeforeTouching = engine::CurrentFaultCounts().reads;
            return true;
        });
        ASSERT_EQ("", Diff(Describe(src_), Describe(dst_))) << extra;
        if (*extra == '\0') {
            ASSERT_GT(readsBeforeTouching, 5u) << "every chunk is checked first";
        }

        for (const engine::FaultPlan& plan : engine::FaultSweep(counts)) {
            const std::string what = engine::FaultName(plan) + extra;
            MakeDirs(dst_ + "/old");
            WriteFile(dst_ + "/old/keep.txt", "the target's own file\n");
            const auto before = Describe(dst_);
            RunFailing(Restore(extra), plan, what);
            if (plan.failRead != 0 && plan.failRead <= readsBeforeTouching) {
                EXPECT_EQ("", Diff(before, Describe(dst_))) << what;
            }
        }
    }
}

TEST_F(GhostFaults, CopyFailsAtEveryCall) {
    const engine::FaultCounts counts = Count("-clone,mode=pcopy,src=1:1,dst=1:2 -sure -fx");
    ASSERT_GE(counts.reads, 3u);
    ASSERT_GE(counts.writes, 3u);
    for (const engine::FaultPlan& plan : engine::FaultSweep(counts)) {
        ghost::Status s = RunFailing("-clone,mode=pcopy,src=1:1,dst=1:2 -sure -fx", plan,
                                     engine::FaultName(plan));
        if (plan.failWrite == 0 && plan.failRead == 0) {
            EXPECT_EQ(ghost::kErrTargetFull, s.code)
                << engine::FaultName(plan) << ": " << s.message;
        }
    }
}

}  // namespace
