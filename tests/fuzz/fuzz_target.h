// One fuzz target: a function taking arbitrary bytes, run on untrusted input the way
// the engine or program would. Each target file declares its body with
// SB_FUZZ_TARGET(name). Built with SB_LIBFUZZER the file becomes a libFuzzer program
// (LLVMFuzzerTestOneInput); otherwise the body joins the table that the bounded
// driver of the test run walks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

using Body = void (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name;
    Body body;
};

bool Register(const char* name, Body body);
const std::vector<Target>& Targets();

}  // namespace fuzz

#ifdef SB_LIBFUZZER
#define SB_FUZZ_TARGET(name)                                                  \
    static void FuzzBody_##name(const uint8_t* data, size_t size);            \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        FuzzBody_##name(data, size);                                          \
        return 0;                                                             \
    }                                                                         \
    static void FuzzBody_##name(const uint8_t* data, size_t size)
#else
#define SB_FUZZ_TARGET(name)                                       \
    static void FuzzBody_##name(const uint8_t* data, size_t size); \
    [[maybe_unused]] static const bool fuzzRegistered_##name =     \
        fuzz::Register(#name, FuzzBody_##name);                    \
    static void FuzzBody_##name(const uint8_t* data, size_t size)
#endif
