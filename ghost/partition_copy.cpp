#include "ghost/partition_copy.h"

#include <cstdint>

#include "base/drives.h"
#include "base/notify.h"
#include "base/text_util.h"
#include "ghost/command_lines.h"
#include "ghost/confirmation.h"

namespace {

// "D:\(1:2)"
std::string Named(const std::string& root, const std::string& diskPartition) {
    return root + "(" + diskPartition + ")";
}

class CopyConfirmation : public GhostConfirmation {
  public:
    explicit CopyConfirmation(Program& program) : GhostConfirmation(program) {}

    void Open() {
        const ProgramState& s = program_.state;
        Create("将 " + Source() + " 拷贝到 " + Target(),
               "注意：本操作将删除 " + s.copyTargetRoot + " 上的所有数据。",
               "点击“确定(&C)”马上进行还原，点击“取消(&X)”返回程序。");
    }

  private:
    std::string Source() const {
        return Named(program_.state.copySourceRoot, program_.state.copySourceDiskPartition);
    }
    std::string Target() const {
        return Named(program_.state.copyTargetRoot, program_.state.copyTargetDiskPartition);
    }

    void Ok() override {
        const ProgramState& s = program_.state;
        GhostRun run;
        run.job = GhostJob::Copy;
        run.jobName = "对拷";
        run.commandLine =
            GhostCopyLine(s.ghostExePath, s.copySourceDiskPartition, s.copyTargetDiskPartition);
        run.statusWidth = 248;
        run.status = "Ghost正在对拷分区" + Source() + "，请稍候....";
        run.startBalloon = "Ghost正在对拷 " + Source() + " 至 " + Target() + "，请稍候....";
        run.doneBalloon = Source() + " 对拷至 " + Target() + "完成。";
        // A copy ends like a restore: the countdown speaks of a finished restore.
        run.finished = FinishedJob::Restore;
        const std::string report = run.doneBalloon;
        run.report = [report] { return report; };
        // After the report the confirmation stays, as after a failure.
        run.closeAfterReport = false;
        RunGhost(run);
    }
};

// Used bytes (source) or capacity (target) of a volume; an unreadable one counts as 0.
void VolumeBytes(Sys& sys, const std::string& root, std::uint64_t* used, std::uint64_t* total) {
    std::uint64_t available = 0, totalBytes = 0, totalFree = 0;
    if (!sys.GetDiskFreeSpaceEx(root, &available, &totalBytes, &totalFree))
        totalBytes = totalFree = 0;
    *total = totalBytes;
    *used = totalBytes >= totalFree ? totalBytes - totalFree : 0;
}

}  // namespace

void StartPartitionCopy(Program& program) {
    const ProgramState& s = program.state;
    if (s.copySourceRoot.empty()) return Tell(program, "请选择源盘！", kMbIconWarning);
    if (s.copyTargetRoot.empty()) return Tell(program, "请选择目标盘！", kMbIconWarning);
    if (EqualsNoCase(s.copySourceRoot, s.copyTargetRoot))
        return Tell(program, "需对拷的目标分区不可与源分区相同！", kMbIconWarning);
    if (IsRunningSystemPartition(program.sys, s.copySourceRoot))
        return Tell(program, "当前环境暂不支持将系统盘对拷至其他盘！", kMbIconWarning);
    if (IsRunningSystemPartition(program.sys, s.copyTargetRoot))
        return Tell(program, "当前环境暂不支持将其他盘对拷至系统盘！", kMbIconWarning);

    std::uint64_t sourceUsed = 0, sourceTotal = 0, targetUsed = 0, targetTotal = 0;
    VolumeBytes(program.sys, s.copySourceRoot, &sourceUsed, &sourceTotal);
    VolumeBytes(program.sys, s.copyTargetRoot, &targetUsed, &targetTotal);
    if (static_cast<double>(sourceUsed) / 1024 - static_cast<double>(targetTotal) / 1024 > 1e-7)
        return Tell(program,
                    Named(s.copySourceRoot, s.copySourceDiskPartition) + " 中的数据大小大于 " +
                        Named(s.copyTargetRoot, s.copyTargetDiskPartition) + " ，数据无法对拷！",
                    kMbIconWarning);
    OpenWindow<CopyConfirmation>(program)->Open();
}
