// Native builds carry small stand-ins for the engines: the tests only follow where
// and when the bytes are written.
#include "resources/stored_tools.h"

namespace {
// The initialiser's string fills the bytes after the 8-byte header.
struct Block {
    unsigned char header[8];
    char text[24];
};
const Block kIso = {{1, 0, 0, 0, 7, 0, 0, 0}, "ISO.exe"};
const Block kBootice = {{1, 0, 0, 0, 11, 0, 0, 0}, "Bootice.exe"};
const Block kGhostExp = {{1, 0, 0, 0, 12, 0, 0, 0}, "GHOSTEXP.exe"};
const Block kGhost = {{1, 0, 0, 0, 9, 0, 0, 0}, "qii32.exe"};
const Block kBcdboot = {{1, 0, 0, 0, 11, 0, 0, 0}, "bcdboot.exe"};
const Block kImagex = {{1, 0, 0, 0, 10, 0, 0, 0}, "Imagex.exe"};
const Block kOmnifs = {{1, 0, 0, 0, 12, 0, 0, 0}, "omnifs32.exe"};
const Block kBcdedit = {{1, 0, 0, 0, 11, 0, 0, 0}, "bcdedit.exe"};
const Block kMvDos = {{1, 0, 0, 0, 9, 0, 0, 0}, "MvDOS.ima"};
const Block kGrldr = {{1, 0, 0, 0, 5, 0, 0, 0}, "grldr"};
const Block kMvldr = {{1, 0, 0, 0, 9, 0, 0, 0}, "mvldr.mbr"};
const Block kBootFont = {{1, 0, 0, 0, 12, 0, 0, 0}, "bootfont.bin"};
}  // namespace

const unsigned char* StoredToolBlock(StoredTool tool) {
    const Block* block = nullptr;
    switch (tool) {
        case StoredTool::IsoTool:
            block = &kIso;
            break;
        case StoredTool::Bootice:
            block = &kBootice;
            break;
        case StoredTool::GhostExplorer:
            block = &kGhostExp;
            break;
        case StoredTool::Ghost:
            block = &kGhost;
            break;
        case StoredTool::Bcdboot:
            block = &kBcdboot;
            break;
        case StoredTool::Imagex:
            block = &kImagex;
            break;
        case StoredTool::Omnifs:
            block = &kOmnifs;
            break;
        case StoredTool::Bcdedit:
            block = &kBcdedit;
            break;
        case StoredTool::MvDos:
            block = &kMvDos;
            break;
        case StoredTool::Grldr:
            block = &kGrldr;
            break;
        case StoredTool::MvldrMbr:
            block = &kMvldr;
            break;
        case StoredTool::BootFont:
            block = &kBootFont;
            break;
    }
    return block ? block->header : nullptr;
}
