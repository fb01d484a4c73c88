#include "iso/mount.h"

#include "base/console.h"
#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/image_files.h"

namespace {

const char kBadLettersMessage[] = "检测到系统盘符异常，部分功能将无法正常使用！";
const char kInvalidIsoMessage[] = "无效的ISO镜像文件，请选择正确的ISO镜像文件！";
const char kRetryMessage[] = "加载组件出现错误，请重试！";
const char kRestartMessage[] = "加载组件出现错误，请重启系统！";

bool LetterListed(Sys& sys, char letter) {
    for (const std::string& root : sys.GetLogicalDriveStrings())
        if (!root.empty() && SameDriveLetter(root[0], letter)) return true;
    return false;
}

// Size in whole KiB; a file that cannot be read counts as 0.
std::int64_t SizeKiB(Sys& sys, const std::string& path) {
    const std::int64_t bytes = sys.GetFileSize(path);
    return bytes < 0 ? 0 : bytes / 1024;
}

void ClearList(Program& program, int list) {
    program.ui.ClearItems(kMainWindow, list);
}

std::vector<std::string> Items(Program& program, int list) {
    std::vector<std::string> items;
    const int count = program.ui.ItemCount(kMainWindow, list);
    for (int i = 0; i < count; ++i) items.push_back(program.ui.ItemText(kMainWindow, list, i));
    return items;
}

// Lists matching files of the whole mounted tree with full paths.
void ListTree(Program& program, const std::string& letter, const std::string& pattern, int list) {
    std::string directory = letter + ":\\";
    std::string wanted = pattern;
    std::string filter;
    ListFilesOfTree(program, directory, list, wanted, true, filter, false, true);
}

// Remembers which ISO file lies behind the letter: images read from it live on the
// ISO file's drive.
void NoteMountedIso(Program& program, const std::string& letter, const std::string& isoPath) {
    program.state.isoBehindLetter[UpperAscii(letter)] = isoPath;
}

// I386 or AMD64 setup folder of Windows XP on the mounted drive: 1 selected, 0 not
// there, -1 there but not the setup stub.
int TrySetupFolder(Program& program, const std::string& folder, const std::string& isoPath) {
    const std::string stub = folder + "\\WINNT32.EXE";
    if (!program.sys.PathFileExists(stub)) return 0;
    if (!IsXpSetupStub(program.sys, stub)) {
        ShowBalloon(program, "提示", "错误或不支持的Windows安装镜像，请选择正确的Windows安装镜像！",
                    1, 0);
        Tell(program, "错误或不支持的Windows安装镜像，请选择正确的Windows安装镜像！", kMbIconError);
        return -1;
    }
    SelectImagePath(program, folder);
    ShowBalloon(program, "镜像加载成功", isoPath, 1, 0);
    return 1;
}

}  // namespace

std::string ChooseIsoLetter(Program& program, const std::vector<std::string>& candidates,
                            const std::string& lastLetter) {
    for (const std::string& letter : candidates)
        if (!LetterListed(program.sys, letter[0])) return letter;
    Tell(program, kBadLettersMessage, kMbIconError);
    return lastLetter;
}

std::string IsoMountCommand(Program& program, const std::string& letter,
                            const std::string& isoPath) {
    std::string qualified = program.sys.PathSearchAndQualify(isoPath, 260);
    if (qualified.empty()) qualified = isoPath;
    return WindowsDirectory(program.sys) + "ISO.exe /D:" + letter + " /I:\"" + qualified + "\"";
}

int PickFoundImage(const std::vector<std::string>& found, const std::vector<std::int64_t>& sizesKiB,
                   const std::string& letter) {
    for (const char* setupImage : {"\\sources\\install.wim", "\\sources\\install.esd"})
        for (size_t i = 0; i < found.size(); ++i)
            if (EqualsNoCase(found[i], letter + ":" + setupImage)) return int(i);
    for (size_t i = 0; i < found.size(); ++i) {
        // A setup's boot.wim is the small system that starts setup, never the image.
        if (EqualsNoCase(FileNameOf(found[i]), "boot.wim")) continue;
        if (i < sizesKiB.size() && sizesKiB[i] / 1024.0 > 200) return int(i);
    }
    return -1;
}

void OnMountIsoMenu(Program& program) {
    if (AskInformation(program, "是否加载至虚拟光驱？")) MountIsoAndList(program);
}

