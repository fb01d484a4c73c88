// The x86 tree runs on Windows XP and on WinPE built from Server 2003. The thread
// runtime the toolchain links statically (winpthreads) was built for newer Windows and
// imports GetTickCount64 from kernel32, which XP lacks, so no program would even load.
// This object is linked into every x86 executable ahead of the runtime and defines the
// import slot itself: the linker then takes no import of GetTickCount64 from kernel32.
// The slot points at a function that uses kernel32's GetTickCount64 where it exists and
// otherwise extends GetTickCount to 64 bits by counting its wraps.
#include <windows.h>

#include <cstdint>

namespace {

using TickQuery = ULONGLONG(WINAPI*)();

// High half: how often the 32-bit count wrapped; low half: the count last seen.
std::uint64_t tickState = 0;

ULONGLONG WINAPI TickCountFromWraps() {
    std::uint64_t seen = __atomic_load_n(&tickState, __ATOMIC_ACQUIRE);
    for (;;) {
        const DWORD now = GetTickCount();
        std::uint64_t wraps = seen >> 32;
        if (now < DWORD(seen)) ++wraps;
        const std::uint64_t next = (wraps << 32) | now;
        if (__atomic_compare_exchange_n(&tickState, &seen, next, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE))
            return next;
    }
}

TickQuery ResolveTickCount64() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC found = kernel ? GetProcAddress(kernel, "GetTickCount64") : nullptr;
    return found ? reinterpret_cast<TickQuery>(reinterpret_cast<void*>(found))
                 : &TickCountFromWraps;
}

// Resolved on first use; two threads racing here store the same answer.
TickQuery resolvedQuery = nullptr;

ULONGLONG WINAPI TickCount64() {
    TickQuery query = __atomic_load_n(&resolvedQuery, __ATOMIC_ACQUIRE);
    if (!query) {
        query = ResolveTickCount64();
        __atomic_store_n(&resolvedQuery, query, __ATOMIC_RELEASE);
    }
    return query();
}

}  // namespace

// The import slot the runtime calls through (stdcall, no arguments).
extern "C" TickQuery tickCount64Slot asm("__imp__GetTickCount64@0");
TickQuery tickCount64Slot = &TickCount64;
