// An in-memory machine for native tests: files, drives, disks, events, and
// processes whose output a test scripts.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <set>
#include <string>
#include <vector>

#include "platform/sys.h"

// Thrown by FakeSys::ExitProcess so that a test sees where the program ended.
struct FakeProcessExit {
    unsigned exitCode;
};

struct FakeDrive {
    unsigned type = kDriveFixed;
    bool hasDeviceNumber = true;
    int deviceNumber = 0;
    int partitionNumber = 1;
    bool sizeKnown = true;
    std::uint64_t totalBytes = 0;
    std::uint64_t freeBytes = 0;
    bool writable = true;
    std::string label;
    std::string fileSystem = "NTFS";
};

class FakeSys : public Sys {
  public:
    FakeSys();

    // --- what a test sets up --------------------------------------------------------
    std::vector<std::string> arguments;
    std::string moduleFileName = "C:\\PE\\StarBridge.exe";
    std::string windowsDirectory = "C:\\Windows";
    std::string systemDirectory = "C:\\Windows\\system32";
    std::string currentDirectory = "C:\\Windows\\system32";
    bool ntFamily = true;
    int wow64DirectoryLength = 0;
    bool process64Bit = false;
    std::set<std::string> existingEvents;
    std::map<char, FakeDrive> drives;            // by upper-case letter
    std::map<int, std::string> physicalSectors;  // sector 0 by disk index
    // Output of a hidden run, by the full command line ("cmd.exe /c ...").
    std::map<std::string, std::string> commandOutputs;
    // Exit code of a hidden run, by the full command line (0 when not listed).
    std::map<std::string, unsigned> commandExitCodes;
    // Hidden runs of these full command lines fail to start.
    std::set<std::string> commandsThatCannotStart;
    // Called with each hidden run's command line while it "runs", before its output.
    std::function<void(const std::string&)> onCommand;
    // Paths whose writing fails (compared as Windows compares paths).
    std::set<std::string> failingWrites;
    // File versions by path (upper-cased).
    std::map<std::string, std::string> fileVersions;
    // File descriptions by path (upper-cased).
    std::map<std::string, std::string> fileDescriptions;
    // Program kinds by path (upper-cased); an existing file not listed is a 32-bit program.
    std::map<std::string, int> binaryTypes;
    // Files given the hidden attribute (upper-cased).
    std::set<std::string> hiddenFiles;
    // INI values: file path (upper-cased) -> "SECTION|KEY" (upper-cased) -> value.
    // Writing a value also makes the file exist.
    std::map<std::string, std::map<std::string, std::string>> iniValues;

    SysTime localTime{2016, 5, 1, 15, 15, 20};
    // The running processes other than the console (whose id ListProcesses adds while
    // it runs, named cmd.exe). Terminating one removes it.
    std::vector<ProcessEntry> processes;
    std::vector<std::string> processLog;  // "suspend 7", "resume 7"
    // Creation times by path (upper-cased); localTime when not listed.
    std::map<std::string, SysTime> creationTimes;
    unsigned formatDialogResult = 0;
    bool formatFails = false;
    // Called with each program run in a normal window while it "runs".
    std::function<void(const std::string&)> onProgramRun;
    std::vector<std::string> programsRunAndWaited;
    // Time-stamp counter readings, used in order; when they run out the counter counts
    // up by one from the last reading.
    std::deque<std::uint32_t> timeStampCounters;

    void AddDrive(char letter, const FakeDrive& drive);
    void AddFile(const std::string& path, const std::string& contents = std::string());
    // A file whose size is given without holding its bytes (large images).
    void AddSizedFile(const std::string& path, std::int64_t size);
    // An empty directory (directories holding files exist through them).
    void AddDirectory(const std::string& path);
    // SHFileOperation calls fail for these sources.
    std::set<std::string> failingShellOperations;
    // SetVolumeLabel fails on these roots.
    std::set<std::string> failingLabelRoots;
    bool HasFile(const std::string& path) const;
    bool IsHidden(const std::string& path) const { return hiddenFiles.count(Key(path)) != 0; }
    std::string FileContents(const std::string& path) const;

