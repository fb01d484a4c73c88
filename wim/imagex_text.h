// What the WIM jobs read from ImageX and the lines they give it: the volume list from
// the image's XML description, the progress lines, the success line, the command lines.
#pragma once

#include <string>
#include <vector>

// The value between open and close in line: open found without regard to case, close
// searched (also without regard to case) after it. Empty when either is missing.
std::string ExtractBetween(const std::string& line, const std::string& open,
                           const std::string& close);

// The last line of text that a line break has ended (lines split at "\r\n"); a partial
// line still being written is not taken.
std::string LastCompleteLine(const std::string& text);

// What a progress line says: the percent text (as extracted, or without blanks for a
// capture) and the remaining-time text.
struct ImagexProgress {
    std::string percent;
    std::string remaining;
};
// percentClose is "% ] Applying" for an apply and "% ] Capturing" for a capture.
ImagexProgress ParseProgressText(const std::string& output, const std::string& percentClose,
                                 bool stripBlanks);
// The percent text read as a number, leading blanks ignored; 0 when it is none.
int PercentNumber(const std::string& percent);

// "已用时间：" with the seconds as hh:mm:ss.
std::string ElapsedText(long seconds);

// A number in the shortest general form with up to 13 significant digits.
std::string GeneralNumber(double value);
// Bytes as gigabytes rounded to two decimals ("12.5").
std::string GigabytesText(double bytes);

// The entries of the volume list, built from the XML description that "/info" prints
// (already in the program's code page). Values are slotted by their <IMAGE> block, so an
// image lacking a tag gets an empty value and never shifts the others.
std::vector<std::string> VolumeEntries(const std::string& info);

// True when a line of the output begins with "Successfully" (ImageX's own result line,
// not the echoed command).
bool OutputReportsSuccess(const std::string& output, const std::string& successText);

// The engine lines.
std::string ImagexInfoLine(const std::string& imagex, const std::string& integrityFlag,
                           const std::string& image);
std::string ImagexApplyLine(const std::string& imagex, const std::string& image, int volume,
                            const std::string& targetRoot);

// The capture line: source root, save path, image name, the fixed description, the
// system flag, the compression text (it begins with a blank) and the scratch folder on
// the save root.
struct CaptureLine {
    std::string imagex;
    std::string sourceRoot;
    std::string savePath;
    std::string name;
    std::string flag;
    std::string compression;
};
std::string ImagexCaptureLine(const CaptureLine& line);
// The save root ("D:\") and the scratch folder on it ("D:\ImagexTemp").
std::string SaveRootOf(const std::string& savePath);
std::string ScratchFolderOf(const std::string& savePath);

// Why a text cannot go between double quotes in a console line (empty when it can): a
// double quote would end the quoting, a last backslash would escape the closing quote, a
// percent sign may be read as one of the console's variables, a control character would
// end the line.
std::string CaptureNameProblem(const std::string& name);
// Why a save path cannot be captured to (empty when it can): it must be a full "X:\..."
// path the console line can carry, and not lie inside the scratch folder, which the end
// of the capture deletes.
std::string CaptureSavePathProblem(const std::string& savePath);
