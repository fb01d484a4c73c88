#include "disk/image_files.h"

#include <cmath>
#include <cstdio>

#include "base/ids/main_window.h"
#include "base/text_util.h"

namespace {

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && FindLastBackslash(path) == path.size() - 1;
}

void AppendSeparator(std::string& directory) {
    if (!EndsWithSeparator(directory)) directory += '\\';
}

std::string KindOf(const std::string& path) {
    return UpperAscii(PathExtension(path));
}

std::string TwoDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

}  // namespace

std::string TwoDecimalText(double value) {
    const double rounded = std::nearbyint(value * 100.0) / 100.0;
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.13g", rounded);
    return digits;
}

int DirectoryLevel(const std::string& path) {
    int pieces = 1;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsGbkLeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;  // its second byte may be 0x5C and separates nothing
            continue;
        }
        if (path[i] == '\\') ++pieces;
    }
    return pieces;
}

void WalkDirectory(Program& program, std::string& directory, const FoundFileHandler& handler,
                   std::string& pattern, bool usePattern, int depth, bool useDepth) {
    program.ui.PumpPendingMessages();
    AppendSeparator(directory);
    if (!usePattern) pattern = "*.*";
    if (!useDepth) depth = -1;

    for (const DirectoryEntry& entry : program.sys.FindFiles(directory + pattern))
        if (!entry.isDirectory) handler(directory + entry.name);

    for (const DirectoryEntry& entry : program.sys.FindFiles(directory + "*.*")) {
        if (!entry.isDirectory || entry.name == "." || entry.name == "..") continue;
        std::string subPath = directory + entry.name;
        if (depth != -1 && DirectoryLevel(subPath) >= depth + 1) continue;
        WalkDirectory(program, subPath, handler, pattern, true, depth, true);
    }
}

void ShowImagePanel(Program& program, const std::string& path) {
    Ui& ui = program.ui;
    const std::string kind = KindOf(path);
    std::string type;
    if (kind == ".WIM")
        type = "类型： WIM 映像文件";
    else if (kind == ".GHO")
        type = "类型： Ghost 映像文件";
    else if (kind == ".ISO")
        type = "类型： ISO 映像文件";
    else
        return;
    const std::string location =
        path.size() < 31 ? path : path.substr(0, 10) + "..." + path.substr(path.size() - 18);
    ui.SetText(kMainWindow, kSearchDepthNote, "位置： " + location);
    ui.SetText(kMainWindow, kImageNoteLabel, type);

    const std::int64_t bytes = program.sys.GetFileSize(path);
    const double megabytes = bytes < 0 ? 0.0 : double(bytes) / 1024.0 / 1024.0;
    if (std::floor(megabytes) > 4096)
        ui.SetText(kMainWindow, kImageSizeLabel, "大小：  > 4096 MB");
    else
        ui.SetText(kMainWindow, kImageSizeLabel, "大小： " + TwoDecimalText(megabytes) + " MB");

    SysTime t;
    std::string when;
    if (program.sys.GetFileCreationTime(path, &t))
        when = std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " +
               TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
    ui.SetText(kMainWindow, kImageTimeLabel, "时间： " + when);
    ui.SetVisible(kMainWindow, kImageSizeLabel, true);
    ui.SetVisible(kMainWindow, kImageTimeLabel, true);
}

void PreselectImageAndShowPanel(Program& program) {
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
    const std::string path = ui.GetText(kMainWindow, kImagePathBox);
    const std::string kind = KindOf(path);
    if (path.empty() || (kind != ".WIM" && kind != ".GHO")) return;
    ShowImagePanel(program, path);
}

void SelectImagePath(Program& program, const std::string& path) {
    Ui& ui = program.ui;
    const int count = ui.ItemCount(kMainWindow, kImagePathBox);
    for (int i = 0; i < count; ++i) {
        const std::string item = ui.ItemText(kMainWindow, kImagePathBox, i);
        if (item.size() >= path.size() && EqualsNoCase(item.substr(0, path.size()), path)) {
            ui.SetSelection(kMainWindow, kImagePathBox, i);
            return;
        }
    }
    ui.AddItem(kMainWindow, kImagePathBox, path);
    ui.SetSelection(kMainWindow, kImagePathBox, ui.ItemCount(kMainWindow, kImagePathBox) - 1);
}

void ListFilesOfTree(Program& program, std::string& directory, int listControl,
                     std::string& pattern, bool usePattern, std::string& filter, bool useFilter,
                     bool fullPaths) {
    Ui& ui = program.ui;
    AppendSeparator(directory);
    if (!usePattern) pattern = "*.*";
    const std::string wantedText = LowerAscii(filter);
    for (const DirectoryEntry& entry : program.sys.FindFiles(directory + pattern)) {
        if (entry.isDirectory) continue;
        const bool passes =
            !useFilter ||
            (!entry.name.empty() && LowerAscii(entry.name).find(wantedText) != std::string::npos);
        if (passes)
            ui.AddItem(kMainWindow, listControl, fullPaths ? directory + entry.name : entry.name);
        ui.PumpPendingMessages();
    }
    for (const DirectoryEntry& entry : program.sys.FindFiles(directory + "*.*")) {
        ui.PumpPendingMessages();
        if (!entry.isDirectory || entry.name.empty() || entry.name[0] == '.') continue;
        std::string sub = directory + entry.name + "\\";
        ListFilesOfTree(program, sub, listControl, pattern, true, filter, true, fullPaths);
        ui.PumpPendingMessages();
    }
}

bool IsXpSetupStub(Sys& sys, const std::string& path) {
    return UpperAscii(sys.GetFileDescription(path)) == "STUB LOADER FOR WINNT32 SETUP PROGRAM";
}
