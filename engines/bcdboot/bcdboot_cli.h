// bcdboot's command lines:
//   BCDBOOT.EXE <Windows folder> /s <drive>     create the boot files on <drive>
//   BCDBOOT.EXE <Windows folder> /l <locale>    set the boot menu language
// Option names ignore case ("/S" in the retry batch). The program judges success by
// "successfully" or "成功" in the output, so no failure text may hold either.
#pragma once

#include <string>

namespace bcdboot {

// Exit codes; numbers are never reused.
enum ExitCode {
    kExitOk = 0,
    kExitBadCommandLine = 1,
    kExitNotBuilt = 2,  // understood, but this build cannot write boot files yet
};

struct BcdbootCommand {
    std::string windowsFolder;  // as given, e.g. C:\\\Windows
    std::string systemDrive;    // /s value, e.g. C:\ ; empty when absent
    std::string locale;         // /l value, e.g. zh-cn ; empty when absent
};

bool ParseBcdbootCommandLine(const std::string& commandLine, BcdbootCommand& command,
                             std::string& error);

struct RunResult {
    int exitCode = kExitOk;
    std::string output;  // UTF-8, lines end "\r\n"
};

RunResult RunBcdboot(const std::string& commandLine);

}  // namespace bcdboot
