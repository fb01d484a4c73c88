#include "app/config.h"

#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"

namespace {

std::string DirectoryOf(const std::string& path) {
    const size_t slash = FindLastBackslash(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The file name without its last extension: a program named a.b.exe reads a.b.ini.
std::string BaseNameOf(const std::string& path) {
    std::string name = FileNameOf(path);
    std::string extension = PathExtension(name);
    return name.substr(0, name.size() - extension.size());
}

// "A:" for drive number 0 and so on, like PathGetDriveNumberA.
std::string DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return UpperAscii(path.substr(0, 1)) + ":";
    return std::string();
}

void Fail(Program& program, const std::string& text, unsigned icon) {
    Tell(program, text, icon);
    program.sys.ExitProcess(0);
}

}  // namespace

std::string ConfigurationFilePath(const std::string& programPath) {
    return DirectoryOf(programPath) + "\\" + BaseNameOf(programPath) + ".ini";
}

void LoadConfiguration(Program& program) {
    Sys& sys = program.sys;
    const std::string programPath = sys.ModuleFileName();
    const std::string iniPath = ConfigurationFilePath(programPath);
    if (!sys.PathFileExists(iniPath))
        Fail(program, "配置文件 " + BaseNameOf(programPath) + ".ini 不存在！", kMbIconError);

    const std::string value = sys.GetPrivateProfileString("Config", "Path", "", iniPath, 10240);
    if (value.empty()) {
        Tell(program, "未指定需加载的文件！", kMbIconError);
        return;
    }

    const std::string extension = UpperAscii(PathExtension(value));
    if (extension != ".GHO" && extension != ".WIM")
        Fail(program, "本参数仅支持加载*.WIM、*.GHO映像文件！", kMbIconError);

    const std::string image = DriveOf(DirectoryOf(programPath)) + "\\MorvekOS\\" + value;
    if (!sys.PathFileExists(image)) Fail(program, "未找到 " + value, kMbIconWarning);

    program.ui.AddItem(kMainWindow, kImagePathBox, sys.PathSearchAndQualify(image, 260));
    program.ui.SetSelection(kMainWindow, kImagePathBox, 0);
}
