// The engine window: the Ghost and ImageX engines in use, and replacing either by
// another copy of the same engine (checked, then copied into the system directory), or
// going back to the stored one.
#pragma once

#include <string>

#include "base/ids/engine_window.h"
#include "base/program.h"
#include "base/window_lock.h"

// The main window's "自定义Ghost/Imagex" option.
void OpenEngineWindow(Program& program);

// True when an engine path is not the stored engine's place.
bool GhostIsCustom(Program& program);
bool ImagexIsCustom(Program& program);

// What sets the Ghost and ImageX engines apart (engine_window.cpp).
struct EngineKind;

class EngineWindow : public SmallWindow {
  public:
    static constexpr int kWindowId = kEngineWindow;
    explicit EngineWindow(Program& program) : SmallWindow(program, kEngineWindow) {}

    void Open();
    void OnControl(int window, int control) override;
    void OnClose(int window) override { OnEngineWindowClose(); }

  private:
    void ShowEngine(const EngineKind& engine);
    void OnCustomEngine(const EngineKind& engine);
    void OnEngineWindowClose();
};
