#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/text_util.h"

namespace {

TEST(PathExtension, FromTheLastDotOfTheLastComponent) {
    EXPECT_EQ(PathExtension("D:\\a\\win7.gho"), ".gho");
    EXPECT_EQ(PathExtension("a.b.c.WIM"), ".WIM");
    EXPECT_EQ(PathExtension("D:\\dir.d\\file"), "");
    EXPECT_EQ(PathExtension("name."), ".");
    EXPECT_EQ(PathExtension("a.b c"), "");
    EXPECT_EQ(PathExtension(""), "");
}

TEST(PathExtension, DoubleByteCharactersWithBackslashTrailBytesAreWhole) {
    // 0xD5 0x5C is one GBK character whose trail byte is a backslash.
    const std::string withTrail = std::string("D:\\a") + "\xD5\x5C" + ".gho";
    EXPECT_EQ(PathExtension(withTrail), ".gho");
    const std::string trailThenName = std::string("x.y") + "\xD5\x5C" + "z";
    EXPECT_EQ(PathExtension(trailThenName), ".y\xD5\x5Cz");
}

TEST(CaseHelpers, LeaveTrailBytesAlone) {
    // 0xB0 0x41 is one GBK character whose trail byte looks like 'A'.
    const std::string text = std::string("AB\xB0\x41") + "C";
    EXPECT_EQ(LowerAscii(text), std::string("ab\xB0\x41") + "c");
    EXPECT_EQ(UpperAscii("x\xB0\x61y"), "X\xB0\x61Y");
    EXPECT_TRUE(EqualsNoCase("ExIt", "exit"));
    EXPECT_FALSE(EqualsNoCase("exit ", "exit"));
    EXPECT_NE(FindNoCase("[c:\\] ACTIVE", "C:\\] Active"), std::string::npos);
    EXPECT_TRUE(SameDriveLetter('d', 'D'));
    EXPECT_FALSE(SameDriveLetter('d', 'E'));
}

TEST(TrimSpaces, OnlyBlanks) {
    EXPECT_EQ(TrimSpaces("  cls  "), "cls");
    EXPECT_EQ(TrimSpaces("\tcls"), "\tcls");
    EXPECT_EQ(TrimSpaces("   "), "");
}

// 表 and 乗 end in 0xED and 0x5C: the second is not a folder separator.
TEST(GbkPaths, ATrailByte0x5CIsNeverABackslash) {
    EXPECT_EQ(FindLastBackslash("D:\\数据\\表.gho"), 7u);
    EXPECT_EQ(FileNameOf("D:\\备份\\乗"), "乗");
    EXPECT_EQ(FileNameOf("D:\\乗\\win7.gho"), "win7.gho");
    EXPECT_EQ(FileNameOf("D:\\系统乗.gho"), "系统乗.gho");
    EXPECT_EQ(FindLastBackslash("乗"), std::string::npos);
    EXPECT_EQ(PathExtension("D:\\乗.gho"), ".gho");
}

}  // namespace
