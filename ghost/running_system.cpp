#include "ghost/running_system.h"

#include "base/drives.h"
#include "base/notify.h"
#include "disk/inventory.h"

RunningSystem CheckRunningSystemPartition(Program& program, const std::string& root,
                                          const std::string& gptMessage) {
    if (!IsRunningSystemPartition(program.sys, root)) return RunningSystem::Elsewhere;
    if (IsGptDisk(program.sys, DiskNumberOf(program.sys, root)) == 1) {
        Tell(program, gptMessage, kMbIconError);
        return RunningSystem::Refused;
    }
    return RunningSystem::RebootMode;
}
