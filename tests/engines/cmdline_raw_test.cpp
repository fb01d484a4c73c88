// The raw rest of a command line: where unquoted paths with blanks are taken from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/cmdline.h"
#include "common/cmdline_raw.h"

namespace {

struct RawCase {
    std::string line;
    size_t index;
    std::string expected;
};

TEST(RawArgumentsFrom, CutsAtArgumentBoundaries) {
    const std::vector<RawCase> cases = {
        {"ISO.exe /D:Z /I:D:\\My ISOs\\a  b.iso", 1, "/I:D:\\My ISOs\\a  b.iso"},
        {"ISO.exe /D:Z /I:D:\\My ISOs\\a  b.iso", 0, "/D:Z /I:D:\\My ISOs\\a  b.iso"},
        {"ISO.exe /D:Z /I:D:\\x.iso", 2, ""},
        {"\"C:\\Program Files\\ISO.exe\"   /q  ", 0, "/q  "},
        {"  prog \"a b\" c", 1, "c"},
        {"prog \"a \\\" b\" c", 1, "c"},  // escaped quote stays inside the group
        {"prog a\\\\\"b c\" d", 1, "d"},  // 2n backslashes: the quote toggles
        {"prog \"a\"\"b c\" d", 1, "d"},  // doubled quote inside a group
        {"prog\ta\tb", 1, "b"},
        {"prog", 0, ""},
    };
    for (const RawCase& c : cases)
        EXPECT_EQ(engine::RawArgumentsFrom(c.line, c.index), c.expected)
            << c.line << " from " << c.index;
}

// The raw rest, split again, gives the same arguments as splitting the whole line.
TEST(RawArgumentsFrom, AgreesWithSplitCommandLine) {
    const std::vector<std::string> lines = {
        "C:\\WINDOWS\\BOOTICE.EXE /DEVICE=C:\\ /mbr /install  /type=nt60  /quiet",
        "C:\\WINDOWS\\BOOTICE.EXE /edit_bcd  /file=\"C:\\Boot Folder\\BCD\"",
        "prog \"a \\\" b\" c\\\\\" d e\" \"\" f",
        "\"C:\\a b\\prog.exe\" x \"y z\" w\\\\\\\"v",
    };
    for (const std::string& line : lines) {
        std::vector<std::string> whole = engine::SplitCommandLine(line);
        for (size_t k = 0; k + 1 < whole.size(); ++k) {
            std::vector<std::string> tail =
                engine::SplitCommandLine("p " + engine::RawArgumentsFrom(line, k));
            std::vector<std::string> expected(whole.begin() + 1 + k, whole.end());
            tail.erase(tail.begin());
            EXPECT_EQ(tail, expected) << line << " from " << k;
        }
    }
}

TEST(FullCommandLine, NativeLineSplitsBackIntoArgv) {
    std::vector<std::string> args = {"prog",    "plain",  "with blank", "",
                                     "q\"uote", "tail\\", "dir\\ x\\",  "\\\\srv\\share"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    std::string line = engine::FullCommandLine(int(argv.size()), argv.data());
    EXPECT_EQ(engine::SplitCommandLine(line), args) << line;
}

}  // namespace
