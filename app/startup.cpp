#include "app/startup.h"

#include "base/drives.h"
#include "base/notify.h"
#include "app/config.h"
#include "base/console.h"
#include "app/main_window.h"
#include "app/modes.h"
#include "base/text_util.h"
#include "base/tool_files.h"
#include "disk/image_files.h"
#include "disk/inventory.h"
#include "rebootmode/reboot_module.h"
#include "tools/image_search.h"

void EnsureSingleInstance(Program& program, const std::string& eventName) {
    if (program.sys.OpenEvent(eventName)) {
        Tell(program, "请勿重复运行！！", kMbOk | kMbIconWarning);
        program.sys.ExitProcess(0);
    }
    program.sys.CreateEvent(eventName);
}

std::string WelcomeText(const ProgramState& state) {
    return "欢迎使用" + state.programTitle +
           "\r\n本工具支持Gho、WIM、Windows原版ISO镜像、Ghost版ISO镜像和系统光盘一键快速装机和Ghost"
           "、"
           "Imagex一键备份。"
           "\r\n装机前请备份重要数据。\r\n问题与建议请联系岚舟软件。";
}

static void ReadCommandLine(Program& program) {
    const std::vector<std::string> args = program.sys.CommandLineArguments();
    if (args.empty()) return;
    program.state.searchImagesAtStart = false;
    if (LowerAscii(args[0]).compare(0, 7, "/config") == 0) {
        program.state.commandLineMode = true;
        LoadConfiguration(program);
        return;
    }
    Tell(program, "命令行参数错误。", kMbIconError);
    program.sys.ExitProcess(0);
}

static void CheckVirtualDriveLetters(Program& program) {
    for (const char* letter : {"Z", "Y", "W"})
        if (!DriveExists(program.sys, letter)) return;
    Tell(program,
         "检测到虚拟光驱组件异常，部分功能将无法正常使用！\r\n"
         "注意：如第三方虚拟光驱工具加载过多，则可能导致\r\n"
         "出现此错误，建议卸载并关闭第三方虚拟光驱工具。",
         kMbIconError);
}

static void CentreMainWindow(Program& program) {
    Rect screen;
    program.ui.GetScreenSize(&screen.width, &screen.height);
    program.ui.MoveWindow(kMainWindow, CentredIn(program.ui.GetWindowRect(kMainWindow), screen));
}

void RunStartUp(Program& program) {
    Sys& sys = program.sys;
    Ui& ui = program.ui;
    ProgramState& state = program.state;

    EnsureSingleInstance(program, "qii");

    state.moduleTitle =
        "岚舟软件"
        "一键备份还原";
    ui.SetMenuItemText(kMainWindow, kMenuUninstall, "卸载一键备份还原模块");

    ui.SetTrayTooltip(kMainWindow, state.programTitle);
    ui.SetWindowCaption(kMainWindow, state.programTitle);

    const std::string windows = WindowsDirectory(sys);
    state.ghostExePath = StoredGhostPath(sys);
    state.imagexExePath = StoredImagexPath(sys);
    state.crcIgnoreSwitch = " -crcignore ";
    state.noIdeSwitch = " -noide";
    state.ghostCompressionSwitch = " -z9";

    ui.SetSelection(kMainWindow, kSplitSizeBox, 0);

    ReadCommandLine(program);

    // Jobs on the running system's own partition go to reboot mode.
    program.handOvers.rebootBackup = PrepareRebootBackup;
    program.handOvers.rebootRestore = PrepareRebootRestore;

    // In a preinstallation environment there is no installed module to remove.
    if (!windows.empty() && UpperAscii(windows.substr(0, 1)) == "X")
        ui.EnableMenuItem(kMainWindow, kMenuUninstall, false);

    LoadPartitionInventory(program, kPartitionList);

    WriteToolFiles(program);

    if (ui.IsChecked(kMainWindow, kRestartOption))
        ui.CheckMenuItem(kMainWindow, kMenuAutoRestart, true);
    else if (ui.IsChecked(kMainWindow, kShutdownOption))
        ui.CheckMenuItem(kMainWindow, kMenuAutoShutdown, true);

    if (state.searchImagesAtStart) {
        StartupImageSearch(program);
        PreselectImageAndShowPanel(program);
    }

    SetCompactLayout(program);
    CheckVirtualDriveLetters(program);
    CentreMainWindow(program);
    ShowBalloon(program, "欢迎使用", WelcomeText(state), 1, 90000);
}
