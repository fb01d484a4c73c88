#include "wim/boot_files.h"

#include "base/console.h"
#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "disk/boot_records.h"
#include "disk/inventory.h"

std::string BootDeviceFor(int bootMode, const std::string& targetDiskBootPartition,
                          const std::string& firstWindowsDrive, const std::string& bootModeText) {
    if (bootMode == 0) return targetDiskBootPartition;
    if (bootMode == 1) return firstWindowsDrive;
    return bootModeText;
}

std::string BootPartitionOfDisk(Program& program, int disk) {
    if (disk < 1) return std::string();
    const std::string wanted = std::to_string(disk) + ":1";
    Ui& ui = program.ui;
    const int rows = ui.RowCount(kMainWindow, kPartitionList);
    for (int row = 0; row < rows; ++row)
        if (RemoveSpaces(ui.Cell(kMainWindow, kPartitionList, row, 1)) == wanted)
            return ui.Cell(kMainWindow, kPartitionList, row, 0);
    return std::string();
}

std::string FirstWindowsDrive(Program& program) {
    for (const std::string& root : ListDriveRoots(program.sys, 0)) {
        // WinPE's own system drive holds a Windows too, but it is gone after a restart.
        if (root.empty() || SameDriveLetter(root[0], 'X')) continue;
        const std::string letter = root.substr(0, 1);
        if (program.sys.PathFileExists(letter + ":\\Windows\\system32\\cmd.exe"))
            return letter + ":\\";
    }
    return std::string();
}

namespace {

void Say(Program& program, const BootFilesJob& job, const std::string& text) {
    ShowBalloon(program, "提示", text, 1, 0);
    if (job.status) job.status(text);
}

}  // namespace

void AddBootFiles(Program& program, const BootFilesJob& job) {
    Sys& sys = program.sys;
    if (job.status) job.status("正在添加引导，请稍候......");
    const std::string& device = job.device;
    if (device.empty()) {
        const std::string text = "获取主引导盘失败，无法添加引导文件！";
        Say(program, job, text);
        Tell(program, text, kMbIconError);
        return;
    }
    RunConsoleCommand(program, BooticeLine(sys, device, kBooticeNt60Mbr));
    RunConsoleCommand(program, BooticeLine(sys, device, kBooticeActivate));
    const std::string create = "BCDBOOT.EXE " + job.targetRoot + "\\Windows /s " + device;
    // The language line names the same boot partition, not bcdboot's own choice.
    const std::string language =
        "BCDBOOT.EXE " + job.targetRoot + "\\Windows /l zh-cn /s " + device;
    const std::string output = RunConsoleCommand(program, create).output;
    if (FindNoCase(output, "successfully") != std::string::npos ||
        output.find("成功") != std::string::npos) {
        RunConsoleCommand(program, language);
        return;
    }
    Say(program, job, "创建引导文件失败！");
    if (program.ui.MessageBox(
            program.ui.OwnProcessWindow(),
            "创建引导文件失败，是否使用批处理模式重试？\r\n错误信息：\r\n" + output, "提示",
            kMbYesNo | kMbIconError) != kIdYes)
        return;
    const std::string script = WindowsDirectory(sys) + "yd.cmd";
    const std::string text =
        "BCDBOOT.EXE " + job.targetRoot + "\\Windows /S " + device + "\r\n" + language;
    sys.WriteWholeFile(script, text.data(), text.size());
    sys.RunProgramAndWait("cmd.exe /c \"" + script + "\"");
}

void AddUnattendFile(Program& program, const std::string& targetRoot,
                     const std::string& unattendPath,
                     const std::function<void(const std::string&)>& status) {
    Sys& sys = program.sys;
    if (unattendPath.empty()) {
        ShowBalloon(program, "提示", "未选择无人值守安装文件，自动跳过。", 1, 0);
        return;
    }
    if (!sys.PathFileExists(unattendPath)) {
        ShowBalloon(program, "提示", "无人值守安装文件不存在。", 1, 0);
        Tell(program, "无人值守安装文件不存在。", kMbIconError);
        return;
    }
    const std::string answer = targetRoot + "Windows\\Panther\\Unattend.xml";
    if (sys.PathFileExists(answer) &&
        !Ask(program, targetRoot + "Windows "
                                   "下已存在无人值守应答文件，是否覆盖？\r\n注意：如果覆盖，将导致"
                                   "系统安装失败，请谨慎选择。"))
        return;
    if (status) status("正在添加无人值守安装文件......");
    const std::string panther = targetRoot + "Windows\\Panther";
    if (!sys.IsDirectory(panther)) RunConsoleCommand(program, "MD " + panther);
    if (sys.PathFileExists(targetRoot + "windows\\system32\\cmd.exe") &&
        sys.CopyFile(unattendPath, answer)) {
        ShowBalloon(program, "提示", "添加无人值守安装文件成功！", 1, 0);
        if (status) status("添加无人值守安装文件成功！");
        return;
    }
    ShowBalloon(program, "提示", "添加无人值守安装文件失败！", 1, 0);
    if (status) status("添加无人值守安装文件失败！");
    Tell(program, "添加无人值守安装文件失败！", kMbIconError);
}
