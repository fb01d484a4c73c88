#include "rebootmode/reboot_module.h"

#include "base/completion.h"
#include "base/console.h"
#include "base/drives.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "disk/inventory.h"
#include "disk/selection.h"
#include "resources/stored_tools.h"

namespace {

const char kRestartQuestionTail[] =
    "\r\n选择\"是(Y)\"立即重启系统，选择\"否(N)\"手动重启系统，选择\"取消\"不执行任何操作。";
const char kWriteFailed[] = "出现错误，程序无法继续。";
const char kBootWriteFailed[] = "写入引导出现错误，程序无法继续。";

std::string SystemRoot(Sys& sys) {
    return WindowsDirectory(sys).substr(0, 3);
}
std::string ModuleIni(Sys& sys) {
    return WindowsDirectory(sys) + "MorvekQii.ini";
}

void DeleteModuleFiles(Sys& sys) {
    const std::string root = SystemRoot(sys);
    for (const char* file : {"MvDOS.ima", "grldr", "mvldr.mbr", "ghost.ba_"})
        sys.DeleteFile(root + file);
}

bool WriteStored(Sys& sys, StoredTool tool, const std::string& path) {
    const StoredBytes bytes = StoredToolBytes(tool);
    return bytes.data && sys.WriteWholeFile(path, bytes.data, bytes.size);
}

void Fail(Program& program, const std::string& balloon, const std::string& message) {
    ShowBalloon(program, "提示", balloon, 1, 0);
    Tell(program, message, kMbIconError);
}

// "1:2" for the drive of a path on disk 1 partition 2, as DOS Ghost counts them.
std::string DiskPartitionOfDrive(Sys& sys, const std::string& path) {
    const std::string root = path.substr(0, 1) + ":\\";
    return std::to_string(DiskNumberOf(sys, root)) + ":" +
           std::to_string(PartitionNumberOf(sys, root));
}

// The bcdedit command words by job form and Windows version.
struct BcdeditWords {
    std::string remove, create, set, displayOrder, nextStart;
};
BcdeditWords BcdeditWordsFor(Sys& sys, ModuleForm form, SystemKind kind) {
    const std::string windows = WindowsDirectory(sys);
    if (form == ModuleForm::Restore && kind == SystemKind::Vista)
        return {windows + "\\system32\\bcdedit /delete ",
                windows + "system32\\bcdedit.exe /create /d ",
                windows + "system32\\bcdedit.exe /set ",
                windows + "system32\\bcdedit.exe /displayorder ",
                windows + "system32\\bcdedit.exe /bootsequence "};
    return {windows + "bcdedit /delete ", windows + "bcdedit /create /d ",
            windows + "bcdedit /set ", windows + "bcdedit /displayorder ",
            windows + "bcdedit /bootsequence "};
}

// The identifier bcdedit printed for a new entry, in its braces; "{}" when none.
std::string IdentifierIn(const std::string& output) {
    const size_t open = output.find('{');
    const size_t close = open == std::string::npos ? open : output.find('}', open);
    if (close == std::string::npos) return "{}";
    return "{" + output.substr(open + 1, close - open - 1) + "}";
}

bool Succeeded(const CommandResult& result) {
    return result.started && result.exitCode == 0;
}

// The Vista and later boot entry. On failure a half-made entry is deleted again.
bool WriteBcdEntry(Program& program, ModuleForm form, SystemKind kind) {
    Sys& sys = program.sys;
    const std::string windows = WindowsDirectory(sys);
    if (!sys.PathFileExists(windows + "bcdedit.exe")) {
        const std::string systemCopy = SystemDirectory(sys) + "bcdedit.exe";
        if (!(sys.PathFileExists(systemCopy) && sys.CopyFile(systemCopy, windows + "bcdedit.exe")))
            WriteStored(sys, StoredTool::Bcdedit, windows + "bcdedit.exe");
    }
    const BcdeditWords b = BcdeditWordsFor(sys, form, kind);
    const std::string ini = ModuleIni(sys);
    if (sys.PathFileExists(ini)) {
        const std::string oldId = sys.GetPrivateProfileString("system", "UID", "", ini, 260);
        if (!oldId.empty()) RunConsoleCommand(program, b.remove + oldId);
    }
    const CommandResult created = RunConsoleCommand(
        program, b.create + "\"" + program.state.moduleTitle + "\" /application bootsector");
    const std::string id = IdentifierIn(created.output);
    if (id == "{}" || !Succeeded(created)) return false;
    const std::string steps[] = {
        b.set + id + " device partition=" + SystemRoot(sys).substr(0, 2),
        b.set + id + " path \\mvldr.mbr",
        b.displayOrder + id + " /addlast",
        // The module starts once, at the next start only: after its job restarts the
        // machine, Windows starts again as before.
        b.nextStart + id,
    };
    for (const std::string& step : steps) {
        if (Succeeded(RunConsoleCommand(program, step))) continue;
        // A boot entry that does not work must never stay in the boot menu.
        RunConsoleCommand(program, b.remove + id);
        return false;
    }
    if (!sys.WritePrivateProfileString("system", "UID", id, ini)) {
        RunConsoleCommand(program, b.remove + id);
        return false;
    }
    return true;
}

// The XP entry in boot.ini; on failure boot.ini gets its old default back.
bool WriteBootIniEntry(Program& program, ModuleForm form) {
    Sys& sys = program.sys;
    const std::string root = SystemRoot(sys);
    const std::string bootIni = root + "boot.ini";
    const std::string loader = root + "grldr";
    RunConsoleCommand(program, "attrib -s -r -h " + bootIni);
    const std::string oldDefault =
        sys.GetPrivateProfileString("boot loader", "default", "", bootIni, 1024);
    bool ok = sys.WritePrivateProfileString("boot loader", "default", loader, bootIni) &&
              sys.WritePrivateProfileString("operating systems", loader, program.state.moduleTitle,
                                            bootIni);
    if (!ok) {
        if (!oldDefault.empty())
            sys.WritePrivateProfileString("boot loader", "default", oldDefault, bootIni);
        sys.DeletePrivateProfileKey("operating systems", loader, bootIni);
    }
    RunConsoleCommand(program, "attrib +s +r +h " + bootIni);
    if (!ok) return false;
    WriteStored(sys, StoredTool::BootFont, root + "bootfont.bin");
    if (form == ModuleForm::Restore)
        sys.WritePrivateProfileString("system", "XPID", loader + "=" + program.state.moduleTitle,
                                      ModuleIni(sys));
    return true;
}

void Cancelled(Program& program) {
    ShowBalloon(program, "提示", "用户取消操作。", 1, 0);
    Tell(program, "用户取消操作。", kMbIconInformation);
}

// The restart question's answer: kIdYes, kIdNo or kIdCancel.
int AskRestart(Program& program, const std::string& question) {
    return program.ui.MessageBox(program.ui.OwnProcessWindow(), question + kRestartQuestionTail,
                                 "提示", kMbYesNoCancel | kMbIconInformation);
}

}  // namespace

