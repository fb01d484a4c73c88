// The operating system as the program sees it.
//
// Implemented by:
//   platform/win32/win32_sys.cpp  Win32Sys  - the real Windows API (Windows, WinPE, Wine)
//   platform/fake/fake_sys.cpp    FakeSys   - an in-memory machine for native tests
//
// Names follow the Win32 calls they stand for. Texts are GBK byte strings (the ANSI
// code page); the subsystem folders decide everything, an implementation only
// reports what the system says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Drive types as GetDriveTypeA reports them.
enum DriveType : unsigned {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6,
};

// Program kinds as GetBinaryTypeA reports them.
enum BinaryType : int { kBinaryUnknown = -1, kBinary32 = 0, kBinary64 = 6 };

// Handles of the persistent console's pipes and process. Opaque to the caller.
using SysHandle = std::uintptr_t;

struct ConsolePipes {
    SysHandle inputRead = 0;    // the interpreter's standard input
    SysHandle inputWrite = 0;   // kept by the program, lines are typed into it
    SysHandle outputRead = 0;   // read by the reader thread
    SysHandle outputWrite = 0;  // the interpreter's standard output and error
    unsigned processId = 0;
};

// What a hidden run of a command line came to.
struct CommandResult {
    bool started = false;   // CreateProcessA succeeded
    std::string output;     // everything it printed on standard output and error
    unsigned exitCode = 0;  // its exit code once it ended
};

// One running process, as the process list (CreateToolhelp32Snapshot) reports it.
struct ProcessEntry {
    unsigned id = 0;
    unsigned parentId = 0;
    std::string exeName;  // the executable's file name, "Imagex.exe"
};

// One entry of a directory enumeration (FindFirstFileA / FindNextFileA).
struct DirectoryEntry {
    std::string name;          // cFileName
    bool isDirectory = false;  // FILE_ATTRIBUTE_DIRECTORY (16)
};

// SHFileOperationA functions.
enum ShellFileFunction : unsigned { kFoMove = 1, kFoCopy = 2 };

// A local date and time, as GetLocalTime reports it.
struct SysTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

class Sys {
  public:
    virtual ~Sys() = default;

    // --- process ---------------------------------------------------------------
    // The arguments after the program's own path, split by the usual rules.
    virtual std::vector<std::string> CommandLineArguments() = 0;
    // Full path of the program file (GetModuleFileNameA).
    virtual std::string ModuleFileName() = 0;
    // OpenEventA(EVENT_ALL_ACCESS): true when an event of that name exists.
    virtual bool OpenEvent(const std::string& name) = 0;
    // CreateEventA (auto-reset, not signalled); the handle stays open for life.
    virtual bool CreateEvent(const std::string& name) = 0;
    // Ends the process at once. Never returns.
    [[noreturn]] virtual void ExitProcess(unsigned exitCode) = 0;
    // GetVersionExA platform id is VER_PLATFORM_WIN32_NT.
    virtual bool IsNtFamily() = 0;
    // GetSystemWow64DirectoryA into a 255-byte buffer: its result, or -1 when
    // kernel32 does not export the function.
    virtual int GetSystemWow64DirectoryLength() = 0;
    // True in the 64-bit build of the program.
    virtual bool IsProcess64Bit() = 0;

    // Every running process (Process32First / Process32Next).
    virtual std::vector<ProcessEntry> ListProcesses() = 0;
    // Stops or lets go on every thread of a process (ZwSuspendProcess / ZwResumeProcess).
    virtual bool SuspendProcessById(unsigned processId) = 0;
    virtual bool ResumeProcessById(unsigned processId) = 0;

    // --- time -----------------------------------------------------------------------
    // GetLocalTime.
    virtual SysTime GetLocalTime() = 0;
    // The low 32 bits of the processor's time-stamp counter, read now.
    virtual std::uint32_t ReadTimeStampCounter() = 0;

