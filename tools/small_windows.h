// The volume-label dialog and the About window with the maker links: small windows of
// their own over the main window, which stays locked while one is open.
#pragma once

#include <string>

#include "base/ids/about.h"
#include "base/ids/volume_label.h"
#include "base/program.h"
#include "base/window_lock.h"

class VolumeLabelDialog : public SmallWindow {
  public:
    static constexpr int kWindowId = kVolumeLabelWindow;
    explicit VolumeLabelDialog(Program& program) : SmallWindow(program, kWindowId) {}
    void Open();
    void OnControl(int window, int control) override;

  private:
    void ShowOldVolumeLabel();
    void ApplyVolumeLabel();
};

class AboutWindow : public SmallWindow {
  public:
    static constexpr int kWindowId = kAboutWindow;
    explicit AboutWindow(Program& program) : SmallWindow(program, kWindowId) {}
    void Open();
    void OnControl(int window, int control) override;
};

// The maker's web page address.
extern const char kMakerPage[];

// Opens the volume-label dialog for the selected partition.
void OpenVolumeLabelDialog(Program& program);
void OpenAboutWindow(Program& program);
void OpenMakerPage(Program& program);
