#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "base/ids/xp_setup.h"
#include "base/text_util.h"
#include "setup/xp_lines.h"
#include "setup/xp_setup.h"
#include "tests/native/harness.h"

namespace {

constexpr int W = kXpSetupWindow;
const char kStub[] = "Stub Loader for Winnt32 Setup Program";
const char kFolderLine[] =
    "cmd.exe /c E:\\I386\\winnt32.exe  /syspart:D:\\ /dudisable /s:E:\\I386  "
    "/unattend:D:\\unattend.txt /makelocalsource /tempdrive:D:\\ /noreboot";

// XP media on E:\I386 (and a stand-in AMD64 folder), installed onto D: (row 1); C: is
// the running Windows (row 0), E: row 2.
struct XpHarness : Harness {
    // before: what the machine holds besides, set up before start-up lists the drives.
    explicit XpHarness(const std::function<void(XpHarness&)>& before = nullptr) {
        AddFixedDrive('D', 0, 2);
        AddFixedDrive('E', 0, 3);
        AddMedia("E:\\I386\\winnt32.EXE");
        if (before) before(*this);
        // winnt32 copies its first phase onto the target.
        sys.onCommand = [this](const std::string& line) {
            if (line.find("winnt32") == std::string::npos || !setupWorks) return;
            sys.AddDirectory("D:\\$WIN_NT$.~BT");
            sys.AddDirectory("D:\\$WIN_NT$.~LS");
        };
        EXPECT_TRUE(Start());
        ui.messageBoxes.clear();
        ui.balloons.clear();
        sys.commandsRun.clear();
    }
    void AddMedia(const std::string& program, int type = kBinary32) {
        sys.AddFile(program, std::string(2048, 'x'));
        sys.fileDescriptions[UpperAscii(program)] = kStub;
        sys.binaryTypes[UpperAscii(program)] = type;
    }
    void Host64() { sys.wow64DirectoryLength = 20; }
    // Chooses the media and the row and presses start.
    void Press(const std::string& media, int row = 1) {
        ChooseImageAndRow(media, row);
        ui.Click(kMainWindow, kStartButton);
    }
    bool Open() { return ui.HasWindow(W) && !ui.GetWindow(W).destroyed; }
    void OpenWindow(const std::string& media = "E:\\I386") {
        Press(media);
        ASSERT_TRUE(Open()) << (Messages().empty() ? "" : Messages()[0]);
    }
    bool setupWorks = true;
};

struct CheckCase {
    const char* name;
    std::string media;
    int row;
    std::string message;
    unsigned icon;
};

// Every refusal in order: each case passes the checks before its own.
TEST(XpSetup, FolderChecksRefuseInOrderWithTheirMessageAndIcon) {
    auto setups = [](const std::string& name, XpHarness& h) {
        if (name == "drive gone") h.sys.drives.erase('D');
        if (name == "not a folder") h.sys.AddFile("F:\\I386", "a file");
        if (name == "media on the target, lower case") h.AddMedia("D:\\I386\\winnt32.EXE");
        if (name == "media on an ISO on the target") {
            h.AddMedia("Z:\\I386\\winnt32.EXE");
            h.program.state.isoBehindLetter["Z"] = "d:\\iso\\xp.iso";
        }
        if (name == "target not writable") h.sys.drives['D'].writable = false;
        if (name == "not the setup stub") h.sys.fileDescriptions["E:\\I386\\WINNT32.EXE"] = "Other";
        if (name == "not the stub, on an ISO") {
            h.sys.AddFile("Z:\\I386\\winnt32.EXE", "x");
            h.program.state.isoBehindLetter["Z"] = "F:\\iso\\xp.iso";
        }
        if (name == "32-bit program in AMD64") h.AddMedia("E:\\AMD64\\winnt32.EXE");
        if (name == "AMD64 on a 32-bit host") h.AddMedia("E:\\AMD64\\winnt32.EXE", kBinary64);
    };
    const CheckCase cases[] = {
        {"no row", "E:\\I386", -1, "请选择要安装Windows的分区！", kMbIconWarning},
        {"drive gone", "E:\\I386", 1, "选择的分区 D:\\(1:2) 不存在！", kMbIconError},
        {"not a folder", "F:\\I386", 1, "选择的分区 D:\\(1:2) 不存在！", kMbIconError},
        {"running Windows", "E:\\I386", 0,
         "桌面环境不支持将原版WindowsXP安装到系统盘，请到WinPE环境操作！", kMbIconError},
        {"media on the target, lower case", "d:\\i386", 1,
         "需安装的分区不可与还原映像文件所在的路径相同！", kMbIconWarning},
        {"media on an ISO on the target", "Z:\\I386", 1,
         "需安装的分区不可与还原映像文件所在的路径相同！", kMbIconWarning},
        {"target not writable", "E:\\I386", 1,
         "选择的分区 D:\\(1:2) 写入数据失败，请选择正确的分区！", kMbIconError},
        {"not the setup stub", "E:\\I386", 1, "E:\\I386 不是原版WindowsXP的ISO镜像！",
         kMbIconWarning},
        {"not the stub, on an ISO", "Z:\\I386", 1, "xp.iso 不是原版WindowsXP的ISO镜像！",
         kMbIconWarning},
        {"32-bit program in AMD64", "E:\\AMD64", 1, "Windows版本错误，不是原版64位的WindowsXP！",
         kMbIconWarning},
        {"AMD64 on a 32-bit host", "E:\\AMD64", 1,
         "当前系统为32位系统，不可执行64位WindowsXP的安装程序！", kMbIconWarning},
    };
    for (const CheckCase& c : cases) {
        XpHarness h;
        setups(c.name, h);
        h.Press(c.media, c.row);
        EXPECT_EQ(h.Messages(), std::vector<std::string>{c.message}) << c.name;
        if (!h.ui.messageBoxes.empty()) {
            EXPECT_EQ(h.ui.messageBoxes[0].flags, c.icon) << c.name;
        }
        EXPECT_FALSE(h.Open()) << c.name;
        EXPECT_FALSE(h.program.state.jobRunning) << c.name;
        EXPECT_TRUE(h.sys.commandsRun.empty()) << c.name;
    }
}

TEST(XpSetup, ATargetThatIsNoHardDiskIsAskedAbout) {
    for (int answer : {kIdNo, kIdYes}) {
        XpHarness h([](XpHarness& x) {
            FakeDrive stick;
            stick.type = kDriveRemovable;
            stick.deviceNumber = 1;
            stick.totalBytes = 4ull << 30;
            stick.freeBytes = 1ull << 30;
            x.sys.AddDrive('G', stick);
        });
        h.ui.messageBoxAnswers = {answer};
        int row = -1;
        for (int r = 0; r < h.ui.RowCount(kMainWindow, kPartitionList); ++r)
            if (h.ui.Cell(kMainWindow, kPartitionList, r, 0) == "G:\\") row = r;
        ASSERT_GE(row, 0);
        h.Press("E:\\I386", row);
        const std::string display = h.program.state.selection.display;
        ASSERT_EQ(h.Messages().size(), 1u);
        EXPECT_EQ(h.Messages()[0], "你选择的 " + display + " 是可移动驱动器，是否继续？\r\n注意：" +
                                       display + " 不是硬盘，如果继续将导致数据丢失！");
        EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconWarning));
        EXPECT_EQ(h.Open(), answer == kIdYes);
    }
}

