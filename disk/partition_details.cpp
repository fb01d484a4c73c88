#include "disk/partition_details.h"

#include <cmath>

#include "base/console.h"
#include "base/drives.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/window_lock.h"
#include "disk/image_files.h"
#include "disk/inventory.h"
#include "disk/selection.h"

namespace {

struct Sizes {
    std::uint64_t total = 0, free = 0, used = 0;
};

Sizes SizesOf(Sys& sys, const std::string& root) {
    Sizes s;
    std::uint64_t available = 0, total = 0, totalFree = 0;
    if (sys.GetDiskFreeSpaceEx(root, &available, &total, &totalFree)) {
        s.total = total;
        s.free = totalFree;
        s.used = total >= totalFree ? total - totalFree : 0;
    }
    return s;
}

}  // namespace

std::string GigabyteText(std::uint64_t bytes) {
    return TwoDecimalText(double(bytes) / 1073741824.0);
}

int UsagePercent(Program& program, const std::string& root) {
    const Sizes s = SizesOf(program.sys, root);
    if (s.total == 0) return 0;
    // Whole hundredths, taken at once: 0.29 times 100 must stay 29, not become 28.
    return int(std::nearbyint(double(s.used) / double(s.total) * 100.0));
}

std::string WindowsVersionOfDrive(Program& program, const std::string& root) {
    const std::string cmd = root.substr(0, 1) + ":\\windows\\system32\\CMD.EXE";
    if (!program.sys.PathFileExists(cmd)) return "无";
    const std::string version = program.sys.GetFileVersion(cmd).substr(0, 4);
    static const struct {
        const char* prefix;
        const char* name;
    } kNames[] = {
        {"5.0.", "Windows 2000"}, {"5.1.", "Windows XP"},
        {"5.2.", "Windows 2003"}, {"6.0.", "Windows Vista"},
        {"6.1.", "Windows 7"},    {"6.2.", "Windows 8"},
        {"6.3.", "Windows 8.1"},  {"6.4.", "Windows 10技术预览版"},
        {"10.0", "Windows 10"},
    };
    for (const auto& entry : kNames)
        if (version == entry.prefix) return entry.name;
    return "未知的Windows版本";
}

std::string ReadTextLine(Program& program, const std::string& path, int line) {
    std::string contents;
    if (line < 1 || !program.sys.ReadWholeFile(path, &contents)) return std::string();
    size_t start = 0;
    for (int i = 1; i < line; ++i) {
        const size_t end = contents.find("\r\n", start);
        if (end == std::string::npos) return std::string();
        start = end + 2;
    }
    const size_t end = contents.find("\r\n", start);
    return contents.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string DiskModelFromBootice(Program& program, const std::string& booticePath, int disk) {
    const std::string report = WindowsDirectory(program.sys) + "diskinfo.txt";
    // A run that writes nothing must not leave the last disk's model to be read.
    program.sys.DeleteFile(report);
    RunConsoleCommand(program, booticePath + " /diskinfo /getdrv /drive=" +
                                   std::to_string(disk - 1) + " /file=" + report);
    const std::string line = ReadTextLine(program, report, 2);
    static const std::string kKey = "SET USBDRIVEDESC=";
    const size_t key = FindNoCase(line, kKey);
    if (key == std::string::npos) return std::string();
    const size_t start = key + kKey.size();
    const size_t end = line.find(" (", start);
    if (end == std::string::npos) return std::string();
    return line.substr(start, end - start);
}

std::string PartitionDetailsText(Program& program) {
    Sys& sys = program.sys;
    const std::string root = CurrentSelection(program).root;
    const std::string letterRoot = root.substr(0, 1) + ":\\";

    const std::string active = IsActivePartition(program.state, root) ? "是" : "否";
    std::string label, fileSystem;
    if (!sys.GetVolumeInformation(letterRoot, &label, &fileSystem)) {
        label.clear();
        fileSystem.clear();
    }
    if (label.empty()) label = "空";
    const int disk = DiskNumberOf(sys, root);
    const std::string model =
        DiskModelFromBootice(program, WindowsDirectory(sys) + "Bootice.exe", disk);
    const int gpt = IsGptDisk(sys, disk);
    const std::string gptText = gpt == 1 ? "是" : gpt == 0 ? "否" : "获取失败";
    const int partition = PartitionNumberOf(sys, root);
    const Sizes sizes = SizesOf(sys, root);
    const int usage = UsagePercent(program, letterRoot);
    const std::string windows = WindowsVersionOfDrive(program, root);
    const std::string driveType = DriveTypeText(sys.GetDriveType(root));

    return "盘    符：" + root + "\\" + "\r\n" + "位    置：第 " + std::to_string(disk) +
           " 个硬盘的第 " + std::to_string(partition) + " 分区\r\n" + "总 大 小：" +
           GigabyteText(sizes.total) + " GB \r\n" + "可用大小：" + GigabyteText(sizes.free) +
           " GB\r\n" + "已用大小：" + GigabyteText(sizes.used) + " GB \r\n" + "使 用 率：" +
           std::to_string(usage) + "%\r\n" + "磁盘卷标：" + label + "\r\n" + "操作系统：" +
           windows + "\r\n" + "文件系统：" + fileSystem + "\r\n" + "磁盘类型：" + driveType +
           "\r\n" + "活动分区：" + active + "\r\n" + "磁盘型号：" + model + "\r\n" + "GPT 分区：" +
           gptText;
}

void PartitionDetailsWindow::Open() {
    using K = ControlKind;
    WindowDesc w = SmallWindowDesc(kPartitionDetailsWindow, "分区信息", 360, 330);
    w.controls = {
        MakeControl(kDetailsTitle, K::Label, "分区信息", {12, 8, 200, 18}),
        MakeControl(kDetailsText, K::MultiLineEdit, "", {12, 32, 336, 250}),
        MakeControl(kDetailsSmallLabel, K::LinkLabel, "×", {336, 6, 16, 16}),
        WithPicture(MakeControl(kDetailsClose, K::PictureButton, "", {268, 292, 80, 28}), "button"),
    };
    Ui& ui = program_.ui;
    ui.CreateWindowFrom(w, this);
    ui.AppendText(kPartitionDetailsWindow, kDetailsText, PartitionDetailsText(program_));
    ShowBalloon(program_, "提示", "加载分区信息完成。", 1, 0);
    ShowOverMainWindow(program_, kPartitionDetailsWindow);
}

void PartitionDetailsWindow::OnControl(int, int control) {
    if (control == kDetailsClose || control == kDetailsSmallLabel) Close();
}

void OpenPartitionDetails(Program& program) {
    ShowBalloon(program, "提示", "正在加载分区信息.....", 1, 0);
    OpenWindow<PartitionDetailsWindow>(program)->Open();
}
