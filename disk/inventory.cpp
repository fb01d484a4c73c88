#include "disk/inventory.h"

#include <cmath>
#include <cstdio>

#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "base/tool_files.h"

std::vector<std::string> ListDriveRoots(Sys& sys, int kind) {
    const std::vector<std::string> roots = sys.GetLogicalDriveStrings();
    std::vector<std::string> fixed, cdrom, removable, others;
    for (const std::string& root : roots) {
        switch (sys.GetDriveType(root)) {
            case kDriveFixed:
                fixed.push_back(root);
                break;
            case kDriveCdRom:
                cdrom.push_back(root);
                break;
            case kDriveRemovable:
                removable.push_back(root);
                break;
            default:
                others.push_back(root);
                break;
        }
    }
    switch (kind) {
        case 1:
            return fixed;
        case 2:
            return cdrom;
        case 3:
            return removable;
        default:
            break;
    }
    std::vector<std::string> all = fixed;
    all.insert(all.end(), cdrom.begin(), cdrom.end());
    all.insert(all.end(), removable.begin(), removable.end());
    all.insert(all.end(), others.begin(), others.end());
    return all;
}

int DiskNumberOf(Sys& sys, const std::string& root) {
    int device = 0, partition = 0;
    if (root.empty() || !sys.GetStorageDeviceNumber(root[0], &device, &partition)) return -1;
    return device + 1;
}

int PartitionNumberOf(Sys& sys, const std::string& root) {
    int device = 0, partition = 0;
    if (root.empty() || !sys.GetStorageDeviceNumber(root[0], &device, &partition)) return -1;
    return partition;
}

int IsGptDisk(Sys& sys, int disk) {
    std::string sector;
    if (!sys.ReadPhysicalDriveSector0(disk - 1, &sector) || sector.size() < 512) return -1;
    // Offset 0x1C2: the type of the first MBR entry; 0xEE is GPT's protective entry.
    return static_cast<unsigned char>(sector[450]) == 0xEE ? 1 : 0;
}

bool IsActivePartition(const ProgramState& state, const std::string& root) {
    const std::string letter = root.empty() ? "C" : UpperAscii(root.substr(0, 1));
    return FindNoCase(state.omnifsReport, letter + ":\\] Active") != std::string::npos;
}

std::string SizeText(std::int64_t kib) {
    // Counts are kept in 64 bits so that volumes of 2 TiB and more show real sizes.
    const double k = double(kib);
    double value;
    const char* unit;
    if (k / 1048576.0 - 1024.0 > 0.0000001) {
        value = k / 1073741824.0;
        unit = " TB";
    } else if (k / 1024.0 - 1024.0 > 0.0000001) {
        value = k / 1048576.0;
        unit = " GB";
    } else {
        value = k / 1024.0;
        unit = " MB";
    }
    const double rounded = std::floor((value + 1e-12) * 100.0 + 0.5) / 100.0;
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.13g", rounded);
    std::string text = digits;
    size_t dot = text.find('.');
    if (dot == std::string::npos) {
        text += ".00";
    } else {
        while (text.size() - dot < 3) text += '0';
    }
    return text + unit;
}

std::string DriveTypeText(unsigned driveType) {
    switch (driveType) {
        case kDriveRemovable:
            return "可移动驱动器";
        case kDriveFixed:
            return "硬盘驱动器";
        case kDriveRemote:
            return "网络驱动器";
        case kDriveCdRom:
            return "光盘驱动器";
        case kDriveRamDisk:
            return "RAM驱动器";
        default:
            return "未知驱动器";
    }
}

void LoadPartitionInventory(Program& program, int listControl) {
    Sys& sys = program.sys;
    Ui& ui = program.ui;
    ShowBalloon(program, "欢迎使用", "正在加载磁盘信息，请稍候.....", 1, 0);
    RefreshOmnifsReport(program);

    for (const std::string& root : ListDriveRoots(sys, 0)) {
        const std::string numbers = std::to_string(DiskNumberOf(sys, root)) + ":" +
                                    std::to_string(PartitionNumberOf(sys, root));
        std::uint64_t freeBytes = 0, totalBytes = 0;
        std::string total = "获取失败", free = "获取失败";
        if (sys.GetDiskFreeSpaceEx(root, &freeBytes, &totalBytes)) {
            total = SizeText(std::int64_t(totalBytes >> 10));
            free = SizeText(std::int64_t(freeBytes >> 10));
            if (total.compare(0, 4, "0.00") == 0) total = free = "获取失败";
        }
        const unsigned driveType = sys.GetDriveType(root);

        const bool dropped = numbers[0] == '-' || driveType == kDriveCdRom ||
                             numbers.substr(numbers.find(':') + 1) == "-1" ||
                             EqualsNoCase(root, "X:\\");
        if (dropped) continue;

        std::string partitionType;
        if (IsGptDisk(sys, DiskNumberOf(sys, root)) == 1)
            partitionType = "GPT";
        else if (IsActivePartition(program.state, root))
            partitionType = "活动,Mbr";
        ui.AddRow(kMainWindow, listControl,
                  {root, numbers, partitionType, DriveTypeText(driveType), total, free});
    }
    ShowBalloon(program, "欢迎使用", "磁盘信息加载完成。", 1, 0);
}

void CheckPartitionListNotEmpty(Program& program) {
    Ui& ui = program.ui;
    if (ui.RowCount(kMainWindow, kPartitionList) > 0) return;
    ui.SetEnabled(kMainWindow, kStartButton, false);
    ui.SetEnabled(kMainWindow, kPartitionList, false);
    Tell(program,
         "未检测到可用的硬盘分区！\r\n请检查WinPE是否正确识别到硬盘驱动器且已分区或硬盘\r\n"
         "驱动器是否有故障！\r\n\r\n注意：如磁盘已分区且确定无故障，则说明是由于WinPE\r\n"
         "缺少磁盘驱动程序，导致无法识别磁盘分区。\r\n建议更换更高版本的WinPE即可，"
         "推荐使用Win8PE。",
         kMbIconWarning);
}
