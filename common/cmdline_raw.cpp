#include "common/cmdline_raw.h"

#ifdef _WIN32
#include <windows.h>

#include "common/console_out.h"
#endif

namespace engine {

std::string FullCommandLine(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    return Utf8FromWide(GetCommandLineW());
#else
    // Natively there is no command line to read back; rebuild one that splits into argv.
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (i) line += ' ';
        bool needsQuotes = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
        if (!needsQuotes) {
            line += arg;
            continue;
        }
        line += '"';
        size_t slashes = 0;
        for (char c : arg) {
            if (c == '\\') {
                ++slashes;
            } else if (c == '"') {
                line.append(slashes + 1, '\\');
                slashes = 0;
            } else {
                slashes = 0;
            }
            line += c;
        }
        line.append(slashes, '\\');
        line += '"';
    }
    return line;
#endif
}

}  // namespace engine
