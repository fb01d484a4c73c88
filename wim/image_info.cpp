#include "wim/image_info.h"

#include <cstdio>

#include "base/ids/main_window.h"
#include "base/text_util.h"
#include "wim/imagex_text.h"

void ShowImagePanelLines(Program& program, const std::string& path, const std::string& typeName) {
    Ui& ui = program.ui;
    Sys& sys = program.sys;
    // The two explanation labels take the location and the type.
    const std::string location =
        path.size() < 31 ? path : path.substr(0, 10) + "..." + path.substr(path.size() - 18);
    ui.SetText(kMainWindow, kSearchDepthNote, "位置： " + location);
    ui.SetText(kMainWindow, kImageNoteLabel, "类型： " + typeName + " 映像文件");
    const std::int64_t bytes = sys.GetFileSize(path);
    const double megabytes = bytes < 0 ? 0.0 : double(bytes) / 1024.0 / 1024.0;
    if (static_cast<long long>(megabytes) > 4096)
        ui.SetText(kMainWindow, kImageSizeLabel, "大小：  > 4096 MB");
    else
        ui.SetText(kMainWindow, kImageSizeLabel,
                   "大小： " + MegabytesText(bytes < 0 ? 0.0 : double(bytes)) + " MB");
    SysTime created;
    if (sys.GetFileCreationTime(path, &created)) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", created.year,
                      created.month, created.day, created.hour, created.minute, created.second);
        ui.SetText(kMainWindow, kImageTimeLabel, std::string("时间： ") + text);
    }
    ui.SetVisible(kMainWindow, kImageSizeLabel, true);
    ui.SetVisible(kMainWindow, kImageTimeLabel, true);
}

void ShowImageInfo(Program& program) {
    Ui& ui = program.ui;
    const int count = ui.ItemCount(kMainWindow, kImagePathBox);
    if (count <= 0) return;
    int chosen = 0;
    for (int i = 0; i < count; ++i)
        if (FindNoCase(ui.ItemText(kMainWindow, kImagePathBox, i), ".GHO") != std::string::npos) {
            chosen = i;
            break;
        }
    ui.SetSelection(kMainWindow, kImagePathBox, chosen);
    const std::string path = ui.ItemText(kMainWindow, kImagePathBox, chosen);
    if (path.empty()) return;
    const std::string extension = UpperAscii(PathExtension(path));
    if (extension == ".WIM")
        ShowImagePanelLines(program, path, "WIM");
    else if (extension == ".GHO")
        ShowImagePanelLines(program, path, "Ghost");
}
