#include "disk/boot_records.h"

#include "base/console.h"
#include "base/drives.h"

const char kBooticeNt60Mbr[] = " /mbr /install  /type=nt60  /quiet";
const char kBooticeActivate[] = " /partitions /activate /quiet";
const char kBooticeNt52Mbr[] = " /mbr /install  /type=nt52  /quiet";
const char kBooticeNtldrPbr[] = " /pbr /install  /type=ntldr /quiet";
const char kBooticeBootmgrPbr[] = " /pbr /install  /type=bootmgr /quiet";

std::string BooticeLine(Sys& sys, const std::string& device, const std::string& switches) {
    return WindowsDirectory(sys) + "BOOTICE.EXE /DEVICE=" + device + switches;
}

void WriteBootRecordsAfterGhost(Program& program, const std::string& root,
                                const std::string& diskPartition) {
    const std::string version = program.sys.GetFileVersion(root + "Windows\\system32\\CMD.exe");
    const char* mbr = nullptr;
    const char* pbr = nullptr;
    if (version.compare(0, 1, "5") == 0) {
        mbr = kBooticeNt52Mbr;
        pbr = kBooticeNtldrPbr;
    } else if (version.compare(0, 1, "6") == 0 || version.compare(0, 2, "10") == 0) {
        mbr = kBooticeNt60Mbr;
        pbr = kBooticeBootmgrPbr;
    } else {
        return;
    }
    // Both write to the same disk: the second starts only after the first has ended.
    RunConsoleCommand(program, BooticeLine(program.sys, diskPartition, mbr));
    RunConsoleCommand(program, BooticeLine(program.sys, diskPartition, pbr));
}