SystemKind RunningSystemKind(Sys& sys) {
    const std::string version =
        sys.GetFileVersion(SystemRoot(sys) + "\\Windows\\system32\\cmd.exe");
    if (version.compare(0, 2, "10") == 0) return SystemKind::Ten;
    if (version.compare(0, 1, "5") == 0) return SystemKind::Xp;
    if (version.compare(0, 1, "6") == 0) return SystemKind::Vista;
    return SystemKind::Other;
}

bool InstallBootModule(Program& program, ModuleForm form, JobDialog& dialog,
                       const std::string& jobText) {
    Sys& sys = program.sys;
    const std::string root = SystemRoot(sys);
    ShowBalloon(program, "提示", "正在写入引导，请稍候....", 1, 0);
    dialog.SetBusy(true, "正在写入引导，请稍候....");
    struct Restore {
        JobDialog& dialog;
        ~Restore() { dialog.SetBusy(false, ""); }
    } restoreDialog{dialog};

    DeleteModuleFiles(sys);
    if (!WriteStored(sys, StoredTool::MvDos, root + "MvDOS.ima")) {
        Fail(program, kWriteFailed, kWriteFailed);
        return false;
    }
    if (!WriteStored(sys, StoredTool::Grldr, root + "grldr")) {
        Fail(program, "写入出现错误，程序无法继续。", kBootWriteFailed);
        return false;
    }
    if (!WriteStored(sys, StoredTool::MvldrMbr, root + "mvldr.mbr")) {
        Fail(program, kBootWriteFailed, kBootWriteFailed);
        return false;
    }
    // The job goes in before the boot entry: an entry must never boot into a DOS
    // system that has no job to run.
    if (!sys.WriteWholeFile(root + "ghost.ba_", jobText.data(), jobText.size())) {
        Fail(program, kWriteFailed, kWriteFailed);
        return false;
    }
    const SystemKind kind = RunningSystemKind(sys);
    bool entryWritten = true;
    // XP starts the module from boot.ini through NTLDR, which needs the XP part of the
    // payload (the boot font and a loader NTLDR can start); a build without it leaves
    // boot.ini alone rather than make an entry that cannot start the default.
    if (kind == SystemKind::Xp)
        entryWritten =
            StoredToolBytes(StoredTool::BootFont).data && WriteBootIniEntry(program, form);
    if (kind == SystemKind::Vista || kind == SystemKind::Ten)
        entryWritten = WriteBcdEntry(program, form, kind);
    if (!entryWritten) {
        Fail(program, kBootWriteFailed, kBootWriteFailed);
        return false;
    }
    for (const char* file : {"MvDOS.ima", "grldr", "mvldr.mbr"}) sys.HideFile(root + file);
    ShowBalloon(program, "提示", "写入引导完成。", 1, 0);
    return true;
}

