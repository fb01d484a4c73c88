#include "base/console.h"

static std::string InterpreterLine(Sys& sys, const std::string& commandLine) {
    return (sys.IsNtFamily() ? "cmd.exe /c " : "command.com /c ") + commandLine;
}

CommandResult RunConsoleCommand(Program& program, const std::string& commandLine) {
    return program.sys.RunHiddenAndCapture(InterpreterLine(program.sys, commandLine), false);
}

CommandResult RunConsoleCommandExact(Program& program, const std::string& commandLine) {
    return program.sys.RunHiddenAndCapture(InterpreterLine(program.sys, commandLine), true);
}
