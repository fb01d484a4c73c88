// The ImageX restore window "Allset Imagex": the volumes of a WIM image, the format and
// boot choices, the apply through the persistent console with live progress, pause and
// stop, and the report.
#pragma once

#include <string>
#include <vector>

#include "base/ids/imagex_restore.h"
#include "base/program.h"
#include "wim/imagex_job.h"
#include "wim/imagex_process.h"

// The start button in restore mode with a WIM image that exists: the target checks,
// then the window.
void StartWimApply(Program& program, const std::string& image);

class ImagexRestoreWindow : public UiEvents {
  public:
    static constexpr int kWindowId = kImagexRestoreWindow;
    ImagexRestoreWindow(Program& program, const std::string& image);

    // Creates the window and runs its start-up; the window may close again at once (the
    // user declined to restore volume 1 of an image without volume information).
    void Open();

    void OnControl(int window, int control) override;
    void OnTimer(int window, int timer) override;
    void OnClose(int window) override;
    void OnDestroy(int window) override;

    int SelectedVolume() const { return volume_; }
    const std::string& TargetRoot() const { return targetRoot_; }

  private:
    void LoadWimVolumes();
    void OnStartApply();
    bool Format32(int choice);
    void Format64(int choice);
    void Apply();
    void OnCancelApply();
    void OnPauseApply();
    void OnFormatChoice();
    void OnUnattendOption();
    void ChooseUnattendFile();
    void CheckApplyDone();

    void Lock();
    // Enables what Lock disabled; the format choice only when asked.
    void Unlock(bool formatChoiceToo);
    void SetStatus(const std::string& text) { view_.SetStatus(text); }
    // Back to idle after a failed or cancelled apply.
    void BackToIdle(const std::string& text);
    void Close();

    Program& program_;
    std::string image_;
    std::string targetRoot_;
    std::string targetDisplay_;
    std::string targetDiskBootPartition_;
    std::string firstWindowsDrive_;
    bool imageOnTarget_ = false;
    int volume_ = 1;
    bool closed_ = false;

    // Job state.
    bool cancelled_ = false;
    std::string rememberedImage_;
    std::string lastPercent_, lastRemaining_;
    std::string bootDevice_;  // fixed when the apply was confirmed
    ImagexWatch watch_;
    ImagexJobView view_;
};
