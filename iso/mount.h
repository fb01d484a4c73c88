// Restoring from an ISO image: mounting it on a virtual drive with the ISO tool, listing
// what it holds, and picking the image (or Windows XP setup folder) to restore.
#pragma once

#include <string>
#include <vector>

#include "base/program.h"

// The first candidate letter that is absent from the drive list. When every candidate
// is taken: the drive-letter error box, and the letter used last time (possibly empty).
std::string ChooseIsoLetter(Program& program, const std::vector<std::string>& candidates,
                            const std::string& lastLetter);

// The tool's mount command: WindowsDirectory + "ISO.exe /D:" + letter + " /I:" + the
// fully qualified path in double quotes.
std::string IsoMountCommand(Program& program, const std::string& letter,
                            const std::string& isoPath);

// The image list menu's "加载到虚拟光驱(&G)": asks, then MountIsoAndList.
void OnMountIsoMenu(Program& program);
// Mounts the ISO selected in the image list and lists its files in list box 3.
void MountIsoAndList(Program& program);
// Mounts the ISO and puts what it holds into the image path box.
void ClassifyMountedIso(Program& program, const std::string& isoPath);
// The browse button in restore mode.
void BrowseImageForRestore(Program& program);

// What an ISO holds, as the found-image list shows it: the index of the entry to
// select (the setup's sources\install.wim, else the first entry above 200 MB; -1: none).
// sizesKiB holds each entry's size; installWimIndex the position of install.wim (-1).
int PickFoundImage(const std::vector<std::string>& found, const std::vector<std::int64_t>& sizesKiB,
                   const std::string& letter);
