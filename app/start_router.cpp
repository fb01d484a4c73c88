#include "app/start_router.h"

#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "disk/selection.h"
#include "ghost/backup.h"
#include "ghost/partition_copy.h"
#include "ghost/restore.h"
#include "iso/mount.h"
#include "setup/xp_setup.h"
#include "wim/imagex_backup.h"
#include "wim/imagex_restore.h"

ImageKind ImageKindOf(const std::string& path) {
    if (path.empty()) return ImageKind::None;
    const std::string extension = UpperAscii(PathExtension(path));
    if (extension == ".GHO") return ImageKind::Ghost;
    if (extension == ".WIM" || extension == ".ESD") return ImageKind::Wim;
    if (extension == ".EXE") return ImageKind::SetupMedia;
    std::string upper = UpperAscii(path);
    while (!upper.empty() && upper.back() == '\\') upper.pop_back();
    if (upper.size() > 2 && upper[1] == ':' &&
        (upper.substr(2) == "\\I386" || upper.substr(2) == "\\AMD64"))
        return ImageKind::SetupMedia;
    return ImageKind::Other;
}

Job JobFor(Mode mode, ImageKind kind) {
    switch (mode) {
        case Mode::Copy:
            return Job::PartitionCopy;
        case Mode::Restore:
            if (kind == ImageKind::Ghost) return Job::GhostRestore;
            if (kind == ImageKind::Wim) return Job::WimApply;
            if (kind == ImageKind::SetupMedia) return Job::XpSetup;
            return Job::WrongRestoreFile;
        case Mode::Backup:
            if (kind == ImageKind::Ghost) return Job::GhostBackup;
            if (kind == ImageKind::Wim) return Job::WimCapture;
            return Job::WrongBackupFile;
    }
    return Job::WrongRestoreFile;
}

namespace {

Mode CurrentMode(Ui& ui) {
    if (ui.IsChecked(kMainWindow, kBackupMode)) return Mode::Backup;
    if (ui.IsChecked(kMainWindow, kCopyMode)) return Mode::Copy;
    return Mode::Restore;
}

// What restore from any kind of image checks first.
bool RestoreChecksPass(Program& program, const std::string& image) {
    if (image.empty()) {
        Tell(program, "请选择Gho、ISO、WIM映像文件！", kMbIconWarning);
        return false;
    }
    if (!program.sys.PathFileExists(image)) {
        Tell(program, image + " 不存在！", kMbIconError);
        return false;
    }
    return true;
}

// What a Ghost and a WIM backup check alike, in order.
bool BackupChecksPass(Program& program, const std::string& savePath) {
    Sys& sys = program.sys;
    const SelectedPartition& selected = CurrentSelection(program);
    const std::string& root = selected.root;
    const std::string& display = selected.display;
    if (savePath.empty()) {
        Tell(program, "请保存Gho、WIM映像文件！", kMbIconWarning);
        return false;
    }
    if (root.empty()) {
        Tell(program, "请选择要备份的分区！", kMbIconWarning);
        return false;
    }
    if (!DriveExists(sys, root)) {
        Tell(program, "选择的分区 " + display + " 不存在！", kMbIconError);
        return false;
    }
    const std::string& deviceType = selected.deviceType;
    if (deviceType.empty()) return false;
    // Letters compare without regard to case: d:\x.gho lies on D: too.
    if (SameDriveLetter(savePath[0], root[0])) {
        Tell(program, "需备份的分区不可与保存映像文件所在的路径相同！", kMbIconWarning);
        return false;
    }
    if (SameDriveLetter(savePath[0], 'X')) {
        Tell(program,
             "不可将 " + display +
                 " 备份文件保存到WinPE系统分区！\r\n注意：此保存路径为内存分区，保存到此路径，将备"
                 "份失败且导致死机等！",
             kMbIconWarning);
        return false;
    }
    if (sys.PathFileExists(savePath) && !Ask(program, savePath + " 已存在，是否覆盖？"))
        return false;
    if (deviceType != "硬盘驱动器" &&
        !Ask(program, "你选择的 " + display + " 是" + deviceType + "，是否继续？"))
        return false;
    return true;
}

}  // namespace

void OnStartButton(Program& program) {
    Ui& ui = program.ui;
    const Mode mode = CurrentMode(ui);
    std::string path;
    if (mode == Mode::Restore) {
        path = ui.GetText(kMainWindow, kImagePathBox);
        if (!RestoreChecksPass(program, path)) return;
    } else if (mode == Mode::Backup) {
        path = ui.GetText(kMainWindow, kSavePathBox);
        if (!BackupChecksPass(program, path)) return;
    }

    switch (JobFor(mode, ImageKindOf(path))) {
        case Job::GhostRestore:
            return StartGhostRestore(program, path);
        case Job::GhostBackup:
            return StartGhostBackup(program, path);
        case Job::PartitionCopy:
            return StartPartitionCopy(program);
        case Job::WimCapture:
            return StartWimCapture(program, path);
        case Job::WimApply:
            return StartWimApply(program, path);
        case Job::XpSetup:
            return StartXpSetup(program, path);
        case Job::WrongRestoreFile:
            return Tell(program, "本工具支持Gho、ISO、WIM、系统光盘快速装机，请选择正确的文件！",
                        kMbIconWarning);
        case Job::WrongBackupFile:
            return Tell(program, "本工具支持Gho、WIM备份，请输入正确的文件！", kMbIconWarning);
    }
}

void OnBrowseButton(Program& program) {
    // Restore mode's browse button opens images and ISO files, with ISO mounting.
    if (program.ui.IsChecked(kMainWindow, kBackupMode))
        OnBrowseSavePath(program);
    else
        BrowseImageForRestore(program);
}
