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

struct GbkCase {
    std::string line;
    std::vector<std::string> expected;
};

// GBK bytes of the characters used below: 運 DF 5C, 誠 D5 5C, 錦 E5 5C (trail byte
// 0x5C), 數 94 B5, 據 93 FE, 備 82 E4, 份 B7 DD.
TEST(SplitGbkCommandLine, TrailByte5CIsNeverABackslash) {
    ASSERT_EQ(std::string("運誠錦"), "\xDF\x5C\xD5\x5C\xE5\x5C");
    const std::vector<GbkCase> cases = {
        // A path whose last character ends in 0x5C right before the closing quote.
        {"prog.exe \"D:\\數據\\運\" next", {"prog.exe", "D:\\數據\\運", "next"}},
        {"prog.exe \"D:\\數據\\誠.gho\" -x", {"prog.exe", "D:\\數據\\誠.gho", "-x"}},
        {"prog.exe D:\\備份\\錦 \"E:\\a b\\衆\"", {"prog.exe", "D:\\備份\\錦", "E:\\a b\\衆"}},
        // A real backslash after such a character still escapes the quote after it.
        {"prog.exe \"D:\\運\\\" tail\" x", {"prog.exe", "D:\\運\" tail", "x"}},
        // Two real backslashes: one backslash and the end of the group.
        {"prog.exe \"D:\\運\\\\\" x", {"prog.exe", "D:\\運\\", "x"}},
        // Bytes that do not make a pair stay single bytes: a lead byte before 0x7F,
        // before a quote, and at the very end.
        {"prog.exe a\x81\x7F b", {"prog.exe", "a\x81\x7F", "b"}},
        {"prog.exe \"a\x81\" b", {"prog.exe", "a\x81", "b"}},
        // 0x81 0x5C is a character (乗), so the quote after it closes the group.
        {"prog.exe \"\x81\\\" b", {"prog.exe", "\x81\\", "b"}},
        {"prog.exe end\x81", {"prog.exe", "end\x81"}},
        // The program name, quoted, with such a character inside.
        {"\"C:\\備份\\運\\prog.exe\" 1", {"C:\\備份\\運\\prog.exe", "1"}},
    };
    for (const GbkCase& c : cases)
        EXPECT_EQ(engine::SplitGbkCommandLine(c.line), c.expected) << c.line;
    // The UTF-8 splitter reads the same bytes as backslashes: the first case shows it.
    EXPECT_NE(engine::SplitCommandLine(cases[0].line), cases[0].expected);
}

TEST(SplitGbkCommandLine, AgreesWithTheUtf8SplitterOnAsciiLines) {
    const std::vector<std::string> lines = {
        "prog \"a \\\" b\" c\\\\\" d e\" \"\" f",
        "\"C:\\a b\\prog.exe\" x \"y z\" w\\\\\\\"v",
        "p \"say \"\"hi\"\"\" tail\\",
    };
    for (const std::string& line : lines)
        EXPECT_EQ(engine::SplitGbkCommandLine(line), engine::SplitCommandLine(line)) << line;
}

}  // namespace
