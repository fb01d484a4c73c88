// Bootice's command lines, as the program builds them (option names ignore case):
//   /DEVICE=<dev> /mbr /install  /type=nt52|nt60  /quiet     write a master boot record
//   /DEVICE=<dev> /pbr /install  /type=ntldr|bootmgr /quiet  write a partition boot record
//   /DEVICE=<dev> /partitions /activate /quiet               mark a partition active
//   /diskinfo /getdrv /drive=<N> /file=<path>                write the disk report file
//   /edit_bcd [/easymode] /file="<path>"                     BCD editor
//   /edit_g4dmenu /file="<path>"                             GRUB4DOS menu editor
// <dev> is a drive ("C:" or "C:\") or disk:partition ("1:2"). An unquoted /file= path is
// the raw rest of the line, blanks and all. Without arguments Bootice shows its usage.
#pragma once

#include <memory>
#include <string>

#include "engines/bootice/diskinfo_report.h"

namespace bootice {

// Exit codes; numbers are never reused.
enum ExitCode {
    kExitOk = 0,
    kExitBadCommandLine = 1,
    kExitNotBuilt = 2,  // understood, but this build does not do it (nothing was written)
    kExitDiskQueryFailed = 3,
    kExitReportNotWritten = 4,
};

struct BooticeCommand {
    enum class Action {
        Usage,
        InstallMbr,
        InstallPbr,
        ActivatePartition,
        DiskInfo,
        EditBcd,
        EditGrub4dosMenu,
    } action = Action::Usage;
    std::string device;  // the /DEVICE= value as given
    std::string type;    // the /type= value, lower case
    bool quiet = false;
    int drive = -1;    // /drive=, disks counted from 0
    std::string file;  // /file=, quotes removed
    bool easyMode = false;
};

bool ParseBooticeCommandLine(const std::string& commandLine, BooticeCommand& command,
                             std::string& error);

// What Bootice needs from the machine. Implemented by backend_windows.cpp (read-only
// disk queries) and backend_folder.cpp (natively: SB_FAKE_DISKS, a folder of
// disk<N>.img images with optional disk<N>.model texts); the build links one.
class DiskBackend {
  public:
    virtual ~DiskBackend() = default;
    virtual bool QueryDisk(int drive, DiskIdentity& disk, std::string& error) = 0;
    // Creates or replaces a text file; `utf8` is converted as the platform's text files are.
    virtual bool WriteTextFile(const std::string& path, const std::string& utf8,
                               std::string& error) = 0;
    // A message for a person when Bootice was started without a console to print to.
    virtual void ShowNotice(const std::string& utf8) = 0;
};

std::unique_ptr<DiskBackend> MakeDiskBackend();

struct RunResult {
    int exitCode = kExitOk;
    std::string output;      // UTF-8, lines end "\r\n"
    bool forPerson = false;  // usage or an editor: started from a menu, not a console
};

RunResult RunBootice(const std::string& commandLine, DiskBackend& backend);

}  // namespace bootice
