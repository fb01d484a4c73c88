#include "engines/imagex/command_line.h"

#include "common/cmdline.h"

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

#ifndef _WIN32
bool IsKnownOption(const std::string& a) {
    for (const char* o : {"/check", "/flags", "/compress", "/temp"})
        if (engine::EqualsNoCase(a, o)) return true;
    return false;
}
#endif

// Windows paths never start with '/', so there anything that does is an option.
// Natively absolute paths do, so only the known option names are options.
bool IsOption(const std::string& a) {
#ifdef _WIN32
    return a.size() > 1 && a[0] == '/';
#else
    return IsKnownOption(a);
#endif
}

Status Refuse(const std::string& what) {
    return Status(Error::kCommandLine, what);
}

bool ParseIndex(const std::string& text, unsigned* out) {
    if (text.empty() || text.size() > 9) return false;
    unsigned v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + unsigned(c - '0');
    }
    if (v == 0) return false;
    *out = v;
    return true;
}

}  // namespace

std::string NormalizeTarget(const std::string& target) {
    std::string t = target;
    auto isSep = [](char c) { return c == '\\' || c == '/'; };
    while (t.size() > 1 && isSep(t.back()) && isSep(t[t.size() - 2])) t.pop_back();
    if (t.size() > 1 && isSep(t.back()) && !(t.size() == 3 && t[1] == ':')) t.pop_back();
    if (t.size() == 2 && t[1] == ':') t += '\\';
    return t;
}

bool IsAbsoluteTarget(const std::string& t) {
    auto isSep = [](char c) { return c == '\\' || c == '/'; };
    bool letter = t.size() >= 3 && ((t[0] >= 'A' && t[0] <= 'Z') || (t[0] >= 'a' && t[0] <= 'z')) &&
                  t[1] == ':' && isSep(t[2]);
    bool share = t.size() >= 3 && isSep(t[0]) && isSep(t[1]) && !isSep(t[2]);
#ifdef _WIN32
    return letter || share;
#else
    // Natively a path from the root as well; the program's own lines still read.
    return letter || share || (!t.empty() && t[0] == '/' && t != "/");
#endif
}

Status ParseCommand(const std::vector<std::string>& args, Command* out) {
    if (args.empty())
        return Refuse(
            "no command given; use /info [/check] \"image\" or /apply \"image\" N target");
    const std::string& verb = args[0];
    std::vector<std::string> rest;
    Command c;
    if (engine::EqualsNoCase(verb, "/info")) {
        c.kind = CommandKind::kInfo;
    } else if (engine::EqualsNoCase(verb, "/apply")) {
        c.kind = CommandKind::kApply;
    } else if (engine::EqualsNoCase(verb, "/capture")) {
        c.kind = CommandKind::kCapture;
    } else {
        return Refuse("unknown command \"" + verb + "\"");
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!IsOption(a)) {
            rest.push_back(a);
            continue;
        }
        if (engine::EqualsNoCase(a, "/check")) {
            c.check = true;
        } else if (c.kind == CommandKind::kCapture &&
                   (engine::EqualsNoCase(a, "/flags") || engine::EqualsNoCase(a, "/compress") ||
                    engine::EqualsNoCase(a, "/temp"))) {
            if (i + 1 >= args.size()) return Refuse("option " + a + " needs a value");
            const std::string& v = args[++i];
            if (engine::EqualsNoCase(a, "/flags")) {
                c.flags = v;
            } else if (engine::EqualsNoCase(a, "/compress")) {
                if (!engine::EqualsNoCase(v, "maximum") && !engine::EqualsNoCase(v, "fast") &&
                    !engine::EqualsNoCase(v, "none"))
                    return Refuse("unknown compression \"" + v + "\" (use Maximum, Fast or None)");
                c.compress = v;
            } else {
                c.temp = v;
            }
        } else {
            return Refuse("unknown option \"" + a + "\" for " + engine::LowerAscii(verb));
        }
    }
    switch (c.kind) {
        case CommandKind::kInfo:
            if (rest.size() != 1)
                return Refuse(rest.empty() ? "/info needs the image file"
                                           : "unexpected argument \"" + rest[1] + "\" for /info");
            c.image = rest[0];
            break;
        case CommandKind::kApply:
            if (rest.size() < 3)
                return Refuse("/apply needs the image file, the image number and the target");
            if (rest.size() > 3)
                return Refuse("unexpected argument \"" + rest[3] + "\" for /apply");
            c.image = rest[0];
            if (!ParseIndex(rest[1], &c.index))
                return Refuse("image number \"" + rest[1] + "\" is not a positive number");
            c.target = NormalizeTarget(rest[2]);
            if (c.target.empty()) return Refuse("empty target");
            if (!IsAbsoluteTarget(c.target))
                return Status(Error::kTarget, "the target \"" + c.target +
                                                  "\" is not a drive or a full folder path; "
                                                  "nothing was applied");
            break;
        case CommandKind::kCapture:
            if (rest.size() < 3)
                return Refuse("/capture needs the source, the image file and the image name");
            if (rest.size() > 4)
                return Refuse("unexpected argument \"" + rest[4] + "\" for /capture");
            c.source = rest[0];
            c.image = rest[1];
            c.name = rest[2];
            if (rest.size() == 4) c.description = rest[3];
            break;
    }
    if (c.image.empty()) return Refuse("empty image file name");
    *out = c;
    return Status::Ok();
}

}  // namespace imagex
