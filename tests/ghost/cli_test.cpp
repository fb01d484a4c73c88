// The command lines exactly as the program builds them, and what the engine makes
// of each; then the engine program itself on a few of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "common/cmdline.h"
#include "engines/ghost/cli.h"
#include "tests/ghost/tree_util.h"

namespace {

ghost::Status Parse(const std::string& line, ghost::JobRequest* r) {
    std::vector<std::string> args = engine::SplitCommandLine(line, true);
    args.erase(args.begin());
    return ghost::ParseJobRequest(args, r);
}

TEST(GhostCommandLine, ProgramLinesParseToTheirJobs) {
    ghost::JobRequest r;
    // Backup with every option at its initial value.
    ASSERT_TRUE(Parse("C:\\WINDOWS\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"D:\\bak\\c.gho\""
                      " -z9 -noide -sure -fx",
                      &r)
                    .ok());
    EXPECT_EQ(ghost::JobRequest::kBackup, r.kind);
    EXPECT_EQ("1:2", r.source.Text());
    EXPECT_EQ("D:\\bak\\c.gho", r.image);
    EXPECT_EQ(9, r.level);
    EXPECT_TRUE(r.noIde && r.sure && r.fx);
    EXPECT_FALSE(r.span || r.hasPassword || r.crcIgnore);

    // Backup split at 650 MB, medium compression, password.
    ASSERT_TRUE(Parse("X:\\qii32.exe -clone,mode=pdump,src=2:1,dst=\"E:\\my images\\w.GHO\" -z5 "
                      "-span  -split=650 -auto -noide -pwd=abc -sure -fx",
                      &r)
                    .ok());
    EXPECT_EQ("E:\\my images\\w.GHO", r.image);
    EXPECT_EQ(5, r.level);
    EXPECT_TRUE(r.span && r.autoName);
    EXPECT_EQ(650u, r.splitMiB);
    EXPECT_EQ("abc", r.password);

    // Restore: the path may hold commas; a password may hold blanks (passed unquoted).
    ASSERT_TRUE(Parse("X:\\qii32.exe -clone,mode=pload,src=\"D:\\a,dst=b\\win7.gho\":1,dst=1:1"
                      " -crcignore  -noide -pwd=p w  x -sure  -fx",
                      &r)
                    .ok());
    EXPECT_EQ(ghost::JobRequest::kRestore, r.kind);
    EXPECT_EQ("D:\\a,dst=b\\win7.gho", r.image);
    EXPECT_EQ(1u, r.imagePartition);
    EXPECT_EQ("1:1", r.target.Text());
    EXPECT_TRUE(r.crcIgnore && r.noIde && r.hasPassword);
    EXPECT_EQ("p w x", r.password);

    ASSERT_TRUE(Parse("X:\\qii32.exe -clone,mode=pcopy,src=1:1,dst=2:3  -sure -fx", &r).ok());
    EXPECT_EQ(ghost::JobRequest::kCopy, r.kind);
    EXPECT_EQ("1:1", r.source.Text());
    EXPECT_EQ("2:3", r.target.Text());

    // The check line passes the path unquoted, blanks and all.
    ASSERT_TRUE(Parse("X:\\qii32.exe   -CHKIMG,D:\\My Images\\x.gho -sure  -fx -BATCH ", &r).ok());
    EXPECT_EQ(ghost::JobRequest::kCheck, r.kind);
    EXPECT_EQ("D:\\My Images\\x.gho", r.image);
    EXPECT_TRUE(r.batch);

    // Reboot-mode lines.
    ASSERT_TRUE(Parse("Ghost.exe  -clone,mode=pdump,src=1:1,dst=\"1:2:\\bak\\c.gho\" -z9 -noide"
                      " -sure -fx ",
                      &r)
                    .ok());
    EXPECT_EQ("1:2:\\bak\\c.gho", r.image);
    ASSERT_TRUE(Parse("Ghost.exe -clone,mode=pload,src=\"1:2\\MorvekOS\\MorvekOS.GHO\":1,dst=1:1"
                      " -crcignore  -noide -sure  -fx -afile=\"GHOSTERR.TXT\"",
                      &r)
                    .ok());
    EXPECT_EQ("1:2\\MorvekOS\\MorvekOS.GHO", r.image);
    EXPECT_EQ("GHOSTERR.TXT", r.abortFile);
}

TEST(GhostCommandLine, SwitchesIgnoreCase) {
    ghost::JobRequest r;
    ASSERT_TRUE(Parse("q -CLONE,MODE=PDUMP,SRC=1:2,DST=x.gho -Z1 -SPAN -SPLIT=700 -AUTO -NOIDE "
                      "-PWD=Secret -CRCIGNORE -SURE -FX -BATCH -AFILE=err.txt",
                      &r)
                    .ok());
    EXPECT_EQ(ghost::JobRequest::kBackup, r.kind);
    EXPECT_EQ(1, r.level);
    EXPECT_EQ(700u, r.splitMiB);
    EXPECT_EQ("Secret", r.password);  // values keep their case
    EXPECT_TRUE(r.span && r.autoName && r.noIde && r.crcIgnore && r.sure && r.fx && r.batch);
    EXPECT_EQ("err.txt", r.abortFile);
    ASSERT_TRUE(Parse("q -Clone,Mode=PLoad,Src=a.gho:1,Dst=1:3", &r).ok());
    EXPECT_EQ(ghost::JobRequest::kRestore, r.kind);
    ASSERT_TRUE(Parse("q -chkimg,a.gho", &r).ok());
    EXPECT_EQ(ghost::JobRequest::kCheck, r.kind);
}

TEST(GhostCommandLine, UnusableTextIsNamedInTheMessage) {
    struct Case {
        const char* line;
        const char* named;
    } cases[] = {
        {"q -clone,mode=pdump,src=1:2,dst=a.gho -foo", "-foo"},
        {"q -clone,mode=pdump,src=1:2,dst=a.gho -z0", "-z0"},
        {"q -clone,mode=pdump,src=1:2,dst=a.gho -z10", "-z10"},
        {"q -clone,mode=pdump,src=1:2,dst=a.gho -split=abc", "-split=abc"},
        {"q -clone,mode=pdump,src=1:2,dst=a.gho -split=1", "-split=1"},
        {"q -clone,mode=pmove,src=1:2,dst=a.gho", "mode=pmove"},
        {"q -clone,mode=pdump,src=1-2,dst=a.gho", "src=1-2"},
        {"q -clone,mode=pdump,src=0:1,dst=a.gho", "src=0:1"},
        {"q -clone,mode=pload,src=a.gho,dst=1:2", "src=a.gho"},
        {"q -clone,mode=pcopy,src=1:1,dst=x", "dst=x"},
        {"q -clone,mode=pdump,src=1:1", "-clone,mode=pdump,src=1:1"},
        {"q -clone,mode=pdump,src=1:1,dst=a.gho -clone,mode=pcopy,src=1:1,dst=1:2",
         "-clone,mode=pcopy"},
        {"q -clone,mode=pload,src=a.gho:2,dst=1:2", ":2"},
        {"q -clone,mode=pload,src=a.gho:1,dst=1:2 -pwd=", "-pwd="},
        {"q -sure -fx", "-CHKIMG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ghost::JobRequest r;
        ghost::Status s = Parse(c.line, &r);
        EXPECT_EQ(ghost::kErrUsage, s.code);
        EXPECT_NE(std::string::npos, s.message.find(c.named)) << s.message;
    }
}

// The engine program: silent on success, a numbered text and exit code otherwise.
std::string RunEngine(const std::string& args, int* code) {
    const char* exe = getenv("GHOST_ENGINE");
    std::string cmd = std::string(exe ? exe : "qii32") + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(GhostEngineProgram, PrintsNothingOnSuccessAndTheErrorOtherwise) {
    ghosttest::TempDir tmp;
    ghosttest::MakeDirs(tmp / "src");
    ghosttest::WriteFile(tmp / "src/a.txt", "a");
    ghosttest::MapVolumes({{"1:1", tmp / "src"}, {"1:2", tmp.path()}});
    int code = -1;
    EXPECT_EQ("", RunEngine("-clone,mode=pdump,src=1:1,dst=\"" + (tmp / "a.GHO") +
                                "\" -z9 -noide -sure -fx",
                            &code));
    EXPECT_EQ(0, code);
    EXPECT_EQ("", RunEngine("   -CHKIMG," + (tmp / "a.GHO") + " -sure  -fx -BATCH ", &code));
    EXPECT_EQ(0, code);
    EXPECT_EQ(u8"错误 2：无法识别的参数：-bogus\r\n",
              RunEngine("-clone,mode=pdump,src=1:1,dst=x.gho -bogus", &code));
    EXPECT_EQ(2, code);
    std::string out = RunEngine("-clone,mode=pload,src=\"" + (tmp / "a.GHO") +
                                    "\":1,dst=1:2 -sure  -fx -afile=\"" + (tmp / "err.txt") + "\"",
                                &code);
    EXPECT_EQ(20, code);
    EXPECT_EQ(0u, out.find(u8"错误 20："));
    EXPECT_EQ(out, ghosttest::ReadFile(tmp / "err.txt"));
}

}  // namespace
