#include "ghost/restore.h"

#include "base/console.h"
#include "base/drives.h"
#include "base/exit.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/boot_records.h"
#include "disk/selection.h"
#include "ghost/command_lines.h"
#include "ghost/confirmation.h"
#include "ghost/running_system.h"

namespace {

// The DOS Ghost job that restores the image copied onto the image drive.
std::string RebootRestoreJobText(Program& program, const std::string& imageDrive) {
    return RebootRestoreLine(LineInputsFrom(program, ""), imageDrive);
}

class RestoreConfirmation : public GhostConfirmation {
  public:
    RestoreConfirmation(Program& program, const std::string& image)
        : GhostConfirmation(program), image_(image) {}

    // Nothing opens when the user declines the GPT question.
    void Open() {
        const SelectedPartition& selected = CurrentSelection(program_);
        const std::string& display = selected.display;
        if (selected.partitionType.find("GPT") != std::string::npos &&
            !Ask(program_, "检测到 " + display +
                               " 是GPT分区，是否继续？\r\n注意：Ghost还原可能会导致扇区错误。"))
            return;
        Create("程序准备就绪，是否马上用 Ghost32 进行还原？",
               "注意：本操作将删除 " + display + " 上的所有数据。",
               "点击“确定(&C)”马上进行还原，点击“取消(&X)”返回程序。");
    }

  private:
    void Ok() override {
        Program& p = program_;
        if (!p.sys.PathFileExists(p.state.ghostExePath)) {
            Tell(p, "出现错误，支持库写入失败，可能被安全软件拦截，请重启本程序！", kMbIconError);
            return;
        }
        switch (CheckRunningSystemPartition(p, CurrentSelection(p).root,
                                            "当前系统盘为GPT分区，请在WindowsPE环境中还原。")) {
            case RunningSystem::Elsewhere:
                break;
            case RunningSystem::Refused:
                return;
            case RunningSystem::RebootMode:
                p.handOvers.rebootRestore(p, *this, image_, RebootRestoreJobText);
                return;
        }
        if (!p.sys.PathFileExists(image_)) {
            Tell(p, image_ + " 不存在！", kMbIconError);
            return;
        }
        Run();
    }

    void Run() {
        Program& p = program_;
        const std::string display = CurrentSelection(p).display;
        GhostRun run;
        run.job = GhostJob::Restore;
        run.jobName = "还原";
        run.commandLine = GhostRestoreLine(LineInputsFrom(p, image_));
        run.statusWidth = 248;
        run.status = run.startBalloon = "Ghost正在应用映像到磁盘，请稍候....";
        run.doneBalloon = "Ghost应用映像到磁盘 " + display + " 完成！";
        run.finished = FinishedJob::Restore;
        // The partition confirmed now, whatever is clicked while Ghost runs.
        const SelectedPartition target = CurrentSelection(p);
        run.afterSuccess = [&p, target] {
            WriteBootRecordsAfterGhost(p, target.root, target.diskPartition);
        };
        run.report = [this, display] {
            return "Ghost应用映像到磁盘完成！\r\n映像名称：" + FileNameOf(image_) +
                   "\r\n安装分区：" + display;
        };
        RunGhost(run);
    }

    void Cancel() override {
        if (program_.state.commandLineMode) {
            CleanUpAndExit(program_);
            return;
        }
        Close();
    }

    std::string image_;
};

// Checks an image and reports; true when it passed.
bool CheckImageIntegrity(Program& program, const std::string& image) {
    Ui& ui = program.ui;
    std::string output;
    {
        JobLock lock(program);
        ui.ShowWindow(kMainWindow, false);
        ShowBalloon(program, "提示", "正在检查 " + image + " 镜像文件完整性。", 1, 0);
        output = GhostOutputOf(
            RunConsoleCommandExact(program, GhostCheckLine(program.state.ghostExePath, image)));
        ui.ShowWindow(kMainWindow, true);
    }
    ShowBalloon(program, "提示", image + "镜像文件完整性检查完成。", 1, 0);
    if (!output.empty()) {
        Tell(program, image + " 镜像文件不能通过完整性检查，程序无法继续！", kMbIconError);
        return false;
    }
    Tell(program, "经检查 " + image + " 镜像文件非常完整！", kMbIconInformation);
    return true;
}

}  // namespace

void StartGhostRestore(Program& program, const std::string& image) {
    Sys& sys = program.sys;
    Ui& ui = program.ui;
    const SelectedPartition& selected = CurrentSelection(program);
    const std::string& root = selected.root;
    const std::string& display = selected.display;
    if (root.empty()) return Tell(program, "请选择要还原的分区！", kMbIconWarning);
    if (!DriveExists(sys, root))
        return Tell(program, "选择的分区 " + display + " 不存在！", kMbIconError);
    // Letters compare without regard to case: d:\img.gho lies on D: too, and an image on a
    // mounted ISO lies on the ISO file's drive.
    if (SameDriveLetter(DriveHoldingImage(program.state, image), root[0]))
        return Tell(program, "需还原的分区不可与还原映像文件所在的路径相同！", kMbIconWarning);
    if (!ProbeDriveWritable(sys, root))
        return Tell(program, "选择的分区 " + display + " 写入数据失败，请选择正确的分区！",
                    kMbIconError);
    if ((sys.GetFileSize(image) >> 10) <= 0)
        return Tell(program, "无效的Gho映像文件，请选择正确的Gho映像文件！", kMbIconWarning);

    const std::string& deviceType = selected.deviceType;
    if (deviceType.empty()) return;
    if (deviceType != "硬盘驱动器" &&
        !Ask(program, "你选择的 " + display + " 是" + deviceType + "，是否继续？\r\n注意：" +
                          display + " 不是硬盘，如果继续将导致数据丢失！"))
        return;

    if (ui.IsChecked(kMainWindow, kIntegrityOption) &&
        Ask(program, "还原前是否对镜像文件 " + image + " 镜像文件进行完整性检查？") &&
        !CheckImageIntegrity(program, image))
        return;

    if (ui.IsChecked(kMainWindow, kPasswordOption) && ui.GetText(kMainWindow, kPasswordBox).empty())
        return Tell(program, "请输入Gho密码", kMbIconWarning);

    OpenWindow<RestoreConfirmation>(program, image)->Open();
}
