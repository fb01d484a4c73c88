// The ImageX backup window "Allset Imagex": a partition captured into a WIM image
// through the persistent console, with the image name, system flag and compression,
// live progress, pause and stop, and the report.
#pragma once

#include <string>

#include "base/ids/imagex_backup.h"
#include "base/program.h"
#include "wim/imagex_job.h"
#include "wim/imagex_process.h"

// The start button in backup mode with a ".WIM" save path, after the checks every
// backup shares: the running Windows' own partition and unusable save paths are
// refused, otherwise the window opens.
void StartWimCapture(Program& program, const std::string& savePath);

class ImagexBackupWindow : public UiEvents {
  public:
    static constexpr int kWindowId = kImagexBackupWindow;
    ImagexBackupWindow(Program& program, const std::string& savePath);

    // Creates the window and runs its start-up.
    void Open();

    void OnControl(int window, int control) override;
    void OnTimer(int window, int timer) override;
    void OnClose(int window) override;
    void OnDestroy(int window) override;

  private:
    void OnStartCapture();
    void OnCancelCapture();
    void OnPauseCapture();
    void OnCaptureCompression();
    void CheckCaptureDone();

    // Back to idle after a failed or cancelled capture.
    void BackToIdle(const std::string& text);
    void Close();

    Program& program_;
    std::string savePath_;
    std::string sourceRoot_;
    std::string sourceDisplay_;
    bool closed_ = false;

    // Job state.
    bool cancelled_ = false;
    std::string lastPercent_, lastRemaining_;
    // Whether a file stood at the save path when the capture started: a failed capture
    // deletes only a file it made.
    bool savePathExisted_ = false;
    ImagexWatch watch_;
    ImagexJobView view_;
};
