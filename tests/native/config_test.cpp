#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/config.h"
#include "tests/native/harness.h"

namespace {

struct ConfigHarness : Harness {
    ConfigHarness() {
        sys.arguments = {"/config"};
        sys.moduleFileName = "D:\\PE\\Tool.exe";
        AddFixedDrive('D', 0, 2);
    }
    void SetPath(const std::string& ini, const std::string& value) {
        sys.AddFile(ini);
        sys.iniValues["D:\\PE\\TOOL.INI"]["CONFIG|PATH"] = value;
    }
};

TEST(Configuration, FilePathUsesTheProgramsBaseName) {
    EXPECT_EQ(ConfigurationFilePath("D:\\PE\\Tool.exe"), "D:\\PE\\Tool.ini");
    EXPECT_EQ(ConfigurationFilePath("C:\\Setup.exe"), "C:\\Setup.ini");
    // Several dots: only the last extension goes.
    EXPECT_EQ(ConfigurationFilePath("E:\\x\\Star.Bridge.v2.exe"), "E:\\x\\Star.Bridge.v2.ini");
    EXPECT_EQ(ConfigurationFilePath("E:\\工具\\装机.exe"), "E:\\工具\\装机.ini");
    // 乗 ends in the byte 0x5C, which is not a folder separator here.
    EXPECT_EQ(ConfigurationFilePath("E:\\工具\\乗.exe"), "E:\\工具\\乗.ini");
    EXPECT_EQ(ConfigurationFilePath("E:\\乗\\装机.exe"), "E:\\乗\\装机.ini");
}

TEST(Configuration, MissingFileEndsTheProgramNamingIt) {
    ConfigHarness h;
    EXPECT_FALSE(h.Start());
    ASSERT_EQ(h.Messages(), std::vector<std::string>{"配置文件 Tool.ini 不存在！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    EXPECT_EQ(h.ui.messageBoxes[0].caption, "提示");
    // Read before any tool file is written.
    for (const std::string& entry : h.sys.fileLog) EXPECT_NE(entry.rfind("write", 0), 0u) << entry;
}

TEST(Configuration, EmptyPathWarnsAndStartUpGoesOn) {
    ConfigHarness h;
    h.SetPath("D:\\PE\\Tool.ini", "");
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"未指定需加载的文件！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    EXPECT_EQ(h.ui.ItemCount(kMainWindow, kImagePathBox), 0);
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
}

TEST(Configuration, ImageInTheImageFolderIsPreselected) {
    for (const char* value : {"sub\\win7.gho", "WIN10.WIM", "系统\\备份.Gho"}) {
        ConfigHarness h;
        h.SetPath("D:\\PE\\Tool.ini", value);
        h.sys.AddFile(std::string("D:\\MorvekOS\\") + value, "image");
        ASSERT_TRUE(h.Start()) << value;
        EXPECT_TRUE(h.Messages().empty()) << value;
        ASSERT_EQ(h.ui.ItemCount(kMainWindow, kImagePathBox), 1);
        EXPECT_EQ(h.ui.ItemText(kMainWindow, kImagePathBox, 0),
                  std::string("D:\\MorvekOS\\") + value);
        EXPECT_EQ(h.ui.GetSelection(kMainWindow, kImagePathBox), 0);
    }
}

TEST(Configuration, OtherExtensionsAreRefusedEvenWhenTheFileExists) {
    for (const char* value : {"image.iso", "image", "win7.gho.bak", "a.gh"}) {
        ConfigHarness h;
        h.SetPath("D:\\PE\\Tool.ini", value);
        h.sys.AddFile(std::string("D:\\MorvekOS\\") + value, "x");
        EXPECT_FALSE(h.Start()) << value;
        EXPECT_EQ(h.Messages(), std::vector<std::string>{"本参数仅支持加载*.WIM、*.GHO映像文件！"});
        EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    }
}

TEST(Configuration, MissingImageEndsTheProgramWithAWarning) {
    ConfigHarness h;
    h.SetPath("D:\\PE\\Tool.ini", "sub\\win7.gho");
    EXPECT_FALSE(h.Start());
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"未找到 sub\\win7.gho"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));
    EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
}

}  // namespace
