#include <gtest/gtest.h>

#include "disk/image_files.h"
#include "platform/fake/fake_sys.h"
#include "wim/imagex_text.h"

namespace {

TEST(ImagexProgress, ApplyLinesKeepBlanksAndIgnoreThePartialLine) {
    struct Case {
        const char* name;
        std::string output;
        std::string percent, remaining;
    } cases[] = {
        {"one line", "[  45% ] Applying progress: 3:21 mins remaining\r\n", " 45", " 3:21 mins "},
        {"partial last line", "[  45% ] Applying progress: 3:21 mins remaining\r\n[  46% ] Appl",
         " 45", " 3:21 mins "},
        {"full", "a\r\n[ 100% ] Applying progress: 0:00 mins remaining\r\n", "100", " 0:00 mins "},
        {"no remaining time", "[   3% ] Applying\r\n", "  3", ""},
        {"other lines only", "ImageX Tool\r\nApplying image\r\n", "", ""},
        {"no line ended yet", "[  45% ] Applying progress: 3:21 mins remaining", "", ""},
        {"capture tokens are not apply's", "[  7% ] Capturing progress: 1:00 mins remaining\r\n",
         "", " 1:00 mins "},
    };
    for (const Case& c : cases) {
        ImagexProgress p = ParseProgressText(c.output, "% ] Applying", false);
        EXPECT_EQ(p.percent, c.percent) << c.name;
        EXPECT_EQ(p.remaining, c.remaining) << c.name;
    }
    EXPECT_EQ(PercentNumber(" 100"), 100);
    EXPECT_EQ(PercentNumber("  45"), 45);
    EXPECT_EQ(PercentNumber(""), 0);
}

TEST(ImagexProgress, CaptureLinesLoseTheirBlanks) {
    ImagexProgress p = ParseProgressText("x\r\n[  7% ] Capturing progress: 2:05 mins remaining\r\n",
                                         "% ] Capturing", true);
    EXPECT_EQ(p.percent, "7");
    EXPECT_EQ(p.remaining, " 2:05 mins ");
}

TEST(ImagexProgress, ElapsedAndSizes) {
    EXPECT_EQ(ElapsedText(0), "已用时间：00:00:00");
    EXPECT_EQ(ElapsedText(65), "已用时间：00:01:05");
    EXPECT_EQ(ElapsedText(3600 * 27 + 59), "已用时间：27:00:59");
    EXPECT_EQ(GigabytesText(13421772800.0), "12.5");
    EXPECT_EQ(GigabytesText(3221225472.0), "3");
    EXPECT_EQ(GigabytesText(1073741824.0 * 1.234), "1.23");
    EXPECT_EQ(TwoDecimalText(1048576.0 * 12.5 / 1048576.0), "12.5");  // the panel's megabytes
}

TEST(ImagexSuccess, OnlyALineThatBeginsWithItCounts) {
    EXPECT_TRUE(OutputReportsSuccess("x\r\nSuccessfully applied image.\r\n", "Successfully"));
    EXPECT_FALSE(OutputReportsSuccess("successfully applied image.\r\n", "Successfully"));
    // The echoed command that happens to hold the word is not ImageX's result.
    EXPECT_FALSE(OutputReportsSuccess(
        "C:\\>imagex /apply \"D:\\Successfully.wim\" 1 C:\\\\\r\nError\r\n", "Successfully"));
}

TEST(ImagexLines, InfoAndApplyByteForByte) {
    EXPECT_EQ(ImagexInfoLine("C:\\Windows\\\\Imagex.exe", "", "D:\\win7.wim"),
              "C:\\Windows\\\\Imagex.exe /info \"D:\\win7.wim\"");
    EXPECT_EQ(ImagexInfoLine("C:\\Windows\\\\Imagex.exe", " /check", "D:\\win7.wim"),
              "C:\\Windows\\\\Imagex.exe /info  /check \"D:\\win7.wim\"");
    EXPECT_EQ(ImagexApplyLine("C:\\Windows\\\\Imagex.exe", "D:\\win7.wim", 4, "C:\\\\"),
              "C:\\Windows\\\\Imagex.exe /apply \"D:\\win7.wim\" 4 C:\\\\");
}

// What ImageX prints for /info: the whole file's TOTALBYTES indented by two, each
// image's by four. The first image has no DISPLAYNAME.
const char kFourImages[] =
    u8"<WIM>\r\n"
    u8"  <TOTALBYTES>9999999999</TOTALBYTES>\r\n"
    u8"  <IMAGE INDEX=\"1\">\r\n"
    u8"    <TOTALBYTES>13421772800</TOTALBYTES>\r\n"
    u8"    <NAME>Windows 7 STARTER</NAME>\r\n"
    u8"  </IMAGE>\r\n"
    u8"  <IMAGE INDEX=\"2\">\r\n"
    u8"    <TOTALBYTES>3221225472</TOTALBYTES>\r\n"
    u8"    <NAME>Windows 7 HOMEBASIC</NAME>\r\n"
    u8"    <DISPLAYNAME>Windows 7 家庭普通版</DISPLAYNAME>\r\n"
    u8"  </IMAGE>\r\n"
    u8"  <image index=\"3\">\r\n"
    u8"    <totalbytes>2147483648</totalbytes>\r\n"
    u8"    <name>Windows 7 PROFESSIONAL</name>\r\n"
    u8"    <displayname>Windows 7 专业版</displayname>\r\n"
    u8"  </image>\r\n"
    u8"  <IMAGE INDEX=\"4\">\r\n"
    u8"    <TOTALBYTES>13421772800</TOTALBYTES>\r\n"
    u8"    <NAME>Windows 7 ULTIMATE</NAME>\r\n"
    u8"    <DISPLAYNAME>Windows 7 旗舰版</DISPLAYNAME>\r\n"
    u8"  </IMAGE>\r\n"
    u8"</WIM>\r\n";

TEST(VolumeList, EntriesStayPairedWithTheirImage) {
    FakeSys sys;
    const std::vector<std::string> entries = VolumeEntries(sys.AnsiFromUtf8(kFourImages));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0], "1: Windows 7 STARTER( 大小:12.5 GB|)");
    EXPECT_EQ(entries[1], "2: Windows 7 HOMEBASIC( 大小:3 GB|Windows 7 家庭普通版)");
    EXPECT_EQ(entries[2], "3: Windows 7 PROFESSIONAL( 大小:2 GB|Windows 7 专业版)");
    EXPECT_EQ(entries[3], "4: Windows 7 ULTIMATE( 大小:12.5 GB|Windows 7 旗舰版)");
}

