// Windows builds embed the engine programs built in the same tree (see
// resources/CMakeLists.txt: one assembler block per tool, .incbin of the .exe).
#include "resources/stored_tools.h"

extern "C" {
extern const unsigned char sbToolIso[] __asm__("sb_tool_iso");
extern const unsigned char sbToolBootice[] __asm__("sb_tool_bootice");
extern const unsigned char sbToolGhostExp[] __asm__("sb_tool_ghostexp");
extern const unsigned char sbToolGhost[] __asm__("sb_tool_ghost");
extern const unsigned char sbToolBcdboot[] __asm__("sb_tool_bcdboot");
extern const unsigned char sbToolImagex[] __asm__("sb_tool_imagex");
extern const unsigned char sbToolOmnifs[] __asm__("sb_tool_omnifs");
extern const unsigned char sbToolBcdedit[] __asm__("sb_tool_bcdedit");
extern const unsigned char sbToolMvDos[] __asm__("sb_tool_mvdos");
extern const unsigned char sbToolGrldr[] __asm__("sb_tool_grldr");
extern const unsigned char sbToolMvldr[] __asm__("sb_tool_mvldr");
}

const unsigned char* StoredToolBlock(StoredTool tool) {
    switch (tool) {
        case StoredTool::IsoTool:
            return sbToolIso;
        case StoredTool::Bootice:
            return sbToolBootice;
        case StoredTool::GhostExplorer:
            return sbToolGhostExp;
        case StoredTool::Ghost:
            return sbToolGhost;
        case StoredTool::Bcdboot:
            return sbToolBcdboot;
        case StoredTool::Imagex:
            return sbToolImagex;
        case StoredTool::Omnifs:
            return sbToolOmnifs;
        case StoredTool::Bcdedit:
            return sbToolBcdedit;
        case StoredTool::MvDos:
            return sbToolMvDos;
        case StoredTool::Grldr:
            return sbToolGrldr;
        case StoredTool::MvldrMbr:
            return sbToolMvldr;
        case StoredTool::BootFont:
            return nullptr;  // not carried: see RebootModuleSupports
    }
    return nullptr;
}