    // --- what a test reads back -------------------------------------------------------
    // Every file operation in order: "write PATH", "delete PATH", "exists PATH".
    std::vector<std::string> fileLog;
    std::vector<std::string> commandsRun;      // hidden runs, full command line
    std::vector<std::string> programsStarted;  // StartProgram command lines
    std::vector<std::string> eventsCreated;
    std::vector<std::string> powerLog;  // "privilege", "ExitWindowsEx 1 65535"
    std::vector<std::string> shellLog;  // "format 3", "properties D:\", "reveal X", "open URL",
                                        // "copy A -> B", "move A -> B", "label C:\\ NEW"

    // --- Sys -------------------------------------------------------------------------
    std::vector<std::string> CommandLineArguments() override { return arguments; }
    std::string ModuleFileName() override { return moduleFileName; }
    bool OpenEvent(const std::string& name) override;
    bool CreateEvent(const std::string& name) override;
    [[noreturn]] void ExitProcess(unsigned exitCode) override;
    bool IsNtFamily() override { return ntFamily; }
    int GetSystemWow64DirectoryLength() override { return wow64DirectoryLength; }
    bool IsProcess64Bit() override { return process64Bit; }
    SysTime GetLocalTime() override { return localTime; }
    std::uint32_t ReadTimeStampCounter() override;