TEST(VolumeList, OneImageWithoutDisplayNameAndTheFlagsFallback) {
    const std::string one =
        "<WIM>\r\n  <TOTALBYTES>5</TOTALBYTES>\r\n  <IMAGE INDEX=\"1\">\r\n    "
        "<TOTALBYTES>13421772800</TOTALBYTES>\r\n"
        "    <NAME>Data</NAME>\r\n  </IMAGE>\r\n</WIM>\r\n";
    EXPECT_EQ(VolumeEntries(one), std::vector<std::string>{"1: Data |大小:12.5 GB"});
    const std::string flagsOnly =
        "<WIM>\r\n  <IMAGE INDEX=\"1\">\r\n    <TOTALBYTES>1073741824</TOTALBYTES>\r\n"
        "    <FLAGS>Ultimate</FLAGS>\r\n  </IMAGE>\r\n</WIM>\r\n";
    EXPECT_EQ(VolumeEntries(flagsOnly), std::vector<std::string>{"1: Ultimate |大小:1 GB"});
    EXPECT_TRUE(VolumeEntries("ImageX Tool\r\nError opening file [2]\r\n").empty());
    EXPECT_TRUE(VolumeEntries("").empty());
}

TEST(VolumeList, AMisalignedImageLeavesTheOthersInPlace) {
    // The second image has no size and no NAME: the third keeps its own size and name.
    const std::string xml =
        "<WIM>\r\n"
        "  <IMAGE INDEX=\"1\">\r\n    <TOTALBYTES>1073741824</TOTALBYTES>\r\n    <NAME>A</NAME>\r\n"
        "    <DISPLAYNAME>a</DISPLAYNAME>\r\n  </IMAGE>\r\n"
        "  <IMAGE INDEX=\"2\">\r\n    <DISPLAYNAME>b</DISPLAYNAME>\r\n  </IMAGE>\r\n"
        "  <IMAGE INDEX=\"3\">\r\n    <TOTALBYTES>2147483648</TOTALBYTES>\r\n    <NAME>C</NAME>\r\n"
        "    <DISPLAYNAME>c</DISPLAYNAME>\r\n  </IMAGE>\r\n"
        "</WIM>\r\n";
    const std::vector<std::string> entries = VolumeEntries(xml);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1], "2: ( 大小: GB|b)");
    EXPECT_EQ(entries[2], "3: C( 大小:2 GB|c)");
}

}  // namespace
