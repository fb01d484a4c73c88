#include "ghost/restore.h"

#include "app/console.h"
#include "app/main_window.h"
#include "app/modes.h"
#include "app/startup.h"
#include "app/text_util.h"
#include "app/tool_files.h"
#include "disk/inventory.h"
#include "ghost/command_lines.h"
#include "ghost/confirmation.h"
#include "ghost/countdown.h"

namespace {

std::string FileTitle(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class RestoreConfirmation : public GhostConfirmation {
public:
    RestoreConfirmation(Program& program, const std::string& image)
        : GhostConfirmation(program), image_(image) {}

    // Nothing opens when the user declines the GPT question.
    void Open() {
        const std::string display = program_.ui.GetText(kMainWindow, kSelectedDisplay);
        if (program_.ui.GetText(kMainWindow, kSelectedPartitionType).find("GPT") != std::string::npos &&
            !Ask(program_, "检测到 " + display + " 是GPT分区，是否继续？\r\n注意：Ghost还原可能会导致扇区错误。"))
            return;
        Create("程序准备就绪，是否马上用 Ghost32 进行还原？", "注意：本操作将删除 " + display + " 上的所有数据。",
               "点击“确定(&C)”马上进行还原，点击“取消(&X)”返回程序。");
    }

private:
    void Ok() override {
        Program& p = program_;
        if (!p.sys.PathFileExists(p.state.ghostExePath)) {
            Tell(p, "出现错误，支持库写入失败，可能被安全软件拦截，请重启本程序！", kMbIconError);
            return;
        }
        const std::string root = p.ui.GetText(kMainWindow, kSelectedRoot);
        if (UpperAscii(WindowsDirectory(p.sys).substr(0, 3)) == UpperAscii(root)) {
            // The running system's partition cannot be overwritten while it runs.
            if (IsGptDisk(p.sys, DiskNumberOf(p.sys, root)) == 1) {
                Tell(p, "当前系统盘为GPT分区，请在WindowsPE环境中还原。", kMbIconError);
                return;
            }
            Tell(p, "当前环境暂不支持还原正在运行的系统分区，请在WindowsPE环境中还原。", kMbIconError);
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
        const std::string status = "Ghost正在应用映像到磁盘，请稍候....";
        SetRunning(true, 248, status);
        ShowBalloon(p, "提示", status, 1, 0);
        p.state.ghostOutput = RunConsoleCommand(p, GhostRestoreLine(LineInputsFrom(p, image_))).output;
        SetRunning(false, 248);

        const std::string display = p.ui.GetText(kMainWindow, kSelectedDisplay);
        if (ReportGhostFailure(p, GhostJob::Restore, "还原")) return;
        ShowBalloon(p, "提示", "Ghost应用映像到磁盘 " + display + " 完成！", 1, 0);
        WriteBootRecordsAfterGhost(p);
        Close();
        if (!StartCompletionActionIfChosen(p, 0))
            Tell(p, "Ghost应用映像到磁盘完成！\r\n映像名称：" + FileTitle(image_) + "\r\n安装分区：" + display,
                 kMbIconInformation);
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
    program.state.jobRunning = true;
    LockMainWindow(program);
    ui.ShowWindow(kMainWindow, false);
    ShowBalloon(program, "提示", "正在检查 " + image + " 镜像文件完整性。", 1, 0);
    const std::string output =
        RunConsoleCommandExact(program, GhostCheckLine(program.state.ghostExePath, image)).output;
    program.state.jobRunning = false;
    ui.ShowWindow(kMainWindow, true);
    UnlockMainWindow(program);
    ShowBalloon(program, "提示", image + "镜像文件完整性检查完成。", 1, 0);
    if (!output.empty()) {
        Tell(program, image + " 镜像文件不能通过完整性检查，程序无法继续！", kMbIconError);
        return false;
    }
    Tell(program, "经检查 " + image + " 镜像文件非常完整！", kMbIconInformation);
    return true;
}

// Windows XP setup media: its setup program, or an I386 or AMD64 folder at a drive's root.
bool IsSetupMedia(const std::string& image, const std::string& extension) {
    if (extension == ".EXE") return true;
    std::string upper = UpperAscii(image);
    while (!upper.empty() && upper.back() == '\\') upper.pop_back();
    return upper.size() > 2 && upper[1] == ':' &&
           (upper.substr(2) == "\\I386" || upper.substr(2) == "\\AMD64");
}

}  // namespace

void StartRestore(Program& program) {
    Sys& sys = program.sys;
    Ui& ui = program.ui;
    const std::string image = ui.GetText(kMainWindow, kImagePathBox);
    if (image.empty()) return Tell(program, "请选择Gho、ISO、WIM映像文件！", kMbIconWarning);
    if (!sys.PathFileExists(image)) return Tell(program, image + " 不存在！", kMbIconError);

    const std::string extension = UpperAscii(PathExtension(image));
    if (extension == ".WIM" || IsSetupMedia(image, extension)) return;  // their own jobs
    if (extension != ".GHO")
        return Tell(program, "本工具支持Gho、ISO、WIM、系统光盘快速装机，请选择正确的文件！", kMbIconWarning);

    const std::string root = ui.GetText(kMainWindow, kSelectedRoot);
    const std::string display = ui.GetText(kMainWindow, kSelectedDisplay);
    if (root.empty()) return Tell(program, "请选择要还原的分区！", kMbIconWarning);
    if (!DriveExists(sys, root)) return Tell(program, "选择的分区 " + display + " 不存在！", kMbIconError);
    // Letters compare without regard to case: d:\img.gho lies on D: too.
    if (SameDriveLetter(image[0], root[0]))
        return Tell(program, "需还原的分区不可与还原映像文件所在的路径相同！", kMbIconWarning);
    if (!ProbeDriveWritable(sys, root))
        return Tell(program, "选择的分区 " + display + " 写入数据失败，请选择正确的分区！", kMbIconError);
    if ((sys.GetFileSize(image) >> 10) <= 0)
        return Tell(program, "无效的Gho映像文件，请选择正确的Gho映像文件！", kMbIconWarning);

    const std::string deviceType = ui.GetText(kMainWindow, kSelectedDeviceType);
    if (deviceType.empty()) return;
    if (deviceType != "硬盘驱动器" &&
        !Ask(program, "你选择的 " + display + " 是" + deviceType + "，是否继续？\r\n注意：" + display +
                          " 不是硬盘，如果继续将导致数据丢失！"))
        return;

    if (ui.IsChecked(kMainWindow, kIntegrityOption) &&
        Ask(program, "还原前是否对镜像文件 " + image + " 镜像文件进行完整性检查？") &&
        !CheckImageIntegrity(program, image))
        return;

    if (ui.IsChecked(kMainWindow, kPasswordOption) && ui.GetText(kMainWindow, kPasswordBox).empty())
        return Tell(program, "请输入Gho密码", kMbIconWarning);

    OpenJobWindow<RestoreConfirmation>(program, image)->Open();
}

void WriteBootRecordsAfterGhost(Program& program) {
    Ui& ui = program.ui;
    const std::string root = ui.GetText(kMainWindow, kSelectedRoot);
    const std::string version = program.sys.GetFileVersion(root + "Windows\\system32\\CMD.exe");
    std::string mbr, pbr;
    if (version.compare(0, 1, "5") == 0) {
        mbr = " /mbr /install  /type=nt52  /quiet";
        pbr = " /pbr /install  /type=ntldr /quiet";
    } else if (version.compare(0, 1, "6") == 0 || version.compare(0, 2, "10") == 0) {
        mbr = " /mbr /install  /type=nt60  /quiet";
        pbr = " /pbr /install  /type=bootmgr /quiet";
    } else {
        return;
    }
    const std::string prefix = WindowsDirectory(program.sys) + "BOOTICE.EXE /DEVICE=" +
                               ui.GetText(kMainWindow, kSelectedDiskPartition);
    program.sys.StartProgram(prefix + mbr, true, 1000);
    program.sys.StartProgram(prefix + pbr, true, 1000);
}
