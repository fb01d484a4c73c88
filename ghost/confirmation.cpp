#include "ghost/confirmation.h"

#include "base/completion.h"
#include "base/console.h"
#include "base/ids/main_window.h"
#include "base/notify.h"
#include "base/window_lock.h"

std::string GhostOutputOf(const CommandResult& result) {
    if (!result.started) return "无法启动 Ghost 程序，请重启本程序后重试！";
    // An engine that was killed or crashed prints nothing: its exit code is all it says.
    if (result.output.empty() && result.exitCode != 0)
        return "Ghost 程序异常结束，退出代码：" + std::to_string(result.exitCode);
    return result.output;
}

bool ReportGhostFailure(Program& program, GhostJob job, const std::string& jobName) {
    const std::string title = "Ghost" + jobName + "错误！";
    std::string details;
    switch (JudgeGhostOutput(job, program.state.ghostOutput)) {
        case GhostOutcome::Succeeded:
            return false;
        case GhostOutcome::Cancelled:
            details = "错误信息：\r\n用户取消" + jobName + "！";
            ShowBalloon(program, title, details, 1, 0);
            break;
        case GhostOutcome::Failed:
            details = "错误信息：\r\n" + program.state.ghostOutput;
            if (job != GhostJob::Backup) ShowBalloon(program, title, details, 1, 0);
            break;
    }
    Tell(program, title + "\r\n" + details, kMbIconError);
    return true;
}

void GhostConfirmation::OnControl(int, int control) {
    if (program_.state.jobRunning) return;
    if (control == kConfirmOk) Ok();
    if (control == kConfirmCancel) Cancel();
}

void GhostConfirmation::OnClose(int) {
    // The job's run is on the stack while it pumps messages; the window must outlive it.
    if (program_.state.jobRunning) return;
    Cancel();
}

void GhostConfirmation::Create(const std::string& headline, const std::string& warning,
                               const std::string& hint) {
    WindowDesc w;
    w.id = kConfirmWindow;
    w.caption = "Allset Ghost";
    w.width = 420;
    w.height = 200;
    using K = ControlKind;
    w.controls = {
        MakeControl(kConfirmHeadline, K::Label, headline, {20, 16, 380, 20}),
        MakeControl(kConfirmWarning, K::Label, warning, {20, 44, 380, 20}),
        MakeControl(kConfirmHint, K::Label, hint, {20, 72, 380, 20}),
        Hidden(MakeControl(kConfirmStatus, K::Label, "", {20, 120, 3, 20})),
        WithPicture(MakeControl(kConfirmOk, K::PictureButton, "确定(&C)", {200, 116, 90, 28}),
                    "button"),
        WithPicture(MakeControl(kConfirmCancel, K::PictureButton, "取消(&X)", {300, 116, 90, 28}),
                    "button"),
    };

    Ui& ui = program_.ui;
    ui.CreateWindowFrom(w, this);
    // In front of the main window's middle, where the user just pressed start.
    ui.MoveWindow(kConfirmWindow,
                  CentredIn(ui.GetWindowRect(kConfirmWindow), ui.GetWindowRect(kMainWindow)));
    // Our windows are not modal: the main window waits locked until this one closes.
    LockMainWindow(program_);
    ui.ShowWindow(kConfirmWindow, true);
}

void GhostConfirmation::RunGhost(const GhostRun& run) {
    Program& p = program_;
    SetRunning(true, run.statusWidth, run.status);
    ShowBalloon(p, "提示", run.startBalloon, 1, 0);
    p.state.ghostOutput = GhostOutputOf(RunConsoleCommand(p, run.commandLine));
    SetRunning(false, run.statusWidth);

    if (run.doneBalloonWhatever) ShowBalloon(p, "提示", run.doneBalloon, 1, 0);
    if (ReportGhostFailure(p, run.job, run.jobName)) return;
    if (!run.doneBalloonWhatever) ShowBalloon(p, "提示", run.doneBalloon, 1, 0);
    if (run.afterSuccess) run.afterSuccess();
    if (StartCompletionActionIfChosen(p, run.finished)) {
        Close();
        return;
    }
    Tell(p, run.report(), kMbIconInformation);
    if (run.closeAfterReport) Close();
}

void GhostConfirmation::SetRunning(bool running, int statusWidth, const std::string& status) {
    Ui& ui = program_.ui;
    for (int button : {kConfirmOk, kConfirmCancel}) {
        ui.SetEnabled(kConfirmWindow, button, !running);
        ui.SetVisible(kConfirmWindow, button, !running);
    }
    Rect rect = ui.GetRect(kConfirmWindow, kConfirmStatus);
    rect.width = running ? statusWidth : 3;
    ui.SetRect(kConfirmWindow, kConfirmStatus, rect);
    ui.SetVisible(kConfirmWindow, kConfirmStatus, running);
    if (running) ui.SetText(kConfirmWindow, kConfirmStatus, status);
    program_.state.jobRunning = running;
}

void GhostConfirmation::Close() {
    UnlockMainWindow(program_);
    program_.ui.DestroyWindow(kConfirmWindow);
}
