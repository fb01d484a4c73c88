// The main window: its description (controls, captions, menus) and its handlers.
#pragma once

#include "app/program.h"

// Controls of the main window.
enum MainControl : int {
    kRestoreMode = 101,
    kBackupMode,
    kCopyMode,
    kPromptLabel,
    kImagePathBox,
    kSavePathBox,
    kBrowseButton,
    kBackupFormatLabel,
    kBackupFormatBox,
    kOptionsTitle,
    kCustomEnginesOption,
    kManualGhostOption,
    kNoIdeOption,
    kIntegrityOption,
    kRestartOption,
    kShutdownOption,
    kPasswordOption,
    kPasswordBox,
    kCrcOption,
    kSplitSizeBox,
    kCompressionBox,
    kUnnamedCombo4,
    kPartitionList,
    kTargetList,
    kTargetLabel,
    kRefreshLabel,
    kStartButton,
    kExitButton,
    kCloseButton,
    kMenuButton,
    kMinimiseButton,
    kExpandButton,
    kCollapseButton,
    kImageSearchButton,
    kImageList,
    kImageTimeLabel,
    kImageSizeLabel,
    kImageNoteLabel,
    kSearchDepthLabel,
    kSearchDepthBox,
    kSearchDepthNote,
    kVersionLabel,
    kMakerLink,
    kPictureBox1,
    kPictureBox2,
    kPictureBox3,
    kSelectedRoot,
    kSelectedDiskPartition,
    kSelectedDisplay,
    kSelectedPartitionType,
    kSelectedDeviceType,
};

// Popup menus and their items.
enum MainMenu : int { kMainMenu = 1, kImageListMenu, kPartitionMenu };
enum MainMenuItem : int {
    kMenuAbout = 201,
    kMenuUninstall,
    kMenuBootice,
    kMenuGhostExplorer,
    kMenuBcdEdit,
    kMenuGrubEdit,
    kMenuAutoShutdown,
    kMenuAutoRestart,
    kMenuRestartNow,
    kMenuShutdownNow,
    kMenuExit,
    kMenuImageOpen,
    kMenuImageExport,
    kMenuImageMove,
    kMenuImageDelete,
    kMenuImageMount,
    kMenuImageBrowse,
    kMenuImageProperties,
    kMenuPartOpen,
    kMenuPartFormat,
    kMenuPartRename,
    kMenuPartInfo,
    kMenuPartProperties,
    kMenuPartRestart,
    kMenuPartShutdown,
};

WindowDesc MainWindowDesc();

class MainWindow : public UiEvents {
public:
    explicit MainWindow(Program& program) : program_(program) {}
    // Creates the window (start-up runs in its creation handler) and runs the loop.
    int Run();

    void OnCreate(int window) override;
    void OnFirstActivate(int window) override;
    void OnControl(int window, int control) override;
    void OnListClick(int window, int control, int row, bool rightButton) override;
    void OnMenu(int window, int item) override;
    void OnTrayRightClick(int window) override;
    void OnClose(int window) override;
    void OnDestroy(int window) override;

private:
    Program& program_;
};

void SetCompactLayout(Program& program);
void SetExpandedLayout(Program& program);
