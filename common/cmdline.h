// Command-line handling shared by the engine programs.
//
// Engines keep text as UTF-8 inside. On Windows the arguments come from
// GetCommandLineW (so a GBK path typed by the program arrives intact) and are
// split by the same rules the C runtime uses; natively they come from argv.
#pragma once

#include <string>
#include <vector>

namespace engine {

// Splits a Windows command line (UTF-8) into arguments by the Microsoft C runtime
// rules: blanks separate, double quotes group, 2n backslashes before a quote give n
// backslashes and a group toggle, 2n+1 give n backslashes and a literal quote.
// The first word (the program) is split by the simpler program-name rule.
std::vector<std::string> SplitCommandLine(const std::string& line, bool firstIsProgram = true);

// The same rules over a GBK command line (the program's GetCommandLineA): a lead byte
// (0x81-0xFE) and its trail byte (0x40-0xFE but 0x7F) are one character, so a trail
// byte 0x5C is never taken for a backslash.
std::vector<std::string> SplitGbkCommandLine(const std::string& line, bool firstIsProgram = true);

// True when bytes[0] and bytes[1] form one GBK double-byte character.
inline bool IsGbkPair(unsigned char lead, unsigned char trail) {
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

// The engine's arguments without the program name, as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// ASCII case-insensitive comparisons for option names.
bool EqualsNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);
std::string LowerAscii(std::string text);

}  // namespace engine
