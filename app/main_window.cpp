#include "app/main_window.h"

#include "app/modes.h"
#include "app/start_router.h"
#include "app/startup.h"
#include "base/completion.h"
#include "base/drives.h"
#include "base/exit.h"
#include "base/notify.h"
#include "disk/inventory.h"
#include "disk/partition_list.h"
#include "ghost/backup.h"
#include "ghost/command_lines.h"
#include "iso/mount.h"
#include "rebootmode/reboot_module.h"
#include "tools/image_menu.h"
#include "tools/image_search.h"
#include "tools/small_windows.h"
#include "wim/engine_window.h"

namespace {

void NotAvailableYet(Program& program) {
    TellNotAvailableYet(program);
}

void ShowMainMenuUnderButton(Program& program) {
    Ui& ui = program.ui;
    Rect window = ui.GetWindowRect(kMainWindow);
    Rect button = ui.GetRect(kMainWindow, kMenuButton);
    ui.PopupMenu(kMainWindow, kMainMenu, window.left + button.left, window.top + button.height);
}

void MinimiseMainWindow(Program& program) {
    program.ui.MinimiseWindow(kMainWindow);
}

// A stored tool started from the main menu: its missing-file message, or its window.
void StartStoredTool(Program& program, const std::string& file, const std::string& arguments,
                     const std::string& missingMessage) {
    const std::string path = WindowsDirectory(program.sys) + file;
    if (!program.sys.PathFileExists(path)) return Tell(program, missingMessage, kMbIconError);
    program.sys.StartProgram(path + arguments, false, 1000);
}

void StartBootice(Program& program) {
    StartStoredTool(program, "Bootice.exe", "", "主程序不存在，请尝试重启程序。");
}

void RenameSelectedVolume(Program& program) {
    if (SelectedDriveIsThere(program)) OpenVolumeLabelDialog(program);
}

// Nothing of its own: the control's state is read when a job runs.
constexpr Command::Handler kReadWhenNeeded = nullptr;

}  // namespace

// Every clickable control of the main window, once.
const std::vector<Command>& MainWindowControlCommands() {
    static const std::vector<Command> commands = {
        {kCloseButton, CleanUpAndExit},
        {kExitButton, CleanUpAndExit},
        {kMinimiseButton, MinimiseMainWindow},
        {kMenuButton, ShowMainMenuUnderButton},
        {kExpandButton, SetExpandedLayout},
        {kCollapseButton, SetCompactLayout},
        {kRestoreMode, SetRestoreMode},
        {kBackupMode, SetBackupMode},
        {kCopyMode, SetCopyMode},
        {kRestartOption, OnRestartOptionClicked},
        {kShutdownOption, OnShutdownOptionClicked},
        {kBackupFormatBox, OnBackupFormatChanged},
        {kManualGhostOption, OnManualGhostOptionClicked},
        {kPasswordOption, OnPasswordOptionChanged},
        {kCrcOption, OnCrcOptionChanged},
        {kNoIdeOption, OnNoIdeOptionChanged},
        {kCompressionBox, OnCompressionChanged},
        {kRefreshLabel, RefreshPartitions},
        {kStartButton, OnStartButton},
        {kBrowseButton, OnBrowseButton},
        {kCustomEnginesOption, OpenEngineWindow},
        {kImageSearchButton, SearchImageFiles},
        {kMakerLink, OpenMakerPage},
        {kIntegrityOption, kReadWhenNeeded},
        {kImagePathBox, kReadWhenNeeded},
        {kSavePathBox, kReadWhenNeeded},
        {kSplitSizeBox, kReadWhenNeeded},
        {kUnnamedCombo4, kReadWhenNeeded},
        {kImageList, ShowSelectedImage},
        {kFoundImageList, kReadWhenNeeded},
        {kIsoContentList, kReadWhenNeeded},
    };
    return commands;
}

// Every item of the main window's three menus, once.
const std::vector<Command>& MainWindowMenuCommands() {
    static const std::vector<Command> commands = {
        {kMenuAbout, OpenAboutWindow},
        {kMenuUninstall, UninstallBootModule},
        {kMenuBootice, StartBootice},
        {kMenuGhostExplorer, StartGhostExplorer},
        {kMenuBcdEdit, NotAvailableYet},
        {kMenuGrubEdit, NotAvailableYet},
        {kMenuAutoShutdown, OnAutoShutdownMenu},
        {kMenuAutoRestart, OnAutoRestartMenu},
        {kMenuRestartNow, OnRestartNowMenu},
        {kMenuShutdownNow, OnShutdownNowMenu},
        {kMenuExit, ExitFromMenu},
        {kMenuImageOpen, OpenInGhostExplorer},
        {kMenuImageExport, ExportImageFile},
        {kMenuImageMove, MoveImageFile},
        {kMenuImageDelete, DeleteImageFile},
        {kMenuImageMount, OnMountIsoMenu},
        {kMenuImageBrowse, RevealImageFile},
        {kMenuImageProperties, ShowImageProperties},
        {kMenuPartOpen, OnPartitionOpen},
        {kMenuPartFormat, OnPartitionFormat},
        {kMenuPartRename, RenameSelectedVolume},
        {kMenuPartInfo, OnPartitionInfo},
        {kMenuPartProperties, OnPartitionProperties},
        {kMenuPartRestart, OnPartitionRestart},
        {kMenuPartShutdown, OnPartitionShutdown},
    };
    return commands;
}

static void RunCommand(Program& program, const std::vector<Command>& commands, int id) {
    for (const Command& command : commands) {
        if (command.id != id) continue;
        if (command.run) command.run(program);
        return;
    }
}

int MainWindow::Run() {
    if (!program_.ui.CreateWindowFrom(MainWindowDesc(), this)) return 0;
    program_.ui.ShowWindow(kMainWindow, true);
    return program_.ui.RunMessageLoop();
}

void MainWindow::OnCreate(int) {
    RunStartUp(program_);
}

void MainWindow::OnFirstActivate(int) {
    CheckPartitionListNotEmpty(program_);
}

void MainWindow::OnControl(int, int control) {
    RunCommand(program_, MainWindowControlCommands(), control);
}

void MainWindow::OnListClick(int, int control, int row, bool rightButton) {
    if (control == kPartitionList) OnPartitionListClick(program_, row, rightButton);
    if (control == kTargetList && !rightButton) OnTargetListClick(program_, row);
    if (control == kImageList && rightButton) ShowImageListMenu(program_);
}

void MainWindow::OnMenu(int, int item) {
    RunCommand(program_, MainWindowMenuCommands(), item);
}

void MainWindow::OnTrayRightClick(int) {
    if (!program_.state.trayIconEnabled) return;
    int x = 0, y = 0;
    program_.ui.GetCursorPos(&x, &y);
    program_.ui.PopupMenu(kMainWindow, kMainMenu, x, y);
}

// Alt+F4 and the system menu's close act like the Exit item: refused while a job runs.
void MainWindow::OnClose(int) {
    ExitFromMenu(program_);
}

void MainWindow::OnDestroy(int) {
    EndOnWindowDestroyed(program_);
}
