#include "wim/imagex_job.h"

#include "base/notify.h"

ImagexProgress ImagexJobView::ShowProgress(const std::string& percentClose, bool stripBlanks) {
    Ui& ui = program_.ui;
    const int w = ids_.window;
    const ImagexProgress progress =
        ParseProgressText(ui.GetText(w, ids_.output), percentClose, stripBlanks);
    if (!progress.percent.empty()) {
        ui.SetText(w, ids_.percent, progress.percent + "%");
        ui.SetProgress(w, ids_.progressBar, PercentNumber(progress.percent));
    }
    ui.SetText(
        w, ids_.remaining,
        progress.remaining.empty() ? "剩余时间：正在计算" : "剩余时间：" + progress.remaining);
    return progress;
}

void ImagexJobView::TickElapsed() {
    ++elapsedSeconds_;
    program_.ui.SetText(ids_.window, ids_.elapsed, ElapsedText(elapsedSeconds_));
}

void ImagexJobView::StartJob() {
    Ui& ui = program_.ui;
    ui.SetTimer(ids_.window, ids_.doneTimer, 500);
    ui.SetTimer(ids_.window, ids_.progressTimer, 50);
    ui.SetTimer(ids_.window, ids_.elapsedTimer, 1000);
    elapsedSeconds_ = 0;
    // A new job's first pause click pauses, whatever the last job left.
    pauseClicks_ = 0;
    ui.SetText(ids_.window, ids_.pause, "暂停(&P)");
    ui.SetEnabled(ids_.window, ids_.pause, true);
}

void ImagexJobView::StopTimers() {
    for (int timer : {ids_.progressTimer, ids_.elapsedTimer, ids_.doneTimer})
        program_.ui.KillTimer(ids_.window, timer);
}

void ImagexJobView::OnPause(ImagexWatch& watch, const std::string& pausedText,
                            const std::string& runningText) {
    Ui& ui = program_.ui;
    ++pauseClicks_;
    const bool pausing = pauseClicks_ % 2 == 1;
    watch.SetPaused(program_, pausing);
    if (pausing) {
        ui.KillTimer(ids_.window, ids_.progressTimer);
        ui.KillTimer(ids_.window, ids_.elapsedTimer);
    } else {
        ui.SetTimer(ids_.window, ids_.progressTimer, 50);
        ui.SetTimer(ids_.window, ids_.elapsedTimer, 1000);
    }
    ui.SetText(ids_.window, ids_.pause, pausing ? "继续(&P)" : "暂停(&P)");
    const std::string& text = pausing ? pausedText : runningText;
    ShowBalloon(program_, "提示", text, 1, 0);
    SetStatus(text);
}

void ImagexJobView::SetStatus(const std::string& text) {
    program_.ui.SetText(ids_.window, ids_.status, text);
}

void ImagexJobView::SetStatusRunning(bool running) {
    Ui& ui = program_.ui;
    Rect rect = ui.GetRect(ids_.window, ids_.status);
    rect.width = running ? 420 : 3;
    ui.SetRect(ids_.window, ids_.status, rect);
    ui.SetVisible(ids_.window, ids_.status, true);
}

void ImagexJobView::SetCancelStops(bool stops) {
    program_.ui.SetText(ids_.window, ids_.cancel, stops ? "终止(&X)" : "取消(&X)");
}