    // --- files and directories ------------------------------------------------------
    virtual std::string GetWindowsDirectory() = 0;  // as the system gives it
    virtual std::string GetSystemDirectory() = 0;
    virtual std::string GetCurrentDirectory() = 0;
    virtual bool PathFileExists(const std::string& path) = 0;
    // FindFirstFileA(pattern) finds an entry.
    virtual bool FindFirstFileFinds(const std::string& pattern) = 0;
    // Creates or truncates the file and writes the bytes; false when any step fails.
    virtual bool WriteWholeFile(const std::string& path, const void* data, size_t size) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // Reads the whole file; false when it cannot be opened or read.
    virtual bool ReadWholeFile(const std::string& path, std::string* contents) = 0;
    // The file's size in bytes, -1 when it cannot be read.
    virtual std::int64_t GetFileSize(const std::string& path) = 0;
    // PathIsDirectoryA.
    virtual bool IsDirectory(const std::string& path) = 0;
    // Creates the directory and any missing directory above it.
    virtual bool CreateDirectories(const std::string& path) = 0;
    // Deletes the directory with everything inside it.
    virtual bool DeleteDirectoryTree(const std::string& path) = 0;
    // CopyFileA, overwriting the target.
    virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
    // The file's creation time in local time; false when it cannot be read.
    virtual bool GetFileCreationTime(const std::string& path, SysTime* time) = 0;
    // UTF-8 text in the ANSI code page (GBK); characters it lacks become '?'.
    virtual std::string AnsiFromUtf8(const std::string& utf8) = 0;
    // The file version of a program file ("6.1.7601.17514"), empty when it has none.
    virtual std::string GetFileVersion(const std::string& path) = 0;
    // The "FileDescription" text of a program file's version resource (first
    // translation), empty when it has none.
    virtual std::string GetFileDescription(const std::string& path) = 0;
    // GetBinaryTypeA: kBinary32 (SCS_32BIT_BINARY) or kBinary64 (SCS_64BIT_BINARY) for a
    // Windows program, another SCS_ value for other programs, kBinaryUnknown when the
    // file is none or cannot be read.
    virtual int GetBinaryType(const std::string& path) = 0;
    // GetPrivateProfileStringA with a buffer of bufferSize bytes.
    virtual std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                                const std::string& defaultValue,
                                                const std::string& iniPath, size_t bufferSize) = 0;
    // WritePrivateProfileStringA; false when the file cannot be written.
    virtual bool WritePrivateProfileString(const std::string& section, const std::string& key,
                                           const std::string& value,
                                           const std::string& iniPath) = 0;
    // WritePrivateProfileStringA with no value: removes the key.
    virtual bool DeletePrivateProfileKey(const std::string& section, const std::string& key,
                                         const std::string& iniPath) = 0;
    // SetFileAttributesA with the hidden attribute added.
    virtual bool HideFile(const std::string& path) = 0;
    // FindFirstFileA / FindNextFileA over a pattern ("C:\\dir\\*.Gho"): every entry
    // in the order the file system gives them ("." and ".." as the system reports them);
    // empty when nothing matches or the directory cannot be read.
    virtual std::vector<DirectoryEntry> FindFiles(const std::string& pattern) = 0;
    // SHFileOperationA without owner window, FOF_NOERRORUI only, one source and one
    // target; true when the call returns 0.
    virtual bool ShellFileOperation(ShellFileFunction function, const std::string& source,
                                    const std::string& target) = 0;
    // A file-browser window on the path's folder with the path selected
    // (ILCreateFromPathA + SHOpenFolderAndSelectItems).
    virtual void RevealInExplorer(const std::string& path) = 0;
    // ShellExecuteA(no owner, "open", file, "", "", SW_SHOWNORMAL); result ignored.
    virtual void ShellOpen(const std::string& file) = 0;
    // SetVolumeLabelA on a root such as "C:\\".
    virtual bool SetVolumeLabel(const std::string& root, const std::string& label) = 0;
    // PathSearchAndQualifyA into a buffer of bufferSize bytes; empty on failure.
    virtual std::string PathSearchAndQualify(const std::string& path, size_t bufferSize) = 0;

    // --- drives and disks -----------------------------------------------------------
    // GetLogicalDriveStringsA: roots such as "C:\", in letter order.
    virtual std::vector<std::string> GetLogicalDriveStrings() = 0;
    virtual unsigned GetDriveType(const std::string& root) = 0;
    // GetDiskFreeSpaceExA: free bytes available to the caller, total bytes and, when
    // asked for, total free bytes.
    virtual bool GetDiskFreeSpaceEx(const std::string& root, std::uint64_t* freeBytes,
                                    std::uint64_t* totalBytes,
                                    std::uint64_t* totalFreeBytes = nullptr) = 0;
    // IOCTL_STORAGE_GET_DEVICE_NUMBER on \\.\X: (read access only).
    virtual bool GetStorageDeviceNumber(char driveLetter, int* deviceNumber,
                                        int* partitionNumber) = 0;
    // Reads the 512 bytes of sector 0 of \\.\PhysicalDrive<index>; read-only.
    virtual bool ReadPhysicalDriveSector0(int diskIndex, std::string* sector) = 0;
    // GetVolumeInformationA: label and file system name.
    virtual bool GetVolumeInformation(const std::string& root, std::string* label,
                                      std::string* fileSystem) = 0;

    // The system's format dialog for a drive (SHFormatDrive, drive index 0 for A:, format
    // identity 0xFFFF, the given options); its result, 0 after a format.
    virtual unsigned FormatDriveDialog(int driveIndex, unsigned options = 0) = 0;
    // Formats a volume without a dialog (FormatEx of fmifs.dll, fixed-disk media) and
    // waits for its final report; true when it reports success.
    virtual bool FormatVolume(const std::string& root, const std::string& fileSystem,
                              const std::string& label, bool quick, unsigned clusterSize) = 0;
    // The system's properties sheet for a drive or a file (ShellExecuteEx "properties");
    // true when the result is above 32.
    virtual bool ShowDriveProperties(const std::string& root) = 0;

    // --- commands -------------------------------------------------------------------
    // Runs a command line (passed to CreateProcessA unchanged) hidden, with standard
    // output and error on one pipe, and returns whether it started, all it printed and
    // its exit code once it has ended. The window keeps processing its messages
    // meanwhile. exactReads: append exactly the bytes read; otherwise each read stops
    // at its first zero byte.
    virtual CommandResult RunHiddenAndCapture(const std::string& commandLine, bool exactReads) = 0;
    // Starts a program without waiting for it (CreateProcessA, at most waitIdleMs for
    // it to become idle). hidden: SW_HIDE. False when it cannot be started.
    virtual bool StartProgram(const std::string& commandLine, bool hidden, unsigned waitIdleMs) = 0;

    // Starts a command line in a normal window and waits for it to end; false when it
    // cannot be started.
    virtual bool RunProgramAndWait(const std::string& commandLine) = 0;

    // Persistent console: an interpreter with both standard streams on pipes.
    virtual bool CreateConsoleProcess(const std::string& commandLine,
                                      const std::string& startDirectory, ConsolePipes* pipes) = 0;
    // Blocking read; returns the bytes read, 0 at the end, -1 on failure.
    virtual long ReadPipe(SysHandle pipe, char* buffer, size_t size) = 0;
    // PeekNamedPipe: the bytes waiting in the pipe now (a read of at most that many does
    // not block), -1 once every write end is closed and nothing is left, or on failure.
    virtual long PeekPipe(SysHandle pipe) = 0;
    // Returns the bytes written, -1 on failure.
    virtual long WritePipe(SysHandle pipe, const std::string& bytes) = 0;
    virtual void CloseHandle(SysHandle handle) = 0;
    // OpenProcess(PROCESS_TERMINATE) + TerminateProcess.
    virtual bool TerminateProcessById(unsigned processId, unsigned exitCode) = 0;

    // --- power ----------------------------------------------------------------------
    // OpenProcessToken / LookupPrivilegeValueA / AdjustTokenPrivileges for
    // "SeShutdownPrivilege"; results not checked.
    virtual void EnableShutdownPrivilege() = 0;
    // ExitWindowsEx(flags, reason).
    virtual void ExitWindowsEx(unsigned flags, unsigned reason) = 0;
};
