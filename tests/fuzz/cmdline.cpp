// The engines' command-line splitters on arbitrary lines. The first byte picks UTF-8
// or GBK splitting and whether the first word is the program. What must hold:
//   - no argument is made of more bytes than the line has;
//   - on a line without GBK lead bytes the GBK splitter agrees with the UTF-8 one;
//   - the raw rest of the line from argument k on splits into exactly the arguments
//     from k on (the engines that take an unquoted path as the raw rest rely on it).
#include <cstdlib>
#include <string>
#include <vector>

#include "common/cmdline.h"
#include "common/cmdline_raw.h"
#include "tests/fuzz/fuzz_target.h"

SB_FUZZ_TARGET(cmdline) {
    if (size < 1) return;
    const bool gbk = data[0] & 1, firstIsProgram = data[0] & 2;
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::vector<std::string> args = gbk ? engine::SplitGbkCommandLine(line, firstIsProgram)
                                              : engine::SplitCommandLine(line, firstIsProgram);
    size_t total = 0;
    for (const std::string& a : args) total += a.size();
    if (total > line.size()) abort();

    bool hasLead = false;
    for (unsigned char c : line) hasLead |= c >= 0x81;
    if (gbk && !hasLead && args != engine::SplitCommandLine(line, firstIsProgram)) abort();

    if (gbk || !firstIsProgram) return;
    for (size_t k = 0; k < 4; ++k) {
        const std::string rest = engine::RawArgumentsFrom(line, k);
        if (k + 1 >= args.size()) {
            if (!rest.empty()) abort();
            continue;
        }
        const std::vector<std::string> tail = engine::SplitCommandLine(rest, false);
        if (tail != std::vector<std::string>(args.begin() + long(k) + 1, args.end())) abort();
    }
}
