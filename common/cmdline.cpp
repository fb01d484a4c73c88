#include "common/cmdline.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace engine {

namespace {

std::vector<std::string> Split(const std::string& line, bool firstIsProgram, bool gbk) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };

    if (firstIsProgram) {
        while (i < n && isBlank(line[i])) ++i;
        std::string program;
        if (i < n && line[i] == '"') {
            ++i;
            while (i < n && line[i] != '"') program += line[i++];
            if (i < n) ++i;
        } else {
            while (i < n && !isBlank(line[i])) program += line[i++];
        }
        args.push_back(program);
    }

    for (;;) {
        while (i < n && isBlank(line[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') ++slashes, ++i;
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (line[i] == '"') {
                // A doubled quote inside a quoted group stands for one quote.
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else if (gbk && i + 1 < n &&
                       IsGbkPair(static_cast<unsigned char>(line[i]),
                                 static_cast<unsigned char>(line[i + 1]))) {
                arg.append(line, i, 2);
                i += 2;
            } else {
                arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line, bool firstIsProgram) {
    return Split(line, firstIsProgram, false);
}

std::vector<std::string> SplitGbkCommandLine(const std::string& line, bool firstIsProgram) {
    return Split(line, firstIsProgram, true);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    const wchar_t* wide = GetCommandLineW();
    int len = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(len > 0 ? len - 1 : 0, '\0');
    if (len > 1) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], len, nullptr, nullptr);
    std::vector<std::string> args = SplitCommandLine(utf8, true);
    args.erase(args.begin());
    return args;
#else
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
#endif
}

static char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerChar(c);
    return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace engine
