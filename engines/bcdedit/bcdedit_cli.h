// bcdedit: edits a BCD store file. The lines the program sends (with or without
// "/store <file>" in front of the command):
//   /create /d "<description>" /application bootsector|osloader   -> "The entry {GUID} was
//                                                                     successfully created."
//   /create {id} /d "<description>" /application ...
//   /set {id} device|osdevice partition=C:|boot
//   /set {id} path|description|systemroot|locale <text>
//   /set {id} timeout|nx <number>          /deletevalue {id} <element>
//   /displayorder {id}... [/addlast|/addfirst|/remove]
//   /bootsequence {id}... [/addlast|/addfirst|/remove]
//   /default {id}    /timeout <seconds>    /delete {id} [/f] [/cleanup|/nocleanup]
//   /enum [all|active|{id}]                /createstore <file>
// Changes print "The operation completed successfully.". Identifiers are {GUID} or the
// names {bootmgr}, {default}, {globalsettings}, {bootloadersettings}. Failure texts
// never hold "{" or "}", so a caller that takes the identifier between braces finds none.
#pragma once

#include <string>

namespace bcdedit {

enum ExitCode { kExitOk = 0, kExitFailed = 1 };

struct RunResult {
    int exitCode = kExitOk;
    std::string output;  // UTF-8, lines end "\r\n"
};

// `defaultStore` is the store used without /store (empty: there is none).
RunResult RunBcdedit(const std::string& commandLine, const std::string& defaultStore);

}  // namespace bcdedit