void PrepareRebootBackup(Program& program, JobDialog& dialog, const std::string& savePath,
                         HandOvers::RebootJobText jobText) {
    const std::string& title = program.state.moduleTitle;
    const int answer = AskRestart(program, "程序已准备完成，请重启系统进入" + title + "进行备份。");
    if (answer == kIdCancel) return Cancelled(program);
    // "D:\bak\c.gho" on disk 1 partition 2 becomes "1:2:\bak\c.gho".
    const std::string text =
        jobText(program, DiskPartitionOfDrive(program.sys, savePath) + savePath.substr(1));
    if (!InstallBootModule(program, ModuleForm::Backup, dialog, text)) {
        DeleteModuleFiles(program.sys);
        return;
    }
    if (answer == kIdYes) {
        program.state.shutdownAfterJob = 0;
        program.state.finishedJobKind = FinishedJob::Prepared;
        OpenCompletionCountdown(program);
        dialog.CloseDialog();
        return;
    }
    ShowBalloon(program, "提示", "Ghost备份准备完成，重启系统进入" + title + "即可进行备份。", 1,
                0);
    Tell(program, "Ghost备份准备完成，请重启系统进入" + title + "进行备份。", kMbIconInformation);
}

void PrepareRebootRestore(Program& program, JobDialog& dialog, const std::string& image,
                          HandOvers::RebootJobText jobText) {
    Sys& sys = program.sys;
    const std::string& title = program.state.moduleTitle;
    const std::vector<std::string> roots = ListDriveRoots(sys, 0);
    if (roots.empty())
        return Tell(program, "复制系统安装映像文件出现错误，程序无法继续。", kMbIconError);
    const std::string imageDrive = roots.back();
    const std::string copy = imageDrive + "MorvekOS\\MorvekOS.GHO";
    {
        dialog.SetBusy(true, "正在复制映像到磁盘，请稍候....");
        struct Restore {
            JobDialog& dialog;
            ~Restore() { dialog.SetBusy(false, ""); }
        } restoreDialog{dialog};
        sys.CreateDirectories(imageDrive + "MorvekOS");
        ShowBalloon(program, "提示", "正在复制系统安装映像文件，请您稍后.....", 1, 0);
        if (UpperAscii(image) != UpperAscii(copy) && !sys.CopyFile(image, copy))
            return Tell(program, "复制系统安装映像文件出现错误，程序无法继续。", kMbIconError);
    }
    const int answer =
        AskRestart(program, "系统安装映像文件复制完成，请重启系统进入" + title + "进行安装。");
    if (answer == kIdCancel) return Cancelled(program);
    const std::string dosDrive = DiskPartitionOfDrive(sys, imageDrive);
    if (!InstallBootModule(program, ModuleForm::Restore, dialog, jobText(program, dosDrive))) {
        DeleteModuleFiles(sys);
        return;
    }
    if (answer == kIdYes) {
        program.state.shutdownAfterJob = 0;
        program.state.finishedJobKind = FinishedJob::Restore;
        OpenCompletionCountdown(program);
        dialog.CloseDialog();
        return;
    }
    const std::string done = "Ghost还原准备完成，重启系统进入" + title + "即可进行还原。";
    ShowBalloon(program, "提示", done, 1, 0);
    Tell(program, done, kMbIconInformation);
}

void UninstallBootModule(Program& program) {
    Sys& sys = program.sys;
    const std::string ini = ModuleIni(sys);
    const char kNotInstalled[] = "本机尚未安装岚舟软件一键备份还原模块。";
    const char kDone[] = "卸载岚舟软件一键备份还原模块完成。";
    if (!sys.PathFileExists(ini)) return Tell(program, kNotInstalled, kMbIconWarning);
    const std::string id = sys.GetPrivateProfileString("system", "UID", "", ini, 260);
    if (!id.empty()) {
        RunConsoleCommand(program, WindowsDirectory(sys) + "bcdedit /delete " + id);
        DeleteModuleFiles(sys);
        sys.WritePrivateProfileString("system", "UID", "", ini);
        return Tell(program, kDone, kMbIconWarning);
    }
    const std::string xpId = sys.GetPrivateProfileString("system", "XPID", "", ini, 260);
    if (xpId.empty()) return Tell(program, kNotInstalled, kMbIconWarning);
    const std::string root = SystemRoot(sys);
    const std::string bootIni = root + "boot.ini";
    const std::string loader = root + "grldr";
    RunConsoleCommand(program, "attrib -s -r -h " + bootIni);
    // The default the install replaced was not recorded: the first system of the menu
    // becomes the default again.
    if (EqualsNoCase(sys.GetPrivateProfileString("boot loader", "default", "", bootIni, 1024),
                     loader))
        sys.DeletePrivateProfileKey("boot loader", "default", bootIni);
    sys.DeletePrivateProfileKey("operating systems", loader, bootIni);
    RunConsoleCommand(program, "attrib +s +r +h " + bootIni);
    // Cleared, so that the module no longer counts as installed.
    sys.WritePrivateProfileString("system", "XPID", "", ini);
    Tell(program, kDone, kMbIconWarning);
}
