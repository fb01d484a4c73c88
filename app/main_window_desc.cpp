// The main window described once: controls, captions, items, rectangles and menus.
#include "app/main_window.h"

namespace {

ControlDesc PartitionListDesc(int id, Rect rect) {
    ControlDesc c = MakeControl(id, ControlKind::ListView, "", rect);
    c.items = {"还原", "盘号", "分区类型", "设备类型", "总大小", "可用大小"};
    // The six columns fit inside the list with its vertical scroll bar: no sideways scrolling.
    c.columnWidths = {44, 40, 64, 82, 72, 72};
    return c;
}

constexpr Rect kExpandButtonCompact = {280, 4, 48, 20};  // the layouts move it

MenuItemDesc Item(int id, const std::string& caption) {
    return MenuItemDesc{id, caption, {}};
}
MenuItemDesc Separator() {
    return MenuItemDesc{};
}
MenuItemDesc Submenu(const std::string& caption, std::vector<MenuItemDesc> children) {
    return MenuItemDesc{0, caption, std::move(children)};
}

}  // namespace

WindowDesc MainWindowDesc() {
    using K = ControlKind;
    WindowDesc w;
    w.id = kMainWindow;
    w.caption = "";  // start-up sets programTitle
    w.width = 422;
    w.height = 312;
    w.frameless = true;
    w.trayIcon = true;

    auto& c = w.controls;
    c.push_back(WithPicture(MakeControl(kPictureBox2, K::PictureBox, "", {1, 1, 420, 310}),
                            "main_compact"));
    c.push_back(MakeControl(kPictureBox1, K::PictureBox, "", {8, 30, 406, 202}));
    c.push_back(MakeControl(kPictureBox3, K::PictureBox, "", {8, 36, 406, 56}));
    c.push_back(
        WithPicture(MakeControl(kCloseButton, K::PictureButton, "×", {392, 4, 24, 20}), "title"));
    c.push_back(
        WithPicture(MakeControl(kMenuButton, K::PictureButton, "≡", {334, 4, 24, 20}), "title"));
    c.push_back(WithPicture(MakeControl(kMinimiseButton, K::PictureButton, "－", {362, 4, 24, 20}),
                            "title"));

    c.push_back(
        MakeControl(kPromptLabel, K::Label, "请选择Gho、ISO、WIM映像文件：", {12, 40, 280, 16}));
    // The prompt's row has room on the right in every mode; the option rows have none.
    c.push_back(
        MakeControl(kManualGhostOption, K::CheckBox, "手动运行Ghost(M)", {292, 38, 118, 18}));
    c.push_back(MakeControl(kImagePathBox, K::ComboBox, "", {12, 60, 330, 200}));
    c.push_back(Hidden(MakeControl(kSavePathBox, K::ComboBox, "", {12, 60, 330, 200})));
    c.push_back(WithPicture(
        MakeControl(kBrowseButton, K::PictureButton, "浏览...", {348, 59, 62, 24}), "browse_open"));
    c.push_back(Hidden(MakeControl(kBackupFormatLabel, K::Label, "备份格式：", {12, 84, 64, 16})));
    c.push_back(Hidden(WithItems(MakeControl(kBackupFormatBox, K::ComboList, "", {76, 82, 80, 120}),
                                 {"*.GHO", "*.WIM"})));

    c.push_back(PartitionListDesc(kPartitionList, {12, 96, 398, 100}));
    c.push_back(Hidden(PartitionListDesc(kTargetList, {12, 210, 398, 116})));
    c.push_back(
        Hidden(MakeControl(kTargetLabel, K::Label, "请选择目标分区： 未选择", {12, 188, 300, 16})));

    ControlDesc restore = MakeControl(kRestoreMode, K::RadioBox, "还原分区(&R)", {12, 202, 96, 18});
    restore.groupStart = true;
    restore.checked = true;  // the window opens in restore mode
    c.push_back(restore);
    c.push_back(MakeControl(kBackupMode, K::RadioBox, "备份分区(&B)", {110, 202, 96, 18}));
    c.push_back(MakeControl(kCopyMode, K::RadioBox, "分区对拷(&G)", {208, 202, 96, 18}));
    c.push_back(MakeControl(kRefreshLabel, K::LinkLabel, "刷新分区(&H)", {330, 204, 80, 16}));

    c.push_back(MakeControl(kOptionsTitle, K::Label, "高级选项：", {12, 226, 70, 16}));
    ControlDesc noIde =
        MakeControl(kNoIdeOption, K::CheckBox, "禁止访问IDE设备(&D)", {84, 224, 150, 18});
    noIde.checked = true;
    c.push_back(noIde);
    c.push_back(
        MakeControl(kIntegrityOption, K::CheckBox, "检查文件完整性(&E)", {240, 224, 140, 18}));
    ControlDesc crc = MakeControl(kCrcOption, K::CheckBox, "忽略CRC错误(&F)", {84, 244, 120, 18});
    crc.checked = true;
    c.push_back(crc);
    c.push_back(MakeControl(kRestartOption, K::CheckBox, "完成后重启(&R)", {208, 244, 100, 18}));
    c.push_back(MakeControl(kShutdownOption, K::CheckBox, "完成后关机(&X)", {310, 244, 100, 18}));
    c.push_back(MakeControl(kPasswordOption, K::CheckBox, "Gho密码：", {12, 264, 80, 18}));
    ControlDesc password = MakeControl(kPasswordBox, K::Edit, "", {92, 263, 90, 20});
    password.enabled = false;
    c.push_back(password);
    c.push_back(Hidden(WithItems(MakeControl(kSplitSizeBox, K::ComboBox, "", {188, 262, 90, 120}),
                                 {"不分卷", "650 MB", "1950 MB", "3950 MB", "自动检测"})));
    ControlDesc compression =
        WithItems(MakeControl(kCompressionBox, K::ComboList, "", {284, 262, 90, 120}),
                  {"不压缩", "快速压缩", "中等压缩", "最高压缩"});
    compression.selection = 3;
    c.push_back(Hidden(compression));
    c.push_back(Hidden(MakeControl(kUnnamedCombo4, K::ComboList, "", {0, 0, 0, 0})));
    c.push_back(
        MakeControl(kCustomEnginesOption, K::CheckBox, "自定义Ghost/Imagex", {12, 286, 140, 18}));

    // The layout buttons sit in the title bar, beside the menu button.
    c.push_back(WithPicture(
        MakeControl(kExpandButton, K::PictureButton, "展开", kExpandButtonCompact), "button"));
    c.push_back(Hidden(WithPicture(
        MakeControl(kCollapseButton, K::PictureButton, "收起", kExpandButtonCompact), "button")));
    c.push_back(WithPicture(MakeControl(kStartButton, K::PictureButton, "开始", {241, 280, 80, 28}),
                            "button"));
    c.push_back(WithPicture(MakeControl(kExitButton, K::PictureButton, "退出", {332, 280, 80, 28}),
                            "button"));

    // Expanded layout only: the image list and its details.
    c.push_back(WithPicture(
        MakeControl(kImageSearchButton, K::PictureButton, "搜索映像", {430, 40, 80, 24}),
        "button"));
    c.push_back(MakeControl(kImageList, K::ListBox, "", {430, 70, 224, 200}));
    c.push_back(MakeControl(kImageTimeLabel, K::Label, "时间：", {430, 276, 224, 16}));
    c.push_back(MakeControl(kImageSizeLabel, K::Label, "大小：", {430, 294, 224, 16}));
    c.push_back(MakeControl(kImageNoteLabel, K::Label, "            所有可用映像文件并列表显示。",
                            {430, 312, 224, 16}));
    c.push_back(MakeControl(kSearchDepthLabel, K::Label, "目录层数：", {430, 340, 70, 16}));
    c.push_back(MakeControl(kSearchDepthBox, K::Edit, "", {500, 338, 40, 20}));
    c.push_back(MakeControl(kSearchDepthNote, K::Label, "说明：程序将搜索磁盘各分区指定目录层数。",
                            {430, 362, 224, 32}));
    c.push_back(MakeControl(kVersionLabel, K::Label, "Ver：2.4.0", {430, 404, 80, 16}));
    c.push_back(MakeControl(kMakerLink, K::LinkLabel, "岚舟软件", {560, 404, 80, 16}));

    for (int id : {kSelectedRoot, kSelectedDiskPartition, kSelectedDisplay, kSelectedPartitionType,
                   kSelectedDeviceType})
        c.push_back(Hidden(MakeControl(id, K::Label, "", {0, 0, 0, 0})));

    w.menus.push_back(MenuDesc{
        kMainMenu,
        "菜单",
        {Item(kMenuAbout, "关    于(&G)"), Separator(), Item(kMenuUninstall, "卸载"), Separator(),
         Submenu("扩展工具(&K)", {Item(kMenuBootice, "Bootice扇区维护(&B)"), Separator(),
                                  Item(kMenuGhostExplorer, "Ghost浏览器11.0(&S)"), Separator(),
                                  Item(kMenuBcdEdit, "BCD引导文件编辑(&B)"), Separator(),
                                  Item(kMenuGrubEdit, "GRUB4DOS菜单编辑(&U)")}),
         Separator(),
         Submenu("操作完成(&R)", {Item(kMenuAutoShutdown, "自动关机(&C)"), Separator(),
                                  Item(kMenuAutoRestart, "自动重启(&G)")}),
         Separator(),
         Submenu("电源控制(&S)", {Item(kMenuRestartNow, "立即重启(&R)"), Separator(),
                                  Item(kMenuShutdownNow, "立即关机(&G)")}),
         Separator(), Item(kMenuExit, "退    出(&Z)")}});
    w.menus.push_back(MenuDesc{
        kImageListMenu,
        "列表菜单",
        {Item(kMenuImageOpen, "打    开(&O)"), Separator(), Item(kMenuImageExport, "导    出(&E)"),
         Item(kMenuImageMove, "移    动(&T)"), Item(kMenuImageDelete, "删    除(&D)"), Separator(),
         Item(kMenuImageMount, "加载到虚拟光驱(&G)"), Separator(),
         Item(kMenuImageBrowse, "浏    览(&L)"), Item(kMenuImageProperties, "属    性(&R)")}});
    w.menus.push_back(MenuDesc{
        kPartitionMenu,
        "磁盘",
        {Item(kMenuPartOpen, "打    开(&C)"), Separator(), Item(kMenuPartFormat, "格 式 化(&H)"),
         Item(kMenuPartRename, "重 命 名(&M)"), Separator(), Item(kMenuPartInfo, "分区信息(&F)"),
         Item(kMenuPartProperties, "属    性(&R)"), Separator(),
         Submenu("电源控制(&S)", {Item(kMenuPartRestart, "重启系统(&R)"),
                                  Item(kMenuPartShutdown, "关闭系统(&S)")})}});
    return w;
}
