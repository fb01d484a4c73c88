// Sys over the real Windows API (Windows, WinPE, Wine).
#pragma once

#include <functional>

#include "platform/sys.h"

class Win32Sys : public Sys {
  public:
    // Runs just before the process ends (the tray icon is removed there).
    std::function<void()> beforeExit;

    std::vector<std::string> CommandLineArguments() override;
    std::string ModuleFileName() override;
    bool OpenEvent(const std::string& name) override;
    bool CreateEvent(const std::string& name) override;
    [[noreturn]] void ExitProcess(unsigned exitCode) override;
    bool IsNtFamily() override;
    int GetSystemWow64DirectoryLength() override;
    bool IsProcess64Bit() override { return sizeof(void*) == 8; }
    SysTime GetLocalTime() override;
    std::uint32_t ReadTimeStampCounter() override;

    std::string GetWindowsDirectory() override;
    std::string GetSystemDirectory() override;
    std::string GetCurrentDirectory() override;
    bool PathFileExists(const std::string& path) override;
    bool FindFirstFileFinds(const std::string& pattern) override;
    bool WriteWholeFile(const std::string& path, const void* data, size_t size) override;
    bool DeleteFile(const std::string& path) override;
    std::int64_t GetFileSize(const std::string& path) override;
    std::string GetFileVersion(const std::string& path) override;
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

    unsigned FormatDriveDialog(int driveIndex, unsigned options) override;
    bool FormatVolume(const std::string& root, const std::string& fileSystem,
                      const std::string& label, bool quick, unsigned clusterSize) override;
    bool RunProgramAndWait(const std::string& commandLine) override;
    std::vector<ProcessEntry> ListProcesses() override;
    bool SuspendProcessById(unsigned processId) override;
    bool ResumeProcessById(unsigned processId) override;
    bool IsDirectory(const std::string& path) override;
    bool CreateDirectories(const std::string& path) override;
    bool DeleteDirectoryTree(const std::string& path) override;
    bool CopyFile(const std::string& from, const std::string& to) override;
    bool GetFileCreationTime(const std::string& path, SysTime* time) override;
    std::string AnsiFromUtf8(const std::string& utf8) override;
    bool ShowDriveProperties(const std::string& root) override;
    std::vector<DirectoryEntry> FindFiles(const std::string& pattern) override;
    bool ReadWholeFile(const std::string& path, std::string* contents) override;
    std::string GetFileDescription(const std::string& path) override;
    int GetBinaryType(const std::string& path) override;
    bool ShellFileOperation(ShellFileFunction function, const std::string& source,
                            const std::string& target) override;
    void RevealInExplorer(const std::string& path) override;
    void ShellOpen(const std::string& file) override;
    bool SetVolumeLabel(const std::string& root, const std::string& label) override;
    CommandResult RunHiddenAndCapture(const std::string& commandLine, bool exactReads) override;
    bool StartProgram(const std::string& commandLine, bool hidden, unsigned waitIdleMs) override;

    bool CreateConsoleProcess(const std::string& commandLine, const std::string& startDirectory,
                              ConsolePipes* pipes) override;
    long ReadPipe(SysHandle pipe, char* buffer, size_t size) override;
    long PeekPipe(SysHandle pipe) override;
    long WritePipe(SysHandle pipe, const std::string& bytes) override;
    void CloseHandle(SysHandle handle) override;
    bool TerminateProcessById(unsigned processId, unsigned exitCode) override;

    void EnableShutdownPrivilege() override;
    void ExitWindowsEx(unsigned flags, unsigned reason) override;
};
