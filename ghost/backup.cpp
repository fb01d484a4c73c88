#include "ghost/backup.h"

#include "base/date_time.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "disk/selection.h"
#include "ghost/command_lines.h"
#include "ghost/confirmation.h"
#include "ghost/running_system.h"

namespace {

// The DOS Ghost job that backs the partition up to the save path in DOS terms.
std::string RebootBackupJobText(Program& program, const std::string& dosSavePath) {
    return RebootBackupLine(LineInputsFrom(program, ""), dosSavePath);
}

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
    std::string Display() { return CurrentSelection(program_).display; }

    void Ok() override {
        switch (CheckRunningSystemPartition(program_, CurrentSelection(program_).root,
                                            "当前系统盘为GPT分区，请在WindowsPE环境中安装。")) {
            case RunningSystem::Elsewhere:
                break;
            case RunningSystem::Refused:
                return;
            case RunningSystem::RebootMode:
                program_.handOvers.rebootBackup(program_, *this, savePath_, RebootBackupJobText);
                return;
        }
        Run();
    }

    void Run() {
        Program& p = program_;
        const std::string display = Display();
        GhostRun run;
        run.job = GhostJob::Backup;
        run.jobName = "备份";
        run.commandLine = GhostBackupLine(LineInputsFrom(p, savePath_));
        run.statusWidth = 240;
        run.status = run.startBalloon = "Ghost正在备份 " + display + "，请稍候....";
        run.doneBalloon = display + " 备份到 " + savePath_ + " 完成！";
        run.doneBalloonWhatever = true;
        run.finished = FinishedJob::Backup;
        run.report = [this] { return BackupReport(program_, savePath_); };
        RunGhost(run);
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
    const std::string extension =
        entry.empty() ? ".Gho" : entry.substr(entry.size() > 4 ? entry.size() - 4 : 0);
    const std::string path = ui.SaveFileDialog(kMainWindow, "保存Gho、WIM映像文件",
                                               "Windows 安装映像(*.Gho;*.WIM)|*.Gho;*.WIM",
                                               DefaultBackupName(program) + extension);
    if (path.empty()) return;
    ui.ClearItems(kMainWindow, kSavePathBox);
    ui.AddItem(kMainWindow, kSavePathBox, path);
    ui.SetSelection(kMainWindow, kSavePathBox, 0);
}

void StartGhostBackup(Program& program, const std::string& savePath) {
    Ui& ui = program.ui;
    if (ui.IsChecked(kMainWindow, kPasswordOption) && ui.GetText(kMainWindow, kPasswordBox).empty())
        return Tell(program, "请输入Gho密码", kMbIconWarning);
    OpenWindow<BackupConfirmation>(program, savePath)->Open();
}

std::string BackupReport(Program& program, const std::string& savePath) {
    const std::int64_t bytes = program.sys.GetFileSize(savePath);
    const long long megabytes = bytes > 0 ? (bytes >> 10) / 1024 : 0;
    return "Ghost备份完成！\r\n\r\n备份分区：" + CurrentSelection(program).display +
           "\r\n\r\n保存位置：" + savePath + "\r\n\r\n" + "大      小：" +
           std::to_string(megabytes) + " MB" + "\r\n\r\n备份日期：" +
           FormatDateTime(program.sys.GetLocalTime(), 1, 0);
}
