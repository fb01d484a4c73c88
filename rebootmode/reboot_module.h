// The reboot-mode module: for the partition of the running desktop Windows, which Ghost
// cannot image while it runs, a boot entry that starts a small DOS system at the next
// boot, runs DOS Ghost with a prepared job and restarts. Also the main menu's uninstall.
#pragma once

#include <string>

#include "base/program.h"

enum class ModuleForm { Backup, Restore };

// What the system root's cmd.exe says the running Windows is.
enum class SystemKind { Xp, Vista, Ten, Other };
SystemKind RunningSystemKind(Sys& sys);

// Hand-overs from the Ghost backup and restore confirmations.
void PrepareRebootBackup(Program& program, JobDialog& dialog, const std::string& savePath,
                         HandOvers::RebootJobText jobText);
void PrepareRebootRestore(Program& program, JobDialog& dialog, const std::string& image,
                          HandOvers::RebootJobText jobText);

// Writes the module files, ghost.ba_ and the boot entry. False after a failure, whose
// message has been shown; a boot entry or boot.ini change made before it is undone.
bool InstallBootModule(Program& program, ModuleForm form, JobDialog& dialog,
                       const std::string& jobText);

// The main menu's uninstall command.
void UninstallBootModule(Program& program);
