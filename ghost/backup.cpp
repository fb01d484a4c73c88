#include "ghost/backup.h"

#include "app/console.h"
#include "app/date_time.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/text_util.h"
#include "app/tool_files.h"
#include "disk/inventory.h"
#include "ghost/command_lines.h"
#include "ghost/confirmation.h"
#include "ghost/countdown.h"

namespace {

class BackupConfirmation : public GhostConfirmation {
public:
    BackupConfirmation(Program& program, const std::string& savePath)
        : GhostConfirmation(program), savePath_(savePath) {}

    void Open() {
        Program& p = program_;
        // The split size is fixed here: later changes of the box do not reach this run.
        const std::string splitText = p.ui.GetText(kMainWindow, kSplitSizeBox);
        if (!IsAcceptableSplitText(splitText)) {
            Tell(p, "请输入分卷大小！", kMbIconWarning);
            return;
        }
        p.state.splitSwitch = SplitSwitchFor(splitText);
        Create("是否马上用 Ghost32 进行备份分区 " + Display() + " ？", "",
               "点击“确定(&C)”马上备份，点击“取消(&X)”返回程序。");
    }

private:
    std::string Display() { return program_.ui.GetText(kMainWindow, kSelectedDisplay); }

    void Ok() override {
        Program& p = program_;
        const std::string root = p.ui.GetText(kMainWindow, kSelectedRoot);
        if (UpperAscii(WindowsDirectory(p.sys).substr(0, 3)) != UpperAscii(root)) {
            Run();
            return;
        }
        if (IsGptDisk(p.sys, DiskNumberOf(p.sys, root)) == 1) {
            Tell(p, "当前系统盘为GPT分区，请在WindowsPE环境中安装。", kMbIconError);
            return;
        }
        // Backing up the running system needs reboot mode.
        Tell(p, "当前环境暂不支持备份正在运行的系统分区，请在WindowsPE环境中备份。", kMbIconError);
    }

    void Run() {
        Program& p = program_;
        const std::string display = Display();
        const std::string status = "Ghost正在备份 " + display + "，请稍候....";
        SetRunning(true, 240, status);
        ShowBalloon(p, "提示", status, 1, 0);
        p.state.ghostOutput = RunConsoleCommand(p, GhostBackupLine(LineInputsFrom(p, savePath_))).output;
        SetRunning(false, 240);

        // Shown whatever the result; an error message follows it.
        ShowBalloon(p, "提示", display + " 备份到 " + savePath_ + " 完成！", 1, 0);
        if (ReportGhostFailure(p, GhostJob::Backup, "备份")) return;
        if (!StartCompletionActionIfChosen(p, 1)) Tell(p, BackupReport(p, savePath_), kMbIconInformation);
        Close();
    }

    std::string savePath_;
};

}  // namespace

std::uint32_t RandomInRange(Sys& sys, std::uint32_t a, std::uint32_t b) {
    const std::uint32_t t = sys.ReadTimeStampCounter();
    return a + (t * 23u + 7u) % (b - a + 1u);
}

char RandomNameCharacter(Sys& sys) {
    switch (RandomInRange(sys, 1, 3)) {
        case 1:
            return static_cast<char>(RandomInRange(sys, '0', '9'));
        case 2:
            return static_cast<char>(RandomInRange(sys, 'A', 'Z'));
        default:
            return static_cast<char>(RandomInRange(sys, 'a', 'z'));
    }
}

std::string DefaultBackupName(Program& program) {
    Ui& ui = program.ui;
    const int row = program.state.selectedRow;
    std::string name = "Morvek_BAK_";
    if (row >= 0 && row < ui.RowCount(kMainWindow, kPartitionList)) {
        const std::string root = ui.Cell(kMainWindow, kPartitionList, row, 0);
        if (!root.empty()) name = root.substr(0, 1) + "_BAK_";
    }
    for (int i = 0; i < 5; ++i) name += RandomNameCharacter(program.sys);
    return name;
}