TEST(XpSetup, MediaIsRecognisedInAnyCaseAndOnlyAtADrivesRoot) {
    XpHarness lower;
    lower.AddMedia("e:\\amd64\\winnt32.EXE", kBinary64);
    lower.Host64();
    lower.OpenWindow("e:\\amd64");
    EXPECT_EQ(lower.program.state.xpSetupSource, kXpFolder64);
    EXPECT_TRUE(lower.program.state.jobRunning);
    EXPECT_FALSE(lower.ui.IsEnabled(kMainWindow, kStartButton));

    XpHarness deeper;
    deeper.AddMedia("E:\\XP\\I386\\winnt32.EXE");
    deeper.Press("E:\\XP\\I386");
    EXPECT_EQ(
        deeper.Messages(),
        std::vector<std::string>{"本工具支持Gho、ISO、WIM、系统光盘快速装机，请选择正确的文件！"});
    EXPECT_FALSE(deeper.Open());
}

TEST(XpSetup, ASetupProgramChosenDirectlyIsCheckedByItsOwnVersionAndKind) {
    XpHarness other;
    other.AddMedia("E:\\XP\\setup.exe");
    other.sys.fileDescriptions["E:\\XP\\SETUP.EXE"] = "Windows Setup";
    other.Press("E:\\XP\\setup.exe");
    EXPECT_EQ(other.Messages(),
              std::vector<std::string>{"E:\\XP\\setup.exe 不是原版WindowsXP安装程序！"});
    EXPECT_EQ(other.ui.messageBoxes[0].flags, unsigned(kMbIconWarning));

    XpHarness wide;
    wide.AddMedia("E:\\XP\\winnt32.exe", kBinary64);
    wide.Press("E:\\XP\\winnt32.exe");
    EXPECT_EQ(wide.Messages(),
              std::vector<std::string>{"当前系统为32位系统，不可执行64位WindowsXP的安装程序！"});
    EXPECT_FALSE(wide.Open());

    XpHarness on64;
    on64.Host64();
    on64.AddMedia("E:\\XP\\winnt32.exe", kBinary64);
    on64.OpenWindow("E:\\XP\\winnt32.exe");
    EXPECT_EQ(on64.program.state.xpSetupSource, kXpProgram64);

    XpHarness narrow;
    narrow.AddMedia("E:\\XP\\winnt32.exe");
    narrow.OpenWindow("E:\\XP\\winnt32.exe");
    EXPECT_EQ(narrow.program.state.xpSetupSource, kXpProgram32);
    EXPECT_EQ(narrow.ui.GetText(W, kXpQuestion), "将 WindowsXP 安装到 D:\\(1:2) ？");
}

