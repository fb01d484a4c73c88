// The label of the volume behind a drive, as the WIM format step shows it.
#pragma once

#include <string>

#include "platform/sys.h"

// Appends "\" to drive unless it is exactly three bytes long (so "C:" becomes "C:\",
// "C:\" stays, "C:\\" becomes "C:\\\"), stores that back into drive, and returns the
// volume's label; empty for no label and for every failure.
std::string QueryVolumeLabel(Sys& sys, std::string& drive);