void OnBrowseSavePath(Program& program) {
    Ui& ui = program.ui;
    const int format = ui.GetSelection(kMainWindow, kBackupFormatBox);
    const std::string entry = format >= 0 ? ui.ItemText(kMainWindow, kBackupFormatBox, format) : "";
    const std::string extension = entry.empty() ? ".Gho" : entry.substr(entry.size() > 4 ? entry.size() - 4 : 0);
    const std::string path = ui.SaveFileDialog(kMainWindow, "保存Gho、WIM映像文件",
                                               "Windows 安装映像(*.Gho;*.WIM)|*.Gho;*.WIM",
                                               DefaultBackupName(program) + extension);
    if (path.empty()) return;
    ui.ClearItems(kMainWindow, kSavePathBox);
    ui.AddItem(kMainWindow, kSavePathBox, path);
    ui.SetSelection(kMainWindow, kSavePathBox, 0);
}

void StartBackup(Program& program) {
    Sys& sys = program.sys;
    Ui& ui = program.ui;
    const std::string savePath = ui.GetText(kMainWindow, kSavePathBox);
    if (savePath.empty()) return Tell(program, "请保存Gho、WIM映像文件！", kMbIconWarning);
    const std::string root = ui.GetText(kMainWindow, kSelectedRoot);
    const std::string display = ui.GetText(kMainWindow, kSelectedDisplay);
    if (root.empty()) return Tell(program, "请选择要备份的分区！", kMbIconWarning);
    if (!DriveExists(sys, root)) return Tell(program, "选择的分区 " + display + " 不存在！", kMbIconError);
    const std::string deviceType = ui.GetText(kMainWindow, kSelectedDeviceType);
    if (deviceType.empty()) return;
    // Letters compare without regard to case: d:\x.gho lies on D: too.
    if (SameDriveLetter(savePath[0], root[0]))
        return Tell(program, "需备份的分区不可与保存映像文件所在的路径相同！", kMbIconWarning);
    if (SameDriveLetter(savePath[0], 'X'))
        return Tell(program, "不可将 " + display +
                                 " 备份文件保存到WinPE系统分区！\r\n注意：此保存路径为内存分区，保存到此路径，将备份失败且导致死机等！",
                    kMbIconWarning);
    if (sys.PathFileExists(savePath) && !Ask(program, savePath + " 已存在，是否覆盖？")) return;
    if (deviceType != "硬盘驱动器" && !Ask(program, "你选择的 " + display + " 是" + deviceType + "，是否继续？"))
        return;

    const std::string extension = UpperAscii(PathExtension(savePath));
    if (extension == ".GHO") {
        if (ui.IsChecked(kMainWindow, kPasswordOption) && ui.GetText(kMainWindow, kPasswordBox).empty())
            return Tell(program, "请输入Gho密码", kMbIconWarning);
        OpenJobWindow<BackupConfirmation>(program, savePath)->Open();
        return;
    }
    if (extension == ".WIM") {
        if (SameDriveLetter(root[0], WindowsDirectory(sys)[0]))
            return Tell(program, "桌面环境暂不支持备份系统盘为WIM映像文件，请到WinPE环境操作！", kMbIconError);
        return;  // the WIM capture window takes over
    }
    Tell(program, "本工具支持Gho、WIM备份，请输入正确的文件！", kMbIconWarning);
}

std::string BackupReport(Program& program, const std::string& savePath) {
    const std::int64_t bytes = program.sys.GetFileSize(savePath);
    const long long megabytes = bytes > 0 ? (bytes >> 10) / 1024 : 0;
    return "Ghost备份完成！\r\n\r\n备份分区：" + program.ui.GetText(kMainWindow, kSelectedDisplay) +
           "\r\n\r\n保存位置：" + savePath + "\r\n\r\n" + "大      小：" + std::to_string(megabytes) +
           " MB" + "\r\n\r\n备份日期：" + FormatDateTime(program.sys.GetLocalTime(), 1, 0);
}
