#include "base/drives.h"

#include "base/program.h"
#include "base/text_util.h"

static std::string WithTrailingBackslash(std::string dir) {
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    return dir;
}

std::string WindowsDirectory(Sys& sys) {
    return WithTrailingBackslash(sys.GetWindowsDirectory());
}
std::string SystemDirectory(Sys& sys) {
    return WithTrailingBackslash(sys.GetSystemDirectory());
}

bool DriveExists(Sys& sys, const std::string& text) {
    if (text.empty()) return false;
    return sys.FindFirstFileFinds(std::string(1, text[0]) + ":\\nul");
}

bool ProbeDriveWritable(Sys& sys, const std::string& text) {
    if (text.empty()) return false;
    const std::string letter(1, text[0]);
    static const char kProbeText[] = "StarBridge probe file";  // 21 bytes
    static_assert(sizeof(kProbeText) - 1 == 21, "the probe file holds 21 bytes");
    sys.WriteWholeFile(letter + ":\\Morvek.Tmp", kProbeText, sizeof(kProbeText) - 1);
    if (!sys.PathFileExists(letter + ":\\Morvek.Tmp")) return false;
    sys.DeleteFile(letter + ":\\Morvek.tmp");
    return true;
}

bool IsRunningSystemPartition(Sys& sys, const std::string& root) {
    const std::string windows = WindowsDirectory(sys);
    return windows.size() >= 3 && root.size() >= 1 && EqualsNoCase(windows.substr(0, 3), root);
}

bool Is64BitWindows(Sys& sys) {
    // A 64-bit process runs on 64-bit Windows only, and a 64-bit WinPE without WOW64
    // has no WOW64 directory to report.
    if (sys.IsProcess64Bit()) return true;
    return sys.GetSystemWow64DirectoryLength() > 0;
}

char DriveHoldingImage(const ProgramState& state, const std::string& imagePath) {
    if (imagePath.empty()) return 0;
    char letter = imagePath[0];
    // Follows an ISO mounted from an ISO only as far as the map goes, never in a circle.
    for (size_t hops = 0; hops <= state.isoBehindLetter.size(); ++hops) {
        const auto behind = state.isoBehindLetter.find(UpperAscii(std::string(1, letter)));
        if (behind == state.isoBehindLetter.end() || behind->second.empty()) break;
        letter = behind->second[0];
    }
    return letter;
}
