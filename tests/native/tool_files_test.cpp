#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/tool_files.h"
#include "resources/stored_tools.h"
#include "tests/native/harness.h"

using ::testing::ElementsAre;

namespace {

std::vector<std::string> Writes(const FakeSys& sys) {
    std::vector<std::string> writes;
    for (const std::string& entry : sys.fileLog)
        if (entry.rfind("write ", 0) == 0) writes.push_back(entry.substr(6));
    return writes;
}

TEST(Directories, AlwaysEndInOneBackslash) {
    FakeSys sys;
    sys.windowsDirectory = "C:\\WINDOWS";
    sys.systemDirectory = "C:\\WINDOWS\\system32\\";
    EXPECT_EQ(WindowsDirectory(sys), "C:\\WINDOWS\\");
    EXPECT_EQ(SystemDirectory(sys), "C:\\WINDOWS\\system32\\");
}

TEST(ToolFiles, AreWrittenInOrderWithTheirStoredBytes) {
    Harness h;
    ASSERT_TRUE(h.Start());
    EXPECT_THAT(Writes(h.sys),
                ElementsAre("C:\\Windows\\system32\\omnifs32.exe", "C:\\Windows\\ISO.exe",
                            "C:\\Windows\\Bootice.exe", "C:\\Windows\\GHOSTEXP.exe",
                            "C:\\Windows\\qii32.exe", "C:\\Windows\\system32\\bcdboot.exe",
                            "C:\\Windows\\\\Imagex.exe"));
    StoredBytes ghost = StoredToolBytes(StoredTool::Ghost);
    EXPECT_EQ(h.sys.FileContents("C:\\Windows\\qii32.exe"),
              std::string(reinterpret_cast<const char*>(ghost.data), ghost.size));
    EXPECT_EQ(h.ui.balloons[2].text, "正在加载文件，请稍候....");
    EXPECT_EQ(h.ui.balloons[2].title, "欢迎使用");
    EXPECT_EQ(h.ui.balloons[2].timeoutMs, 0u);
}

TEST(ToolFiles, ExistingFilesAreLeftAsTheyAre) {
    Harness h;
    h.sys.AddFile("C:\\Windows\\Bootice.exe", "someone else's bootice");
    h.sys.AddFile("C:\\Windows\\\\Imagex.exe", "custom imagex");
    ASSERT_TRUE(h.Start());
    EXPECT_EQ(h.sys.FileContents("C:\\Windows\\Bootice.exe"), "someone else's bootice");
    EXPECT_EQ(h.sys.FileContents("C:\\Windows\\Imagex.exe"), "custom imagex");
    for (const std::string& path : Writes(h.sys)) {
        EXPECT_NE(path, "C:\\Windows\\Bootice.exe");
        EXPECT_NE(path, "C:\\Windows\\\\Imagex.exe");
    }
}

TEST(ToolFiles, SecondStartAfterAnUncleanEndWritesNothing) {
    Harness first;
    ASSERT_TRUE(first.Start());
    Harness second;
    for (const char* path :
         {"C:\\Windows\\ISO.exe", "C:\\Windows\\Bootice.exe", "C:\\Windows\\GHOSTEXP.exe",
          "C:\\Windows\\qii32.exe", "C:\\Windows\\system32\\bcdboot.exe", "C:\\Windows\\Imagex.exe",
          "C:\\Windows\\system32\\omnifs32.exe"})
        second.sys.AddFile(path, first.sys.FileContents(path));
    ASSERT_TRUE(second.Start());
    EXPECT_TRUE(Writes(second.sys).empty());
}

TEST(ToolFiles, AFailedWriteEndsTheProgramAndKeepsWhatWasWritten) {
    Harness h;
    h.sys.failingWrites.insert("C:\\WINDOWS\\GHOSTEXP.EXE");
    EXPECT_FALSE(h.Start());
    EXPECT_EQ(h.Messages(), std::vector<std::string>{"初始化文件失败，程序无法运行！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\ISO.exe"));
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\Bootice.exe"));
    EXPECT_FALSE(h.sys.HasFile("C:\\Windows\\qii32.exe"));
}

TEST(ToolFiles, ImagexAndOmnifsFailuresAreSilent) {
    Harness h;
    h.sys.failingWrites.insert("C:\\WINDOWS\\\\IMAGEX.EXE");
    h.sys.failingWrites.insert("C:\\WINDOWS\\SYSTEM32\\OMNIFS32.EXE");
    ASSERT_TRUE(h.Start());
    EXPECT_TRUE(h.Messages().empty());
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\system32\\bcdboot.exe"));
}

TEST(ToolFiles, RemovalDeletesFiveInOrderAndKeepsTheSystemDirectoryTools) {
    Harness h;
    ASSERT_TRUE(h.Start());
    h.sys.fileLog.clear();
    RemoveToolFiles(h.program);
    EXPECT_THAT(h.sys.fileLog,
                ElementsAre("delete C:\\Windows\\Bootice.exe", "delete C:\\Windows\\ISO.EXE",
                            "delete C:\\Windows\\GHOSTEXP.exe", "delete C:\\Windows\\qii32.exe",
                            "delete C:\\Windows\\\\Imagex.exe"));
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\system32\\bcdboot.exe"));
    EXPECT_TRUE(h.sys.HasFile("C:\\Windows\\system32\\omnifs32.exe"));
}

TEST(DriveExists, AsksForNulOnTheFirstCharactersDrive) {
    FakeSys sys;
    FakeDrive cd;
    cd.type = kDriveCdRom;
    sys.AddDrive('G', cd);
    EXPECT_TRUE(DriveExists(sys, "C"));
    EXPECT_TRUE(DriveExists(sys, "c:\\whatever"));
    EXPECT_TRUE(DriveExists(sys, "G:\\"));
    EXPECT_FALSE(DriveExists(sys, "Q:\\"));
    EXPECT_FALSE(DriveExists(sys, ""));
}

TEST(ProbeDriveWritable, WritesAndRemovesItsProbeFile) {
    FakeSys sys;
    FakeDrive readOnly;
    readOnly.writable = false;
    sys.AddDrive('R', readOnly);
    EXPECT_TRUE(ProbeDriveWritable(sys, "C:\\"));
    EXPECT_FALSE(sys.HasFile("C:\\Morvek.Tmp"));
    EXPECT_EQ(sys.fileLog.front(), "write C:\\Morvek.Tmp");
    EXPECT_EQ(sys.fileLog.back(), "delete C:\\Morvek.tmp");

    sys.fileLog.clear();
    EXPECT_FALSE(ProbeDriveWritable(sys, "R:\\"));
    EXPECT_FALSE(ProbeDriveWritable(sys, "Q:\\"));
    for (const std::string& entry : sys.fileLog) EXPECT_NE(entry.rfind("delete", 0), 0u);
}

TEST(ProbeDriveWritable, ProbeFileHoldsTwentyOneBytes) {
    // Look at the bytes as they are written; the probe deletes the file right after.
    struct KeepingSys : FakeSys {
        std::string written;
        bool WriteWholeFile(const std::string& path, const void* data, size_t size) override {
            written.assign(static_cast<const char*>(data), size);
            return FakeSys::WriteWholeFile(path, data, size);
        }
    } keeping;
    ProbeDriveWritable(keeping, "C");
    EXPECT_EQ(keeping.written.size(), 21u);
}

}  // namespace
