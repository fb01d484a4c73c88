// The partition details window: thirteen lines about the selected partition, its
// disk's model from Bootice's report.
#pragma once

#include <cstdint>
#include <string>

#include "base/ids/partition_details.h"
#include "base/program.h"
#include "base/window_lock.h"

class PartitionDetailsWindow : public SmallWindow {
  public:
    static constexpr int kWindowId = kPartitionDetailsWindow;
    explicit PartitionDetailsWindow(Program& program) : SmallWindow(program, kWindowId) {}
    void Open();
    void OnControl(int window, int control) override;
};

// The partition menu's "分区信息(&F)" once the drive is known to be there.
void OpenPartitionDetails(Program& program);

// The thirteen lines for the selected partition, joined by "\r\n".
std::string PartitionDetailsText(Program& program);

// Whole percentage of the volume that is used (0 when the size cannot be read).
int UsagePercent(Program& program, const std::string& root);
// "Windows 7" and the like from the drive's cmd.exe, "无" when it has none.
std::string WindowsVersionOfDrive(Program& program, const std::string& root);
// The disk model Bootice reports for the disk (counted from 1); empty when unknown.
std::string DiskModelFromBootice(Program& program, const std::string& booticePath, int disk);
// The line (counted from 1) of a text file split at "\r\n"; empty when there is none.
std::string ReadTextLine(Program& program, const std::string& path, int line);
// Bytes as gigabytes, two decimals at most ("12.5", "40").
std::string GigabyteText(std::uint64_t bytes);
