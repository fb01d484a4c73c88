#include "base/tool_files.h"

#include "base/console.h"
#include "base/drives.h"
#include "base/notify.h"
#include "resources/stored_tools.h"

static bool WriteStoredTool(Sys& sys, StoredTool tool, const std::string& path) {
    StoredBytes bytes = StoredToolBytes(tool);
    if (!bytes.data) return false;
    return sys.WriteWholeFile(path, bytes.data, bytes.size);
}

std::string StoredGhostPath(Sys& sys) {
    return WindowsDirectory(sys) + "qii" + "32.exe";
}

std::string StoredImagexPath(Sys& sys) {
    return WindowsDirectory(sys) + "\\Imagex.exe";
}

void WriteToolFiles(Program& program) {
    Sys& sys = program.sys;
    ShowBalloon(program, "欢迎使用", "正在加载文件，请稍候....", 1, 0);

    const std::string windows = WindowsDirectory(sys);
    const struct {
        StoredTool tool;
        std::string path;
    } required[] = {
        {StoredTool::IsoTool, windows + "ISO.exe"},
        {StoredTool::Bootice, windows + "Bootice.exe"},
        {StoredTool::GhostExplorer, windows + "GHOSTEXP.exe"},
        {StoredTool::Ghost, program.state.ghostExePath},
        {StoredTool::Bcdboot, SystemDirectory(sys) + "bcdboot.exe"},
    };
    for (const auto& file : required) {
        if (sys.PathFileExists(file.path)) continue;  // used as it is, never replaced
        if (!WriteStoredTool(sys, file.tool, file.path)) {
            Tell(program, "初始化文件失败，程序无法运行！", kMbIconError);
            sys.ExitProcess(0);
        }
    }
    // ImageX is not needed for every job; a failure shows where it is used.
    if (!sys.PathFileExists(program.state.imagexExePath))
        WriteStoredTool(sys, StoredTool::Imagex, program.state.imagexExePath);
}

void RemoveToolFiles(Program& program) {
    Sys& sys = program.sys;
    const std::string windows = WindowsDirectory(sys);
    sys.DeleteFile(windows + "Bootice.exe");
    sys.DeleteFile(windows + "ISO.EXE");
    sys.DeleteFile(windows + "GHOSTEXP.exe");
    // A custom engine is the user's copy in the system directory (ImageX's is only a bare
    // name, which would point at whatever folder is current): it stays.
    sys.DeleteFile(StoredGhostPath(sys));
    sys.DeleteFile(StoredImagexPath(sys));
}

bool RefreshOmnifsReport(Program& program) {
    const std::string path = SystemDirectory(program.sys) + "omnifs32.exe";
    if (!program.sys.PathFileExists(path)) WriteStoredTool(program.sys, StoredTool::Omnifs, path);
    program.state.omnifsReport = RunConsoleCommand(program, "omnifs32.exe info").output;
    return !program.state.omnifsReport.empty();
}
