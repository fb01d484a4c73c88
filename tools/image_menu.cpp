#include "tools/image_menu.h"

#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "tools/image_search.h"

namespace {

std::string KindOf(const std::string& path) {
    return UpperAscii(PathExtension(path));
}

bool IsImageKind(const std::string& kind) {
    return kind == ".GHO" || kind == ".ISO" || kind == ".WIM";
}

// The entry when it names an image file, else empty (summary and explanation lines).
std::string ImageEntry(Program& program) {
    const std::string entry = CurrentImageEntry(program);
    return IsImageKind(KindOf(entry)) ? entry : std::string();
}

std::string NotFoundText(const std::string& entry) {
    return "未找到 " + entry + " ！";
}

std::string FilterFor(const std::string& kind) {
    if (kind == ".GHO") return "Ghost映像文件(*.Gho)|*.Gho";
    if (kind == ".ISO") return "光盘镜像文件(*.ISO)|*.ISO";
    return "WIM映像文件(*.WIM)|*.WIM";
}

// Export and move differ only in their words and the file operation.
struct Transfer {
    ShellFileFunction function;
    const char* title;
    const char* succeeded;
    const char* failed;
};

void TransferImageFile(Program& program, const Transfer& transfer) {
    const std::string entry = ImageEntry(program);
    if (entry.empty()) return;
    const std::string kind = KindOf(entry);
    if (!program.sys.PathFileExists(entry)) {
        if (transfer.function == kFoCopy && kind == ".GHO")
            return Tell(program, NotFoundText(entry), kMbIconWarning);
        return Tell(program, entry + " 不存在！", kMbIconWarning);
    }
    const std::string target =
        program.ui.SaveFileDialog(kMainWindow, transfer.title, FilterFor(kind), FileNameOf(entry));
    if (target.empty()) return;
    // The shell returns 0 also when the user stops it at its own overwrite question:
    // only a target that is there counts as done.
    const bool done = program.sys.ShellFileOperation(transfer.function, entry, target) &&
                      program.sys.PathFileExists(target);
    if (!done) return Tell(program, entry + transfer.failed, kMbIconError);
    Tell(program, entry + transfer.succeeded, kMbIconInformation);
    if (program.sys.PathFileExists(target)) program.sys.RevealInExplorer(target);
}

}  // namespace

std::string CurrentImageEntry(Program& program) {
    const int row = program.ui.GetSelection(kMainWindow, kImageList);
    return row < 0 ? std::string() : program.ui.ItemText(kMainWindow, kImageList, row);
}

void ShowImageListMenu(Program& program) {
    Ui& ui = program.ui;
    ui.SetMenuItemVisible(kMainWindow, kMenuImageMount, false);
    if (ui.ItemCount(kMainWindow, kImageList) == 0) return;
    if (ui.GetSelection(kMainWindow, kImageList) < 0) return;
    const std::string kind = KindOf(CurrentImageEntry(program));
    if (kind == ".GHO") {
        ui.SetMenuItemVisible(kMainWindow, kMenuImageOpen, true);
        ui.SetMenuItemVisible(kMainWindow, kMenuImageMount, false);
    } else if (kind == ".ISO") {
        ui.SetMenuItemVisible(kMainWindow, kMenuImageMount, true);
        ui.SetMenuItemVisible(kMainWindow, kMenuImageOpen, false);
    } else if (kind == ".WIM") {
        ui.SetMenuItemVisible(kMainWindow, kMenuImageOpen, false);
        ui.SetMenuItemVisible(kMainWindow, kMenuImageMount, false);
    } else {
        return;
    }
    int x = 0, y = 0;
    ui.GetCursorPos(&x, &y);
    ui.PopupMenu(kMainWindow, kImageListMenu, x, y);
}

void OpenInGhostExplorer(Program& program) {
    const std::string explorer = WindowsDirectory(program.sys) + "GHOSTEXP.exe";
    if (!program.sys.PathFileExists(explorer))
        return Tell(program, "未找到Ghost浏览器！", kMbIconError);
    const std::string entry = CurrentImageEntry(program);
    if (!entry.empty() && program.sys.PathFileExists(entry)) {
        program.sys.StartProgram(explorer + " " + entry, false, 1000);
        return;
    }
    Tell(program, NotFoundText(entry), kMbIconError);
}

void StartGhostExplorer(Program& program) {
    const std::string explorer = WindowsDirectory(program.sys) + "GHOSTEXP.exe";
    if (!program.sys.PathFileExists(explorer))
        return Tell(program, "未找到Ghost浏览器！", kMbIconError);
    program.sys.StartProgram(explorer + " ", false, 1000);
}

void RevealImageFile(Program& program) {
    const std::string entry = ImageEntry(program);
    if (entry.empty()) return;
    if (!program.sys.PathFileExists(entry))
        return Tell(program, NotFoundText(entry), kMbIconWarning);
    program.sys.RevealInExplorer(entry);
}

void ShowImageProperties(Program& program) {
    const std::string entry = ImageEntry(program);
    if (entry.empty()) return;
    if (!program.sys.PathFileExists(entry))
        return Tell(program, NotFoundText(entry), kMbIconWarning);
    program.sys.ShowDriveProperties(entry);
}

void ExportImageFile(Program& program) {
    TransferImageFile(program, Transfer{kFoCopy, "导出文件", " 导出成功！", " 导出失败！"});
}

void MoveImageFile(Program& program) {
    TransferImageFile(program, Transfer{kFoMove, "移动文件", " 移动成功！", " 移动失败！"});
}

void DeleteImageFile(Program& program) {
    Ui& ui = program.ui;
    const int row = ui.GetSelection(kMainWindow, kImageList);
    const std::string entry = ImageEntry(program);
    if (entry.empty()) return;
    const std::string kind = KindOf(entry);
    const std::string title = FileNameOf(entry);
    if (!program.sys.PathFileExists(entry))
        return Tell(program, title + " 不存在！", kMbIconWarning);
    if (!AskInformation(program, "是否删除 " + title + " ？")) return;
    if (!program.sys.DeleteFile(entry)) return Tell(program, title + " 删除失败！", kMbIconError);

    ui.DeleteItem(kMainWindow, kImageList, row);
    // The image path box loses the deleted file's own entry (not whichever is current).
    const int paths = ui.ItemCount(kMainWindow, kImagePathBox);
    for (int i = 0; i < paths; ++i)
        if (EqualsNoCase(ui.ItemText(kMainWindow, kImagePathBox, i), entry)) {
            ui.DeleteItem(kMainWindow, kImagePathBox, i);
            break;
        }
    ui.SetSelection(kMainWindow, kImagePathBox, 0);

    const int entries = ui.ItemCount(kMainWindow, kImageList);
    if (entries > 0) {
        const std::string kindText = ui.GetText(kMainWindow, kImageKindBox);
        const std::string word =
            kind == ".WIM"
                ? std::string("WIM")
                : (kindText.size() >= 3 ? kindText.substr(kindText.size() - 3) : kindText);
        ui.SetItemText(
            kMainWindow, kImageList, entries - 1,
            SearchSummaryLine(ui.GetText(kMainWindow, kSearchDepthBox), entries - 1, word));
    }
    Tell(program, title + " 删除成功！", kMbIconInformation);
}
