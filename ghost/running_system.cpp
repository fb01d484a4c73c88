#include "ghost/running_system.h"

#include "base/drives.h"
#include "base/notify.h"
#include "disk/inventory.h"

bool RefuseRunningSystemPartition(Program& program, const std::string& root,
                                  const std::string& gptMessage, const std::string& otherMessage) {
    if (!IsRunningSystemPartition(program.sys, root)) return false;
    const bool gpt = IsGptDisk(program.sys, DiskNumberOf(program.sys, root)) == 1;
    Tell(program, gpt ? gptMessage : otherMessage, kMbIconError);
    return true;
}
