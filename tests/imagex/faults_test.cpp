// ImageX's capture and apply with a read or a write failing at every call in turn,
// and with the volume filling up: each run must end with a non-zero exit code and
// no success line (the program judges by that line), a capture must leave the older
// image at its path byte for byte with no working file beside it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fault_plan.h"
#include "engines/imagex/apply_command.h"
#include "engines/imagex/capture_command.h"
#include "engines/imagex/command_line.h"
#include "tests/imagex/test_tree.h"

namespace {

struct EngineRun {
    int exitCode = 0;
    std::string output;
    engine::FaultCounts counts;
};

// One engine run with the plan armed, its printed text caught.
template <typename Body>
EngineRun UnderPlan(const engine::FaultPlan& plan, Body body) {
    EngineRun run;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    {
        engine::ScopedFaultPlan armed(plan);
        run.exitCode = body();
        run.counts = engine::CurrentFaultCounts();
    }
    run.output = testing::internal::GetCapturedStdout();
    run.output += testing::internal::GetCapturedStderr();
    return run;
}

void ExpectFailed(const EngineRun& run, const std::string& what) {
    EXPECT_TRUE(run.counts.fired) << what;
    EXPECT_NE(0, run.exitCode) << what << "\n" << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("Successfully")) << what << "\n" << run.output;
}

std::string Listing(const std::string& folder) {
    std::string out;
    testtree::Shell("ls -A " + testtree::Q(folder), &out);
    return out;
}

// A small tree: a file of several chunks, a few small ones, a folder in a folder.
std::string SmallTree() {
    const std::string root = testtree::MakeScratch("fault-source");
    testtree::Shell("mkdir -p " + testtree::Q(root + "/docs/deep"));
    std::string noise(5 << 20, '\0');
    unsigned x = 12345;
    for (char& c : noise) c = char((x = x * 1103515245u + 12345u) >> 23);
    testtree::WriteFile(root + "/noise.bin", noise);
    testtree::WriteFile(root + "/docs/readme.txt", "read me\n");
    testtree::WriteFile(root + "/docs/deep/sevens.txt", std::string(90000, '7'));
    return root;
}

int Capture(const std::string& source, const std::string& image) {
    imagex::Command cmd;
    wim::Status s = imagex::ParseCommand(
        {"/capture", source, image, "faults", "sweep", "/compress", "fast"}, &cmd);
    if (!s.ok()) return -1;
    return imagex::RunCapture(cmd);
}

TEST(ImagexFaults, CaptureFailsAtEveryCallAndKeepsTheOlderImageAlone) {
    const std::string source = SmallTree();
    const std::string dir = testtree::MakeScratch("fault-capture");
    const EngineRun counted =
        UnderPlan(engine::FaultPlan(), [&] { return Capture(source, dir + "/counted.wim"); });
    ASSERT_EQ(0, counted.exitCode) << counted.output;
    ASSERT_GE(counted.counts.reads, 3u);
    ASSERT_GE(counted.counts.writes, 2u);

    const std::string image = dir + "/older.wim";
    const std::string older = "an older image the user still has\n";
    testtree::WriteFile(image, older);
    const std::string listed = Listing(dir);
    for (const engine::FaultPlan& plan : engine::FaultSweep(counted.counts)) {
        const EngineRun run = UnderPlan(plan, [&] { return Capture(source, image); });
        ExpectFailed(run, engine::FaultName(plan));
        EXPECT_EQ(older, testtree::ReadFile(image)) << engine::FaultName(plan);
        EXPECT_EQ(listed, Listing(dir))
            << engine::FaultName(plan) << ": a working file was left behind";
        if (!plan.failRead && !plan.failWrite) {
            EXPECT_NE(std::string::npos, run.output.find("the disk is full"))
                << engine::FaultName(plan) << "\n"
                << run.output;
        }
    }
}

TEST(ImagexFaults, ApplyFailsAtEveryCall) {
    const std::string source = SmallTree();
    const std::string image = testtree::MakeScratch("fault-apply-image") + "/small.wim";
    ASSERT_EQ(0, UnderPlan(engine::FaultPlan(), [&] { return Capture(source, image); }).exitCode);
    const std::string target = testtree::MakeScratch("fault-apply");
    auto apply = [&] {
        std::unique_ptr<imagex::ApplyTarget> t = imagex::MakeApplyTarget();
        imagex::ApplyOptions options;
        options.progress = false;
        return imagex::RunApplyWith(image, 1, target, t.get(), options);
    };
    const EngineRun counted = UnderPlan(engine::FaultPlan(), apply);
    ASSERT_EQ(0, counted.exitCode) << counted.output;
    ASSERT_EQ("", testtree::CompareTrees(source, target));
    ASSERT_GE(counted.counts.reads, 3u);
    ASSERT_GE(counted.counts.writes, 2u);
    for (const engine::FaultPlan& plan : engine::FaultSweep(counted.counts))
        ExpectFailed(UnderPlan(plan, apply), engine::FaultName(plan));
}

}  // namespace