    std::string GetWindowsDirectory() override { return windowsDirectory; }
    std::string GetSystemDirectory() override { return systemDirectory; }
    std::string GetCurrentDirectory() override { return currentDirectory; }
    bool PathFileExists(const std::string& path) override;
    bool FindFirstFileFinds(const std::string& pattern) override;
    bool WriteWholeFile(const std::string& path, const void* data, size_t size) override;
    bool DeleteFile(const std::string& path) override;
    bool ReadWholeFile(const std::string& path, std::string* contents) override;
    std::int64_t GetFileSize(const std::string& path) override;
    std::string GetFileVersion(const std::string& path) override;
    std::string GetFileDescription(const std::string& path) override;
    int GetBinaryType(const std::string& path) override;
    std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                        const std::string& defaultValue, const std::string& iniPath,
                                        size_t bufferSize) override;
    bool WritePrivateProfileString(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& iniPath) override;
    bool DeletePrivateProfileKey(const std::string& section, const std::string& key,
                                 const std::string& iniPath) override;
    bool HideFile(const std::string& path) override;
    std::string PathSearchAndQualify(const std::string& path, size_t bufferSize) override;

    std::vector<std::string> GetLogicalDriveStrings() override;
    unsigned GetDriveType(const std::string& root) override;
    bool GetDiskFreeSpaceEx(const std::string& root, std::uint64_t* freeBytes,
                            std::uint64_t* totalBytes, std::uint64_t* totalFreeBytes) override;
    bool GetStorageDeviceNumber(char driveLetter, int* deviceNumber, int* partitionNumber) override;
    bool ReadPhysicalDriveSector0(int diskIndex, std::string* sector) override;
    bool GetVolumeInformation(const std::string& root, std::string* label,
                              std::string* fileSystem) override;

    unsigned FormatDriveDialog(int driveIndex, unsigned options) override {
        shellLog.push_back("format " + std::to_string(driveIndex) +
                           (options ? " options " + std::to_string(options) : std::string()));
        return formatDialogResult;
    }
    bool FormatVolume(const std::string& root, const std::string& fileSystem,
                      const std::string& label, bool quick, unsigned clusterSize) override;
    bool ShowDriveProperties(const std::string& root) override {
        shellLog.push_back("properties " + root);
        return true;
    }
    std::vector<DirectoryEntry> FindFiles(const std::string& pattern) override;
    bool GetFileCreationTime(const std::string& path, SysTime* time) override;
    bool ShellFileOperation(ShellFileFunction function, const std::string& source,
                            const std::string& target) override;
    void RevealInExplorer(const std::string& path) override {
        shellLog.push_back("reveal " + path);
    }
    void ShellOpen(const std::string& file) override { shellLog.push_back("open " + file); }
    bool SetVolumeLabel(const std::string& root, const std::string& label) override;
    CommandResult RunHiddenAndCapture(const std::string& commandLine, bool exactReads) override;
    bool StartProgram(const std::string& commandLine, bool hidden, unsigned waitIdleMs) override;
    bool RunProgramAndWait(const std::string& commandLine) override;
    std::vector<ProcessEntry> ListProcesses() override;
    bool SuspendProcessById(unsigned processId) override;
    bool ResumeProcessById(unsigned processId) override;
    bool IsDirectory(const std::string& path) override;
    bool CreateDirectories(const std::string& path) override;
    bool DeleteDirectoryTree(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    std::string AnsiFromUtf8(const std::string& utf8) override;

    bool CreateConsoleProcess(const std::string& commandLine, const std::string& startDirectory,
                              ConsolePipes* pipes) override;
    long ReadPipe(SysHandle pipe, char* buffer, size_t size) override;
    long PeekPipe(SysHandle pipe) override;
    long WritePipe(SysHandle pipe, const std::string& bytes) override;
    void CloseHandle(SysHandle handle) override;
    bool TerminateProcessById(unsigned processId, unsigned exitCode) override;

    void EnableShutdownPrivilege() override;
    void ExitWindowsEx(unsigned flags, unsigned reason) override;

    // --- the fake console ---------------------------------------------------------------
    // What the console interpreter received on its standard input.
    std::string ConsoleInput();
    // Makes the interpreter print text (as if a command wrote it).
    void ConsolePrints(const std::string& text);
    std::string consoleCommandLine, consoleStartDirectory;
    std::vector<std::pair<unsigned, unsigned>> terminated;  // (process id, exit code)
    bool consoleStartFails = false;
    // A program the interpreter started keeps the output pipe's write end open after
    // the interpreter has ended (its output then never reports the end).
    bool consoleChildHoldsOutput = false;
    // The handles of the console started last.
    ConsolePipes consolePipes;
    // Calls that named a console handle after it had been closed ("ReadPipe 103").
    std::vector<std::string> ClosedHandleUses();
    // The thread that closed a console handle (a default id when still open).
    std::thread::id ClosedBy(SysHandle handle);

  private:
    std::uint32_t lastTimeStampCounter_ = 0;
    static std::string Key(const std::string& path);
    std::map<std::string, std::string> files_;   // by upper-cased path
    std::map<std::string, std::string> names_;   // upper-cased path -> path as written
    std::map<std::string, std::int64_t> sizes_;  // sized files without bytes
    std::set<std::string> directories_;          // upper-cased, no trailing backslash
    void NoteName(const std::string& path);

    // One pipe per handle pair; a handle names one end.
    struct Pipe {
        std::string data;
        int writers = 1;  // open write ends, the interpreter's own included
        bool readerClosed = false;
    };
    // Records a call naming a closed handle; pipeLock_ held.
    void NoteClosedUse(const char* call, SysHandle handle);
    std::vector<std::string> closedHandleUses_;
    std::map<SysHandle, std::thread::id> closedBy_;
    std::mutex pipeLock_;
    std::condition_variable pipeChanged_;
    std::map<int, Pipe> pipes_;
    std::map<SysHandle, std::pair<int, bool>> handles_;  // handle -> (pipe, is read end)
    SysHandle nextHandle_ = 100;
    int consoleInputPipe_ = -1, consoleOutputPipe_ = -1;
    unsigned consoleProcessId_ = 0;
};
