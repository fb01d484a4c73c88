// Writes numbered lines to standard output and standard error in turn, flushing each,
// so that a reader of one pipe for both sees them interleaved in this order.
//   console_writer [lines] [exit code] [milliseconds to sleep before ending]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    int lines = argc > 1 ? std::atoi(argv[1]) : 60;
    for (int i = 0; i < lines; ++i) {
        std::fprintf(stdout, "out %03d: the quick brown fox\n", i);
        std::fflush(stdout);
        std::fprintf(stderr, "err %03d: jumps over the dog\n", i);
        std::fflush(stderr);
    }
    if (argc > 3) Sleep(DWORD(std::atoi(argv[3])));
    return argc > 2 ? std::atoi(argv[2]) : 0;
}