TEST(XpSetupLines, FourLinesByteForByte) {
    const struct {
        int source;
        bool automatic;
        const char* media;
        const char* line;
    } cases[] = {
        {kXpFolder32, true, "E:\\I386",
         "E:\\I386\\winnt32.exe  /syspart:D:\\ /dudisable /s:E:\\I386  /unattend:D:\\unattend.txt "
         "/makelocalsource /tempdrive:D:\\ /noreboot"},
        {kXpFolder64, false, "E:\\AMD64",
         "E:\\AMD64\\winnt32.exe  /syspart:D:\\ /dudisable /s:E:\\AMD64  /makelocalsource "
         "/tempdrive:D:\\ /noreboot"},
        {kXpProgram32, true, "E:\\XP\\I386\\winnt32.exe",
         "\"E:\\XP\\I386\\winnt32.exe\"  /syspart:D:\\ /dudisable /s:E:\\XP\\I386  "
         "/unattend:D:\\unattend.txt /makelocalsource /tempdrive:D:\\ /noreboot"},
        {kXpProgram64, false, "E:\\XP\\AMD64\\winnt32.exe",
         "\"E:\\XP\\AMD64\\winnt32.exe\"  /syspart:D:\\ /dudisable /s:E:\\XP\\AMD64\\ "
         "/makelocalsource /tempdrive:D:\\ /noreboot"},
        // A source folder with a blank is quoted, never with a backslash before the quote.
        {kXpProgram32, true, "E:\\XP CD\\I386\\winnt32.exe",
         "\"E:\\XP CD\\I386\\winnt32.exe\"  /syspart:D:\\ /dudisable /s:\"E:\\XP CD\\I386\"  "
         "/unattend:D:\\unattend.txt /makelocalsource /tempdrive:D:\\ /noreboot"},
        {kXpProgram32, false, "E:\\XP CD\\I386\\winnt32.exe",
         "\"E:\\XP CD\\I386\\winnt32.exe\"  /syspart:D:\\ /dudisable /s:\"E:\\XP CD\\I386\" "
         "/makelocalsource /tempdrive:D:\\ /noreboot"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XpSetupLine(c.source, c.automatic, c.media, "D:\\"), c.line) << c.media;
}

TEST(XpSetupLines, TheInterpreterKeepsEveryQuote) {
    const std::string plain = XpSetupLine(kXpProgram32, true, "E:\\XP\\winnt32.exe", "D:\\");
    EXPECT_EQ(XpLineForInterpreter(plain), plain);
    const std::string folder = XpSetupLine(kXpFolder32, true, "E:\\I386", "D:\\");
    EXPECT_EQ(XpLineForInterpreter(folder), folder);
    // Two quoted parts, or a bracket inside the quotes: the interpreter would strip the
    // first and the last quote of the line.
    const std::string blank = XpSetupLine(kXpProgram32, true, "E:\\XP CD\\winnt32.exe", "D:\\");
    EXPECT_EQ(XpLineForInterpreter(blank), "\"" + blank + "\"");
    const std::string bracket = XpSetupLine(kXpProgram32, true, "E:\\XP(SP3)\\winnt32.exe", "D:\\");
    EXPECT_EQ(XpLineForInterpreter(bracket), "\"" + bracket + "\"");
}

TEST(XpSetupAnswerFile, TheTemplateIsWrittenWhole) {
    const std::string text = kXpAnswerFileTemplate;
    EXPECT_EQ(text.size(), 809u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 46);
    EXPECT_EQ(text.find("\r\n"), text.find('\n') - 1);
    EXPECT_EQ(text.substr(0, 14), ";SetupMgrTag\r\n");
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    EXPECT_NE(text.find("[UserData]\r\n    ProductID=" + std::string(kXpTemplateProductId) +
                        "\r\n    FullName=\"Morvek\"\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("[RegionalSettings]\r\n    LanguageGroup=10\r\n"), std::string::npos);

    XpHarness empty;
    empty.OpenWindow();
    empty.ui.Click(W, kXpOk);
    EXPECT_EQ(empty.sys.FileContents("D:\\unattend.txt"), text);
    EXPECT_EQ(empty.sys.iniValues["D:\\UNATTEND.TXT"]["USERDATA|PRODUCTID"], kXpTemplateProductId);
    EXPECT_EQ(empty.sys.commandsRun, std::vector<std::string>{kFolderLine});

    XpHarness typed;
    typed.OpenWindow();
    typed.ui.SetText(W, kXpSerial, "ABCDE-12345-FGHIJ-67890-KLMNO");
    typed.ui.Click(W, kXpOk);
    EXPECT_EQ(typed.sys.iniValues["D:\\UNATTEND.TXT"]["USERDATA|PRODUCTID"],
              "ABCDE-12345-FGHIJ-67890-KLMNO");
}

TEST(XpSetupAnswerFile, ManualInstallWritesNoAnswerFileAndNamesNone) {
    XpHarness h;
    h.OpenWindow();
    EXPECT_TRUE(h.ui.IsEnabled(W, kXpSerial));
    h.ui.SelectItem(W, kXpModeChoice, kXpManual);
    EXPECT_FALSE(h.ui.IsEnabled(W, kXpSerial));
    h.ui.Click(W, kXpOk);
    EXPECT_FALSE(h.sys.HasFile("D:\\unattend.txt"));
    EXPECT_EQ(h.sys.commandsRun,
              std::vector<std::string>{"cmd.exe /c E:\\I386\\winnt32.exe  /syspart:D:\\ /dudisable "
                                       "/s:E:\\I386  /makelocalsource /tempdrive:D:\\ /noreboot"});
    EXPECT_FALSE(h.ui.IsEnabled(W, kXpSerial)) << "the serial box follows the mode after the run";

    XpHarness failing;
    failing.OpenWindow();
    failing.sys.failingWrites.insert("D:\\unattend.txt");
    failing.ui.Click(W, kXpOk);
    EXPECT_TRUE(failing.sys.commandsRun.empty()) << "setup never runs without its answer file";
    EXPECT_EQ(failing.Messages(),
              std::vector<std::string>{"写入无人值守安装文件 D:\\unattend.txt 失败！"});
    EXPECT_TRUE(failing.ui.IsVisible(W, kXpOk));
}

TEST(XpSetupCompletion, SetupThatLeftNothingIsAFailureNotPhaseOneDone) {
    XpHarness h;
    h.setupWorks = false;
    // Folders of an earlier attempt do not count for this one.
    h.sys.AddDirectory("D:\\$WIN_NT$.~BT");
    h.sys.AddDirectory("D:\\$WIN_NT$.~LS");
    h.ui.SetChecked(kMainWindow, kRestartOption, true);
    h.OpenWindow();
    h.ui.Click(W, kXpOk);
    EXPECT_EQ(h.Messages(),
              std::vector<std::string>{
                  "WindowsXP安装程序未能完成第一阶段的文件复制，请检查安装文件后重试！"});
    EXPECT_EQ(h.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    EXPECT_FALSE(h.ui.HasWindow(kCountdownWindow));
    EXPECT_TRUE(h.sys.powerLog.empty());
    EXPECT_TRUE(h.Open());
    EXPECT_TRUE(h.ui.IsVisible(W, kXpOk));
    EXPECT_TRUE(h.ui.IsVisible(W, kXpCancel));
    EXPECT_FALSE(h.ui.IsVisible(W, kXpStatus));
    EXPECT_FALSE(h.program.state.jobRunning);
}

TEST(XpSetupCompletion, PhaseOneDoneGoesToTheCountdownOrAsksToRestart) {
    XpHarness shutdown;
    shutdown.ui.Click(kMainWindow, kShutdownOption);
    shutdown.OpenWindow();
    std::string statusWhileRunning;
    shutdown.sys.onCommand = [&](const std::string&) {
        statusWhileRunning = shutdown.ui.GetText(W, kXpStatus);
        EXPECT_FALSE(shutdown.ui.IsVisible(W, kXpOk));
        EXPECT_TRUE(shutdown.ui.IsVisible(W, kXpStatus));
        shutdown.sys.AddDirectory("D:\\$WIN_NT$.~BT");
        shutdown.sys.AddDirectory("D:\\$WIN_NT$.~LS");
    };
    shutdown.ui.Click(W, kXpOk);
    EXPECT_EQ(statusWhileRunning, "正在安装 WindowsXP 到 D:\\(1:2) ，请稍后....");
    EXPECT_TRUE(shutdown.ui.HasWindow(kCountdownWindow));
    EXPECT_EQ(shutdown.program.state.shutdownAfterJob, 1);
    EXPECT_EQ(shutdown.program.state.finishedJobKind, FinishedJob::Setup);
    EXPECT_EQ(shutdown.ui.GetText(kCountdownWindow, kCountdownLabel),
              "安装已完成，10 秒后自动关机！");
    EXPECT_FALSE(shutdown.Open());
    EXPECT_TRUE(shutdown.Messages().empty());

    for (int answer : {kIdYes, kIdNo}) {
        XpHarness ask;
        ask.OpenWindow();
        ask.ui.messageBoxAnswers = {answer};
        ask.ui.Click(W, kXpOk);
        EXPECT_EQ(ask.Messages(),
                  std::vector<std::string>{
                      "WindowsXP安装第一阶段完成，是否重启计算机进行第二阶段的安装？"});
        EXPECT_EQ(ask.ui.messageBoxes[0].flags, unsigned(kMbYesNo | kMbIconInformation));
        EXPECT_FALSE(ask.ui.HasWindow(kCountdownWindow));
        EXPECT_EQ(!ask.sys.powerLog.empty(), answer == kIdYes);
        EXPECT_TRUE(ask.Open());
        EXPECT_EQ(ask.ui.GetText(W, kXpTitle), "安装 WindowsXP");
    }
}

TEST(XpSetupFormat, TheChosenFormatRunsFirstAndAFailureInstallsNothing) {
    XpHarness fat32;
    fat32.OpenWindow();
    fat32.ui.SelectItem(W, kXpFormatChoice, kXpFormatFat32);
    fat32.ui.Click(W, kXpOk);
    EXPECT_EQ(fat32.sys.shellLog, std::vector<std::string>{"formatex D:\\ FAT32 本地磁盘 quick 0"});
    EXPECT_EQ(fat32.BalloonTexts().at(0), "正在格式化 D:\\(1:2) ，请稍候....");
    EXPECT_EQ(fat32.sys.commandsRun, std::vector<std::string>{kFolderLine});

    XpHarness dialog;
    dialog.OpenWindow();
    dialog.ui.SelectItem(W, kXpFormatChoice, kXpFormatManual);
    dialog.sys.formatDialogResult = 0xFFFFFFFE;  // the user closed the dialog
    dialog.ui.Click(W, kXpOk);
    EXPECT_EQ(dialog.sys.shellLog, std::vector<std::string>{"format 3 options 1"});
    EXPECT_EQ(dialog.BalloonTexts().back(), "格式化 D:\\(1:2) 失败！");
    EXPECT_EQ(dialog.Messages(), std::vector<std::string>{"格式化 D:\\(1:2) 失败！"});
    EXPECT_EQ(dialog.ui.messageBoxes[0].flags, unsigned(kMbIconError));
    EXPECT_TRUE(dialog.sys.commandsRun.empty());
    EXPECT_FALSE(dialog.sys.HasFile("D:\\unattend.txt"));
    for (int control : {kXpFormatChoice, kXpModeChoice, kXpSerial, kXpOk, kXpCancel})
        EXPECT_TRUE(dialog.ui.IsEnabled(W, control)) << control;
}

TEST(XpSetupFormat, A64BitWindowsNeverFormatsAndTheBoxStaysDisabled) {
    XpHarness h;
    h.Host64();
    h.OpenWindow();
    EXPECT_EQ(h.ui.GetSelection(W, kXpFormatChoice), kXpFormatSkip);
    EXPECT_FALSE(h.ui.IsEnabled(W, kXpFormatChoice));
    h.ui.messageBoxAnswers = {kIdNo};
    h.ui.Click(W, kXpOk);
    EXPECT_TRUE(h.sys.shellLog.empty());
    EXPECT_EQ(h.sys.commandsRun, std::vector<std::string>{kFolderLine});
    EXPECT_FALSE(h.ui.IsEnabled(W, kXpFormatChoice)) << "the run's end leaves it disabled";
    EXPECT_TRUE(h.ui.IsEnabled(W, kXpModeChoice));
}

TEST(XpSetupWindow, CancelEndsTheJobAndFreesTheMainWindow) {
    XpHarness h;
    h.OpenWindow();
    h.ui.Click(W, kXpCancel);
    EXPECT_FALSE(h.Open());
    EXPECT_FALSE(h.program.state.jobRunning);
    EXPECT_TRUE(h.ui.IsEnabled(kMainWindow, kStartButton));
    EXPECT_TRUE(h.sys.commandsRun.empty());
}

}  // namespace
