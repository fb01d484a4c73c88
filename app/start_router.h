// The start button: the current mode and the kind of the chosen image decide the job.
// The checks every path of a mode shares run here, before the job takes over.
#pragma once

#include <string>

#include "base/program.h"

enum class ImageKind {
    None,        // nothing chosen
    Ghost,       // ".GHO"
    Wim,         // ".WIM"
    SetupMedia,  // Windows XP setup: its ".EXE" or the I386 / AMD64 folder at a drive's root
    Other,
};
// The kind of an image path or a save path, by its extension (any case).
ImageKind ImageKindOf(const std::string& path);

enum class Job {
    GhostRestore,
    WimApply,
    XpSetup,
    GhostBackup,
    WimCapture,
    PartitionCopy,
    WrongRestoreFile,  // the restore message for other files
    WrongBackupFile,   // the backup message for other files
};
enum class Mode { Restore, Backup, Copy };
// Which job a mode gives to an image of that kind.
Job JobFor(Mode mode, ImageKind kind);

// The start button.
void OnStartButton(Program& program);
// The browse button: the save dialog in backup mode, the image dialog otherwise.
void OnBrowseButton(Program& program);