void MountIsoAndList(Program& program) {
    Sys& sys = program.sys;
    const std::string letter =
        ChooseIsoLetter(program, {"Z", "Y", "W", "A", "B"}, program.state.isoMenuLetter);
    if (letter.empty()) return;  // no free letter was ever found: nothing to mount on
    program.state.isoMenuLetter = letter;
    const int row = program.ui.GetSelection(kMainWindow, kImageList);
    const std::string iso =
        row < 0 ? std::string() : program.ui.ItemText(kMainWindow, kImageList, row);
    if (SizeKiB(sys, iso) < 1) return Tell(program, kInvalidIsoMessage, kMbIconWarning);

    LockMainWindow(program);
    program.state.isoToolUsed = true;
    ClearList(program, kIsoContentList);
    ShowBalloon(program, "提示", "正在加载：" + iso, 1, 0);
    sys.RunHiddenAndCapture(IsoMountCommand(program, letter, iso), false);
    NoteMountedIso(program, letter, iso);
    ListTree(program, letter, "*.*", kIsoContentList);

    if (program.ui.ItemCount(kMainWindow, kIsoContentList) == 0) {
        if (DriveExists(sys, letter)) {
            ShowBalloon(program, "镜像加载失败", iso, 1, 0);
            Tell(program, "无效或不支持的ISO映像文件，请选择正确的ISO镜像！", kMbIconWarning);
        } else {
            const char* text =
                ++program.state.isoLoadFailures < 2 ? kRetryMessage : kRestartMessage;
            ShowBalloon(program, "提示", text, 1, 0);
            Tell(program, text, kMbIconError);
        }
    } else {
        ShowBalloon(program, "镜像加载成功", iso, 1, 0);
        if (AskInformation(program, "加载 " + iso + ":\\ 完成，是否打开 " + letter + ":\\ ？"))
            sys.StartProgram("explorer.exe " + letter + ":\\", false, 0);
    }
    UnlockMainWindow(program);
}

void ClassifyMountedIso(Program& program, const std::string& isoPath) {
    Sys& sys = program.sys;
    Ui& ui = program.ui;
    const std::string letter =
        ChooseIsoLetter(program, {"Z", "Y", "W"}, program.state.isoBrowseLetter);
    if (letter.empty()) return;
    program.state.isoBrowseLetter = letter;
    LockMainWindow(program);
    if (SizeKiB(sys, isoPath) < 1) {
        Tell(program, kInvalidIsoMessage, kMbIconWarning);
        return UnlockMainWindow(program);
    }
    program.state.isoToolUsed = true;
    ClearList(program, kFoundImageList);
    ShowBalloon(program, "提示", "正在加载：" + isoPath, 1, 0);
    RunConsoleCommand(program, IsoMountCommand(program, letter, isoPath));
    NoteMountedIso(program, letter, isoPath);
    ListTree(program, letter, "*.Gho", kFoundImageList);
    ListTree(program, letter, "*.Wim", kFoundImageList);
    ListTree(program, letter, "*.esd", kFoundImageList);

    const std::vector<std::string> found = Items(program, kFoundImageList);
    if (!found.empty()) {
        for (size_t i = 0; i < found.size(); ++i)
            ui.InsertItem(kMainWindow, kImagePathBox, int(i), found[i]);
        std::vector<std::int64_t> sizes;
        for (const std::string& path : found) sizes.push_back(SizeKiB(sys, path));
        const int pick = PickFoundImage(found, sizes, letter);
        if (pick >= 0) SelectImagePath(program, found[size_t(pick)]);
        ShowImagePanel(program, ui.GetText(kMainWindow, kImagePathBox));
        ShowBalloon(program, "镜像加载成功", isoPath, 1, 0);
        return UnlockMainWindow(program);
    }
    int setup = TrySetupFolder(program, letter + ":\\I386", isoPath);
    if (setup == 0) setup = TrySetupFolder(program, letter + ":\\AMD64", isoPath);
    if (setup == 0) {
        if (DriveExists(sys, letter)) {
            ShowBalloon(program, "镜像加载失败", isoPath, 1, 0);
            Tell(program, "无效或不支持的ISO映像文件，请选择正确的Windows安装镜像！",
                 kMbIconWarning);
        } else if (++program.state.isoLoadFailures < 2) {
            ShowBalloon(program, "提示", kRetryMessage, 1, 0);
            Tell(program, kRetryMessage, kMbIconError);
        } else {
            ShowBalloon(program, "提示", kRestartMessage, 1, 0);
            Tell(program, "错误次数过多，建议重启系统！", kMbIconError);
        }
    }
    UnlockMainWindow(program);
}

void BrowseImageForRestore(Program& program) {
    Sys& sys = program.sys;
    const std::string current = sys.GetCurrentDirectory();
    const std::string start = current.size() >= 2 ? current.substr(0, 2) + "\\" : std::string();
    const std::string path = program.ui.OpenFileDialog(
        kMainWindow, "",
        "映像文件(*.Gho;*.WIM;*.ISO;*.EXE)|*.Gho;*.WIM;*.ISO;*.EXE|所有文件(*.*)|*.*", start);
    if (path.empty()) return;
    const std::string extension = UpperAscii(PathExtension(path));
    if (extension == ".ISO") return ClassifyMountedIso(program, path);
    if (extension == ".WIM" || extension == ".GHO") {
        if (SizeKiB(sys, path) > 0) {
            SelectImagePath(program, path);
            return ShowImagePanel(program, path);
        }
        return Tell(program,
                    extension == ".WIM" ? "无效的WIM映像文件，请选择正确的WIM映像文件！"
                                        : "无效的Ghost映像文件，请选择正确的Ghost映像文件！",
                    kMbIconWarning);
    }
    if (extension == ".EXE") {
        if (IsXpSetupStub(sys, path)) {
            const size_t slash = FindLastBackslash(path);
            return SelectImagePath(program,
                                   slash == std::string::npos ? path : path.substr(0, slash));
        }
        return Tell(program, "您选择的不是 WindowsXP 安装程序，请重新选择！ ", kMbIconWarning);
    }
    Tell(program, "你选择的系统安装映像文件不正确！", kMbIconWarning);
}
