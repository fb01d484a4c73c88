#include "base/exit.h"

#include "base/console.h"
#include "base/drives.h"
#include "base/notify.h"
#include "base/tool_files.h"

static void UnmountIsoTool(Program& program) {
    RunConsoleCommand(program, WindowsDirectory(program.sys) + "iso.exe /q");
}

void CleanUpAndExit(Program& program) {
    if (program.state.isoToolUsed) UnmountIsoTool(program);
    RemoveToolFiles(program);
    program.sys.ExitProcess(0);
}

void ExitFromMenu(Program& program) {
    if (program.state.jobRunning) {
        Tell(program, "正在执行任务，无法退出！", kMbIconWarning);
        return;
    }
    CleanUpAndExit(program);
}

void EndOnWindowDestroyed(Program& program) {
    UnmountIsoTool(program);
    program.sys.ExitProcess(0);
}
