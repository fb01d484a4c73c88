// Bootice's command lines, as the program builds them (option names ignore case):
//   /DEVICE=<dev> /mbr /install  /type=nt52|nt60  /quiet     write a master boot record
//   /DEVICE=<dev> /pbr /install  /type=ntldr|bootmgr /quiet  write a partition boot record
//   /DEVICE=<dev> /partitions /activate /quiet               mark a partition active
//   /diskinfo /getdrv /drive=<N> /file=<path>                write the disk report file
//   /edit_bcd [/easymode] /file="<path>"                     BCD editor
//   /edit_g4dmenu /file="<path>"                             GRUB4DOS menu editor
// <dev> is a drive ("C:" or "C:\") or disk:partition ("1:2", disks counted from 1 as the
// program's partition list counts them, partitions from 1 as Windows numbers them; see
// disk_layout.h). /drive= counts disks from 0. An unquoted /file= path is the raw rest of
// the line, blanks and all. Without arguments Bootice shows its usage.
//
// What the writes do (MBR disks only; a GPT disk is refused and nothing is written):
//   /mbr      our master boot code into bytes 0..439 of sector 0 of the device's disk;
//             the disk signature, the partition table and 55 AA stay
//   /pbr      our FAT32 (sector 0) or NTFS (sectors 0..15) boot code into the device's
//             partition, loading BOOTMGR or NTLDR from its root; the parameter block stays
//   /activate the device's partition becomes the only active entry of the table
#pragma once

#include <memory>
#include <string>

#include "engines/bootice/block_device.h"
#include "engines/bootice/disk_layout.h"
#include "engines/bootice/diskinfo_report.h"

namespace bootice {

// Exit codes; numbers are never reused.
enum ExitCode {
    kExitOk = 0,
    kExitBadCommandLine = 1,
    kExitNotBuilt = 2,  // no longer used
    kExitDiskQueryFailed = 3,
    kExitReportNotWritten = 4,
    kExitRefused = 5,      // the target is not what the command line names, or unsuitable
    kExitWriteFailed = 6,  // the write did not read back; the old sectors were put back
    kExitEditorFile = 7,   // the editor's file cannot be opened
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

    // Where a /DEVICE= text lies: its disk (from 0) and either its partition number
    // (D:P) or its byte offset on the disk (a drive letter, from the volume's extents).
    struct Location {
        int disk = -1;
        int partitionNumber = -1;
        bool offsetKnown = false;
        uint64_t offsetBytes = 0;
    };
    virtual bool LocateDevice(const std::string& device, Location& where, std::string& error) = 0;
    // Opens the disk itself; writes go nowhere else.
    virtual std::unique_ptr<BlockDevice> OpenDisk(int disk, bool forWrite, std::string& error) = 0;
    // The last check before a write: the system agrees that `partition` (as read from
    // the disk's table) is the volume the command line named.
    virtual bool ConfirmPartition(const Location& where, const Partition& partition,
                                  uint32_t sectorSize, std::string& error) = 0;
};

std::unique_ptr<DiskBackend> MakeDiskBackend();

enum class EditorKind { None, BcdProfessional, BcdEasy, Grub4dosMenu };

struct RunResult {
    int exitCode = kExitOk;
    std::string output;                    // UTF-8, lines end "\r\n"
    bool forPerson = false;                // usage or an editor: started from a menu, not a console
    EditorKind editor = EditorKind::None;  // an editor to open on `editorFile`
    std::string editorFile;
};

RunResult RunBootice(const std::string& commandLine, DiskBackend& backend);

// Opens an editor and returns Bootice's exit code: the editor windows on Windows
// (editor_win.cpp); natively a listing of what the editor would show
// (editor_console.cpp), printed through `print`.
int RunEditor(EditorKind kind, const std::string& file, void (*print)(const std::string& utf8));

}  // namespace bootice
