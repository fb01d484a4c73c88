#include "tools/image_search.h"

#include <cmath>
#include <cstdlib>

#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "disk/image_files.h"
#include "disk/inventory.h"

namespace {

std::string KindOf(const std::string& path) {
    return UpperAscii(PathExtension(path));
}

// The last three characters of the kind box's text ("Gho", "ISO", "WIM").
std::string KindWord(const std::string& kindText) {
    return kindText.size() >= 3 ? kindText.substr(kindText.size() - 3) : kindText;
}

}  // namespace

int DepthFromText(const std::string& text) {
    const std::string trimmed = TrimSpaces(text);
    if (trimmed.empty()) return 0;
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str() || *end != '\0' || !std::isfinite(value)) return 0;
    if (value > 1e6) return 1000000;
    if (value < -1e6) return -1000000;
    return int(value);  // truncated toward zero
}

void StartupImageSearch(Program& program) {
    Ui& ui = program.ui;
    const FoundFileHandler add = [&ui](const std::string& path) {
        ui.AddItem(kMainWindow, kImagePathBox, path);
    };
    for (std::string drive : ListDriveRoots(program.sys, 0)) {
        std::string ghost = "*.Gho", wim = "*.WIM";
        WalkDirectory(program, drive, add, ghost, true, 3, true);
        WalkDirectory(program, drive, add, wim, true, 3, true);
    }
}

std::string SearchSummaryLine(const std::string& depthText, int count, const std::string& kind) {
    return "搜索" + depthText + "层目录完成，共搜索到" + std::to_string(count) + "个" + kind +
           "文件。";
}

void SearchImageFiles(Program& program) {
    Ui& ui = program.ui;
    static const int kSearchControls[] = {kImageList, kSearchDepthBox, kImageKindBox,
                                          kImageSearchButton};
    ui.ClearItems(kMainWindow, kImageList);
    for (int control : kSearchControls) ui.SetEnabled(kMainWindow, control, false);
    ShowBalloon(program, "提示", "正在搜索文件，请稍候.....", 1, 0);
    ui.AddItem(kMainWindow, kImageList, "正在搜索文件，请稍候.....");

    const FoundFileHandler add = [&ui](const std::string& path) {
        ui.AddItem(kMainWindow, kImageList, path);
    };
    for (std::string drive : ListDriveRoots(program.sys, 0)) {
        std::string pattern = ui.GetText(kMainWindow, kImageKindBox);
        const int depth = DepthFromText(ui.GetText(kMainWindow, kSearchDepthBox));
        WalkDirectory(program, drive, add, pattern, true, depth, true);
    }

    // The "searching" line goes: it is the first entry.
    ui.DeleteItem(kMainWindow, kImageList, 0);
    const int found = ui.ItemCount(kMainWindow, kImageList);
    const std::string kind = KindWord(ui.GetText(kMainWindow, kImageKindBox));
    if (found > 0) {
        ui.AddItem(kMainWindow, kImageList,
                   SearchSummaryLine(ui.GetText(kMainWindow, kSearchDepthBox), found, kind));
    } else {
        ui.AddItem(kMainWindow, kImageList, "经过搜索，未发现 " + kind + " 映像文件。");
        ui.AddItem(kMainWindow, kImageList, "");
        ui.AddItem(kMainWindow, kImageList, "可能原因如下：");
        ui.AddItem(kMainWindow, kImageList, "1、设定的目录层数过小。");
        ui.AddItem(kMainWindow, kImageList, "2、硬盘中不存在 " + kind + " 映像文件。");
    }
    for (int control : kSearchControls) ui.SetEnabled(kMainWindow, control, true);
    ShowBalloon(program, "提示", "搜索文件完成！", 1, 0);
}

void ShowSelectedImage(Program& program) {
    Ui& ui = program.ui;
    const int row = ui.GetSelection(kMainWindow, kImageList);
    if (row < 0) return;
    const std::string path = ui.ItemText(kMainWindow, kImageList, row);
    const std::string kind = KindOf(path);
    if (kind != ".GHO" && kind != ".ISO" && kind != ".WIM") return;
    ShowImagePanel(program, path);
    if (kind != ".ISO" && ui.IsChecked(kMainWindow, kRestoreMode)) SelectImagePath(program, path);
}
