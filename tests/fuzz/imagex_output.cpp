// The program's readers of ImageX output: progress lines, the last complete line, the
// success line and the volume list built from the XML description of "/info". The
// first byte picks the job's progress wording and the blank stripping.
#include <string>

#include "tests/fuzz/fuzz_target.h"
#include "wim/imagex_text.h"

SB_FUZZ_TARGET(imagex_output) {
    if (size < 1) return;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool capture = data[0] & 1;
    const ImagexProgress p =
        ParseProgressText(text, capture ? "% ] Capturing" : "% ] Applying", data[0] & 2);
    PercentNumber(p.percent);
    LastCompleteLine(text);
    ExtractBetween(text, "<NAME>", "</NAME>");
    OutputReportsSuccess(text, "Successfully");
    VolumeEntries(text);
}
