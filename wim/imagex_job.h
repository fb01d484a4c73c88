// What the two ImageX job windows (apply and capture) share: the progress controls and
// timers, and the steps that drive them while ImageX runs.
#pragma once

#include <string>

#include "base/program.h"
#include "wim/imagex_process.h"
#include "wim/imagex_text.h"

// A job window's ids.
struct ImagexJobControls {
    int window;
    int output, percent, progressBar, elapsed, remaining, status, cancel, pause;
    int progressTimer, elapsedTimer, doneTimer;
};

class ImagexJobView {
  public:
    ImagexJobView(Program& program, const ImagexJobControls& ids) : program_(program), ids_(ids) {}

    // The progress timer: the last complete line of the output box, read with the
    // percent's closing text ("% ] Applying"), shown on the percent label, the bar and
    // the remaining label.
    ImagexProgress ShowProgress(const std::string& percentClose, bool stripBlanks);
    // The elapsed timer: one second more on the elapsed label.
    void TickElapsed();

    // A job starts: the three timers run, the clock and the pause clicks start over.
    void StartJob();
    void StopTimers();
    // The pause button: ImageX suspended (odd clicks) or resumed, the progress and
    // elapsed timers with it; the status line and a balloon say which.
    void OnPause(ImagexWatch& watch, const std::string& pausedText, const std::string& runningText);
    // The pause clicks start over when the window opens.
    void ResetPauseClicks() { pauseClicks_ = 0; }

    void SetStatus(const std::string& text);
    // The status line's running (wide) or idle position.
    void SetStatusRunning(bool running);
    // The cancel button stops ImageX (its stop pictures) or closes the window.
    void SetCancelStops(bool stops);

  private:
    Program& program_;
    ImagexJobControls ids_;
    long elapsedSeconds_ = 0;
    int pauseClicks_ = 0;
};
