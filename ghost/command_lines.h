// The Ghost engine's command lines, the switch texts the main window's options produce,
// and the rule that reads the engine's output.
#pragma once

#include <string>

#include "base/program.h"

// What the options produce.
void OnCrcOptionChanged(Program& program);
void OnNoIdeOptionChanged(Program& program);
void OnCompressionChanged(Program& program);
void OnPasswordOptionChanged(Program& program);

// " -span  -split=N -auto" and friends, from the split box's text.
std::string SplitSwitchFor(const std::string& splitText);
// A typed split size is a whole number of megabytes from kMinSplitMegabytes to
// kMaxSplitMegabytes; the box's own items are always accepted. The engine needs room
// for a span header and a chunk in every span, so it refuses spans under 2 MB.
constexpr long kMinSplitMegabytes = 2;
constexpr long kMaxSplitMegabytes = 1048576;
bool IsAcceptableSplitText(const std::string& splitText);

// The inputs of one line, read from the window and the program state.
struct GhostLineInputs {
    std::string ghostExePath;
    std::string diskPartition;  // selected disk:partition, e.g. 1:2
    std::string imagePath;
    std::string password;  // the password box
    std::string crcIgnoreSwitch, noIdeSwitch, ghostCompressionSwitch, splitSwitch, passwordSwitch;
};
GhostLineInputs LineInputsFrom(Program& program, const std::string& imagePath);

std::string GhostBackupLine(const GhostLineInputs& in);
std::string GhostRestoreLine(const GhostLineInputs& in);
std::string GhostCopyLine(const std::string& ghostExePath, const std::string& source,
                          const std::string& target);
std::string GhostCheckLine(const std::string& ghostExePath, const std::string& imagePath);
// Lines of the reboot-mode batch file run by DOS Ghost.
std::string RebootBackupLine(const GhostLineInputs& in, const std::string& dosImagePath);
std::string RebootRestoreLine(const GhostLineInputs& in, const std::string& dosDrive);

enum class GhostJob { Backup, Restore, Copy };
enum class GhostOutcome { Succeeded, Cancelled, Failed };
GhostOutcome JudgeGhostOutput(GhostJob job, const std::string& ghostOutput);
