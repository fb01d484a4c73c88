// Walks the real main window through its modes for the user guide's pictures. Run by
// scripts/package.sh under Xvfb: before each picture it writes D:\tour\<name>.request
// and waits for the script's D:\tour\<name>.done (the script takes the screenshot).
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/ids/main_window.h"
#include "tests/wine/automation.h"

using namespace automation;

namespace {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Lets the window settle, then asks for the picture and waits until it is taken.
bool Picture(const std::string& name) {
    Sleep(1500);
    const std::string request = "D:\\tour\\" + name + ".request";
    const std::string done = "D:\\tour\\" + name + ".done";
    DeleteFileA(done.c_str());
    if (!WriteWholeFile(request, name)) return false;
    const bool taken = WaitUntil([&] { return Exists(done); }, 60000);
    DeleteFileA(request.c_str());
    DeleteFileA(done.c_str());
    return taken;
}

int RowOf(HWND window, const std::string& root) {
    for (int row = 0; row < ListRowCount(window, kPartitionList); ++row)
        if (ListCell(window, kPartitionList, row, 0) == root) return row;
    return -1;
}

}  // namespace

int main() {
    CreateDirectoryA("D:\\tour", nullptr);
    RunningProgram program("D:\\StarBridge.exe");
    HWND window = WaitForWindow(program.id(), "StarBridgeWindow", 120000);
    if (!window) {
        std::fprintf(stderr, "the main window did not come\n");
        return 1;
    }
    const int row = RowOf(window, "E:\\");
    if (row >= 0) ClickListRow(window, kPartitionList, row);
    struct Step {
        const char* name;
        int mode;
    };
    for (const Step& step :
         {Step{"restore", kRestoreMode}, Step{"backup", kBackupMode}, Step{"copy", kCopyMode}}) {
        Click(window, step.mode);
        if (!Picture(step.name)) {
            std::fprintf(stderr, "no picture of %s\n", step.name);
            return 1;
        }
    }
    Click(window, kRestoreMode);
    return 0;
}
