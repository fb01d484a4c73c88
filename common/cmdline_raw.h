// The engine's command line as one text, and the raw text of its arguments.
//
// Some engine command lines end in a path that the program does not quote (the ISO
// tool's "/I:" path, Bootice's "/file=" report path), so a path with blanks arrives as
// several split arguments. Those engines parse the whole line and take such a path as
// the raw rest of the line, blanks and all.
#pragma once

#include <cstddef>
#include <string>

namespace engine {

// The whole command line (program name first) as UTF-8: GetCommandLineW on Windows;
// natively argv joined by single blanks, quoting arguments that hold a blank or a quote.
std::string FullCommandLine(int argc, char** argv);

// The raw text of a command line from its argument number `index` on (0 = the first
// argument after the program name), with the blanks in front of it skipped. Argument
// boundaries follow SplitCommandLine. Empty when there are fewer arguments.
inline std::string RawArgumentsFrom(const std::string& line, size_t index) {
    size_t i = 0;
    const size_t n = line.size();
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (i < n && isBlank(line[i])) ++i;
    // The program name: quoted up to the next quote, or up to a blank.
    if (i < n && line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') ++i;
        if (i < n) ++i;
    } else {
        while (i < n && !isBlank(line[i])) ++i;
    }
    for (size_t arg = 0;; ++arg) {
        while (i < n && isBlank(line[i])) ++i;
        if (i >= n) return std::string();
        if (arg == index) return line.substr(i);
        bool quoted = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') ++slashes, ++i;
                // An odd run before a quote escapes it: the quote is text, not a toggle.
                if (i < n && line[i] == '"' && slashes % 2) ++i;
            } else if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                ++i;
            }
        }
    }
}

}  // namespace engine
