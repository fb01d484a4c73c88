#include "engines/bcdboot/bcdboot_cli.h"

#include <vector>

#include "common/cmdline.h"

namespace bcdboot {

static const char kUsage[] =
    "usage: BCDBOOT <Windows folder> /s <drive letter>   create boot files\r\n"
    "       BCDBOOT <Windows folder> /l <locale>         set the boot menu language\r\n";

// A drive as the program names it: "C:" or "C:\".
static bool IsDriveText(const std::string& text) {
    if (text.size() < 2 || text.size() > 3 || text[1] != ':') return false;
    char l = text[0];
    if (!((l >= 'A' && l <= 'Z') || (l >= 'a' && l <= 'z'))) return false;
    return text.size() == 2 || text[2] == '\\';
}

static bool IsLocaleText(const std::string& text) {
    if (text.empty() || text.size() > 16) return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-')) return false;
    return true;
}

bool ParseBcdbootCommandLine(const std::string& commandLine, BcdbootCommand& command,
                             std::string& error) {
    std::vector<std::string> args = engine::SplitCommandLine(commandLine);
    args.erase(args.begin());
    BcdbootCommand c;
    bool haveS = false, haveL = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '/') {
            if (!c.windowsFolder.empty()) {
                error = "unexpected argument \"" + a + "\"";
                return false;
            }
            c.windowsFolder = a;
            continue;
        }
        bool isS = engine::EqualsNoCase(a, "/s"), isL = engine::EqualsNoCase(a, "/l");
        if (!isS && !isL) {
            error = "unrecognised option \"" + a + "\"";
            return false;
        }
        if ((isS && haveS) || (isL && haveL)) {
            error = "option \"" + a + "\" given twice";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = "option \"" + a + "\" needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (isS && !IsDriveText(value)) {
            error = "\"" + value + "\" after " + a + " is not a drive such as C:";
            return false;
        }
        if (isL && !IsLocaleText(value)) {
            error = "\"" + value + "\" after " + a + " is not a locale such as zh-cn";
            return false;
        }
        (isS ? c.systemDrive : c.locale) = value;
        (isS ? haveS : haveL) = true;
    }
    if (c.windowsFolder.empty()) {
        error = args.empty() ? "no command given" : "the Windows folder is missing";
        return false;
    }
    if (!haveS && !haveL) {
        error = "neither /s nor /l is given";
        return false;
    }
    command = c;
    return true;
}

RunResult RunBcdboot(const std::string& commandLine) {
    RunResult r;
    BcdbootCommand c;
    std::string error;
    if (!ParseBcdbootCommandLine(commandLine, c, error)) {
        r.exitCode = kExitBadCommandLine;
        r.output = "BCDBOOT: " + error + "\r\n" + kUsage;
        return r;
    }
    r.exitCode = kExitNotBuilt;
    if (!c.systemDrive.empty()) {
        r.output = "BCDBOOT: creating boot files from " + c.windowsFolder + " on " + c.systemDrive +
                   " is not available in this build; no boot files were written.\r\n";
    } else {
        r.output = "BCDBOOT: setting the boot menu language " + c.locale + " for " +
                   c.windowsFolder + " is not available in this build; nothing was changed.\r\n";
    }
    return r;
}

}  // namespace bcdboot
