// Controls of the engine window (custom Ghost and ImageX).
#pragma once

enum EngineWindowControl : int {
    kEwGhostOption = 1,
    kEwGhostVersion,
    kEwImagexOption,
    kEwImagexVersion,
    kEwClose,
};
