// The engine programs the program carries inside itself and writes out at start-up.
#pragma once

#include <cstddef>

enum class StoredTool {
    IsoTool,        // ISO.exe
    Bootice,        // Bootice.exe
    GhostExplorer,  // GHOSTEXP.exe
    Ghost,          // qii32.exe
    Bcdboot,        // bcdboot.exe
    Imagex,         // Imagex.exe
    Omnifs,         // omnifs32.exe
    Bcdedit,        // bcdedit.exe, written by the reboot-mode module where the system has none
    // The reboot-mode payload: the boot image, the loader, its boot sector (built by
    // scripts/build-payload.sh) and the XP boot font, which the Windows trees do not
    // carry yet (null there).
    MvDos,     // MvDOS.ima
    Grldr,     // grldr
    MvldrMbr,  // mvldr.mbr
    BootFont,  // bootfont.bin
};

struct StoredBytes {
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// A stored block is: a 32-bit dimension count (always 1), a 32-bit byte length,
// then the bytes of the file. This returns the file's bytes.
StoredBytes StoredToolBytes(StoredTool tool);

// The raw block of a tool, provided by the build (embedded engines on Windows,
// small stand-ins natively).
const unsigned char* StoredToolBlock(StoredTool tool);
