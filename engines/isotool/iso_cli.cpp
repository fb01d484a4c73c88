#include "engines/isotool/iso_cli.h"

#include <vector>

#include "common/cmdline.h"
#include "common/cmdline_raw.h"
#include "engines/isotool/iso_extract.h"
#include "engines/isotool/iso_image.h"

namespace isotool {

static const char kUsage[] =
    "usage: ISO /D:<drive letter> /I:<ISO image path>   mount an ISO image\r\n"
    "       ISO /q                                     unmount all\r\n";

static std::string TrimTrailingBlanks(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    return text;
}

bool ParseIsoCommandLine(const std::string& commandLine, IsoCommand& command, std::string& error) {
    std::vector<std::string> args = engine::SplitCommandLine(commandLine);
    args.erase(args.begin());
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    if (engine::EqualsNoCase(args[0], "/q")) {
        if (args.size() > 1) {
            error = "/q takes no arguments, got \"" + args[1] + "\"";
            return false;
        }
        command = IsoCommand();
        command.kind = IsoCommand::Kind::UnmountAll;
        return true;
    }
    if (!engine::StartsWithNoCase(args[0], "/D:")) {
        error = "unrecognised option \"" + args[0] + "\"";
        return false;
    }
    std::string letter = args[0].substr(3);
    char l = letter.size() == 1 ? letter[0] : 0;
    if (l >= 'a' && l <= 'z') l = char(l - 'a' + 'A');
    if (l < 'A' || l > 'Z') {
        error = "\"" + args[0] + "\" does not name one drive letter";
        return false;
    }
    if (args.size() < 2 || !engine::StartsWithNoCase(args[1], "/I:")) {
        error = args.size() < 2 ? std::string("/I:<ISO image path> is missing")
                                : "unrecognised option \"" + args[1] + "\"";
        return false;
    }
    std::string raw = engine::RawArgumentsFrom(commandLine, 1);
    std::string path;
    if (engine::StartsWithNoCase(raw, "/I:") && (raw.size() == 3 || raw[3] != '"')) {
        path = TrimTrailingBlanks(raw.substr(3));
    } else {
        // A quoted path is one argument; nothing may follow it.
        if (args.size() > 2) {
            error = "unrecognised option \"" + args[2] + "\"";
            return false;
        }
        path = args[1].substr(3);
    }
    if (path.empty()) {
        error = "/I: names no ISO image";
        return false;
    }
    command = IsoCommand();
    command.kind = IsoCommand::Kind::Mount;
    command.letter = l;
    command.isoPath = path;
    return true;
}

RunResult RunIso(const std::string& commandLine, MountBackend& backend) {
    RunResult r;
    IsoCommand command;
    std::string error;
    if (!ParseIsoCommandLine(commandLine, command, error)) {
        r.exitCode = kExitBadCommandLine;
        r.output = "ISO: " + error + "\r\n" + kUsage;
        return r;
    }
    if (command.kind == IsoCommand::Kind::UnmountAll) {
        r.output = backend.UnmountAll();
        return r;
    }
    const std::string drive = std::string(1, command.letter) + ":";
    FileSource image;
    if (!image.Open(command.isoPath)) {
        r.exitCode = kExitBadImage;
        r.output = "ISO: cannot open \"" + command.isoPath + "\"\r\n";
        return r;
    }
    IsoTree tree;
    if (!ReadIsoTree(image, NameSource::Auto, tree, error)) {
        r.exitCode = kExitBadImage;
        r.output = "ISO: \"" + command.isoPath + "\" is refused: " + error + "\r\n";
        return r;
    }
    std::string note;
    if (backend.AttachIso(command.isoPath, command.letter, note)) {
        r.output = "ISO: mounted \"" + command.isoPath + "\" on " + drive +
                   " through the system's virtual disk service\r\n";
        return r;
    }
    const std::string folder = backend.CacheFolderFor(command.letter);
    if (folder.empty()) {
        r.exitCode = kExitNoMount;
        r.output = "ISO: " + note + "; no writable fixed drive holds a cache folder\r\n";
        return r;
    }
    const ExtractResult extracted = ExtractTree(image, tree, folder);
    if (!extracted.ok) {
        r.exitCode = kExitBadImage;
        r.output =
            "ISO: extracting \"" + command.isoPath + "\" failed: " + extracted.error + "\r\n";
        return r;
    }
    std::string mapNote;
    if (!backend.MapLetter(command.letter, folder, mapNote)) {
        r.exitCode = kExitNoMount;
        r.output = "ISO: extracted into " + folder + " but " + drive +
                   " cannot show it: " + mapNote + "\r\n";
        return r;
    }
    r.output = "ISO: " + note + "; extracted " + std::to_string(extracted.files) + " files (" +
               std::to_string(extracted.bytes) + " bytes) of \"" + command.isoPath +
               "\" into the cache folder " + folder + " and mapped " + drive + " to it" +
               (mapNote.empty() ? std::string() : " (" + mapNote + ")") + "\r\n";
    return r;
}

}  // namespace isotool
