// ISO: the mount and unmount command lines as the program builds them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/isotool/iso_cli.h"

namespace {

// Records what the tool asks of the system; mounts nothing.
struct RecordingBackend : isotool::MountBackend {
    std::vector<std::string> calls;
    bool AttachIso(const std::string& path, char letter, std::string& note) override {
        calls.push_back(std::string("attach ") + letter + " " + path);
        note = "no service";
        return false;
    }
    std::string CacheFolderFor(char) override { return ""; }
    bool MapLetter(char, const std::string&, std::string&) override { return false; }
    std::string UnmountAll() override {
        calls.push_back("unmount");
        return "";
    }
};

using isotool::IsoCommand;

TEST(IsoCommandLine, MountLinesKeepTheUnquotedPathWhole) {
    struct Case {
        std::string line;
        char letter;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"C:\\WINDOWS\\ISO.exe /D:Z /I:D:\\win7.iso", 'Z', "D:\\win7.iso"},
        {"C:\\WINDOWS\\ISO.exe /D:Y /I:D:\\My ISOs\\Win 7  x64.iso", 'Y',
         "D:\\My ISOs\\Win 7  x64.iso"},
        {"C:\\WINDOWS\\ISO.exe /D:W /I:E:\\a\\b.ISO  ", 'W', "E:\\a\\b.ISO"},
        {"c:\\windows\\iso.exe /d:a /i:F:\\x.iso", 'A', "F:\\x.iso"},
        {"C:\\WINDOWS\\ISO.exe /D:B /I:\"D:\\quoted path\\x.iso\"", 'B', "D:\\quoted path\\x.iso"},
        {u8"C:\\WINDOWS\\ISO.exe /D:Z /I:D:\\镜像\\系统 盘.iso", 'Z', u8"D:\\镜像\\系统 盘.iso"},
        {"\"C:\\Win Dir\\ISO.exe\" /D:Z /I:\\\\server\\share\\x.iso", 'Z',
         "\\\\server\\share\\x.iso"},
    };
    for (const Case& c : cases) {
        IsoCommand cmd;
        std::string error;
        ASSERT_TRUE(isotool::ParseIsoCommandLine(c.line, cmd, error)) << c.line << ": " << error;
        EXPECT_EQ(cmd.kind, IsoCommand::Kind::Mount) << c.line;
        EXPECT_EQ(cmd.letter, c.letter) << c.line;
        EXPECT_EQ(cmd.isoPath, c.path) << c.line;
    }
}

TEST(IsoCommandLine, UnmountAllInAnyCase) {
    for (const char* line :
         {"C:\\WINDOWS\\iso.exe /q", "C:\\WINDOWS\\ISO.EXE /Q", "iso.exe  /q  "}) {
        IsoCommand cmd;
        std::string error;
        ASSERT_TRUE(isotool::ParseIsoCommandLine(line, cmd, error)) << line;
        EXPECT_EQ(cmd.kind, IsoCommand::Kind::UnmountAll);
        RecordingBackend backend;
        isotool::RunResult r = isotool::RunIso(line, backend);
        EXPECT_EQ(r.exitCode, isotool::kExitOk);
        EXPECT_EQ(r.output, "");  // run at every exit: nothing to unmount is no failure
        EXPECT_EQ(backend.calls, std::vector<std::string>{"unmount"});
    }
}

TEST(IsoCommandLine, RefusalsNameWhatWasNotUnderstood) {
    struct Case {
        const char* line;
        const char* named;
    };
    const std::vector<Case> cases = {
        {"iso.exe", "no command given"},
        {"iso.exe /u", "\"/u\""},
        {"iso.exe -q", "\"-q\""},
        {"iso.exe /q /q", "\"/q\""},
        {"iso.exe /q Z:", "\"Z:\""},
        {"iso.exe /D:ZZ /I:D:\\x.iso", "\"/D:ZZ\""},
        {"iso.exe /D: /I:D:\\x.iso", "\"/D:\""},
        {"iso.exe /D:1 /I:D:\\x.iso", "\"/D:1\""},
        {"iso.exe /D:Z", "/I:<ISO image path> is missing"},
        {"iso.exe /D:Z /X:D:\\x.iso", "\"/X:D:\\x.iso\""},
        {"iso.exe /D:Z /I:", "/I: names no ISO image"},
        {"iso.exe /D:Z /I:\"D:\\x.iso\" /q", "\"/q\""},
        {"iso.exe /I:D:\\x.iso /D:Z", "\"/I:D:\\x.iso\""},
    };
    for (const Case& c : cases) {
        RecordingBackend backend;
        isotool::RunResult r = isotool::RunIso(c.line, backend);
        EXPECT_EQ(r.exitCode, isotool::kExitBadCommandLine) << c.line;
        EXPECT_TRUE(backend.calls.empty()) << c.line;
        EXPECT_EQ(r.output.rfind("ISO: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find(c.named), std::string::npos) << c.line << "\n" << r.output;
        EXPECT_NE(r.output.find("usage: ISO /D:"), std::string::npos);
    }
}

TEST(IsoCommandLine, AnImageThatCannotBeOpenedMountsNothing) {
    RecordingBackend backend;
    isotool::RunResult r =
        isotool::RunIso("C:\\WINDOWS\\ISO.exe /D:Z /I:/nonexistent/My ISOs/a.iso", backend);
    EXPECT_EQ(r.exitCode, isotool::kExitBadImage);
    EXPECT_EQ(r.output, "ISO: cannot open \"/nonexistent/My ISOs/a.iso\"\r\n");
    EXPECT_TRUE(backend.calls.empty());
}

}  // namespace
