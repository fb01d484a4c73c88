// bcdboot's command lines:
//   BCDBOOT.EXE <Windows folder> [/s <drive>] [/l <locale>] [/f BIOS|UEFI|ALL]
// e.g. "BCDBOOT.EXE C:\\\Windows /s C:\" and "BCDBOOT.EXE C:\\\Windows /l zh-cn ".
// Option names ignore case ("/S" in the retry batch); runs of backslashes in the Windows
// folder count as one.
//
// It copies the boot manager and its files from <Windows>\Boot onto the system
// partition (/s, else the active partition of the Windows folder's disk):
//   BIOS: Boot\PCAT\bootmgr -> S:\bootmgr, the rest of Boot\PCAT and Boot\Fonts -> S:\Boot
//   UEFI: Boot\EFI -> S:\EFI\Microsoft\Boot\, bootmgfw.efi also as S:\EFI\Boot\bootx64.efi
// and creates or updates the store (S:\Boot\BCD, S:\EFI\Microsoft\Boot\BCD) with the boot
// manager and one loader entry for that Windows, replacing an older entry for the same
// Windows (same system partition and folder), made the default and first in the menu.
// Success prints "Boot files successfully created."; the program judges success by
// "successfully" or "成功" in the output, so no failure text holds either.
#pragma once

#include <string>

namespace bcdboot {

// Exit codes; numbers are never reused.
enum ExitCode {
    kExitOk = 0,
    kExitBadCommandLine = 1,
    kExitNotBuilt = 2,  // no longer used
    kExitFailed = 3,    // the boot files could not be created
};

struct BcdbootCommand {
    std::string windowsFolder;      // as given, e.g. C:\\\Windows
    std::string systemDrive;        // /s value, e.g. C:\ ; empty when absent
    std::string locale;             // /l value, e.g. zh-cn ; empty when absent
    std::string firmware = "BIOS";  // /f value, upper case
};

bool ParseBcdbootCommandLine(const std::string& commandLine, BcdbootCommand& command,
                             std::string& error);

struct RunResult {
    int exitCode = kExitOk;
    std::string output;  // UTF-8, lines end "\r\n"
};

RunResult RunBcdboot(const std::string& commandLine);

// Where a Windows path ("C:\Boot\BCD") is for the file calls: itself on Windows;
// natively under the folder SB_FAKE_DRIVES names, one subfolder per lower-case letter.
std::string LocalPath(const std::string& windowsPath);

}  // namespace bcdboot
