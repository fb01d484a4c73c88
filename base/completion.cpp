#include "base/completion.h"

#include "base/exit.h"
#include "base/ids/countdown.h"
#include "base/ids/main_window.h"
#include "base/notify.h"

namespace {

class CountdownWindow : public UiEvents {
  public:
    static constexpr int kWindowId = kCountdownWindow;
    explicit CountdownWindow(Program& program) : program_(program) {}

    void Open() {
        Ui& ui = program_.ui;
        secondsLeft_ = 10;
        actionWord_ = program_.state.shutdownAfterJob == 1 ? "关机" : "重启";
        doneWord_ = DoneWord(program_.state.finishedJobKind);
        ui.CreateWindowFrom(Description(), this);
        // The main window may be hidden (command-line mode): the screen's middle.
        Rect screen;
        ui.GetScreenSize(&screen.width, &screen.height);
        ui.MoveWindow(kWindowId, CentredIn(ui.GetWindowRect(kWindowId), screen));
        if (program_.state.commandLineMode) ui.ShowWindow(kMainWindow, false);
        ui.SetText(kWindowId, kCountdownLabel, LabelFor(10));
        ui.SetText(kWindowId, kCountdownHint,
                   "选择\"是(Y)\"马上" + actionWord_ + "，选择\"否(N)\"返回主界面。");
        ui.ShowWindow(kWindowId, true);
        ui.SetTimer(kWindowId, kCountdownTimer, 1000);
        ShowBalloon(program_, "提示", LabelFor(10), 1, 0);
    }

    void OnTimer(int, int timer) override {
        if (timer != kCountdownTimer) return;
        const int n = secondsLeft_--;
        if (n != 1) {
            program_.ui.SetText(kWindowId, kCountdownLabel, LabelFor(n - 1));
            return;
        }
        program_.ui.KillTimer(kWindowId, kCountdownTimer);
        program_.ui.SetText(kWindowId, kCountdownLabel, LabelFor(0));
        ActNow();
    }

    void OnControl(int, int control) override {
        if (control == kCountdownYes) ActNow();
        if (control == kCountdownNo) Cancel();
    }

    void OnClose(int) override { Cancel(); }

  private:
    std::string LabelFor(int seconds) const {
        return doneWord_ + std::to_string(seconds) + " 秒后自动" + actionWord_ + "！";
    }

    void ActNow() {
        if (program_.state.shutdownAfterJob == 1)
            ShutDownNow(program_);
        else
            RestartNow(program_);
        CleanUpAndExit(program_);
    }

    void Cancel() {
        program_.ui.KillTimer(kWindowId, kCountdownTimer);
        ShowBalloon(program_, "提示", "取消自动" + actionWord_, 1, 0);
        if (program_.state.commandLineMode) {
            CleanUpAndExit(program_);
            return;
        }
        program_.ui.DestroyWindow(kWindowId);
    }

    WindowDesc Description() const {
        WindowDesc w;
        w.id = kWindowId;
        w.caption = "提示";
        w.width = 360;
        w.height = 150;
        using K = ControlKind;
        w.controls = {
            MakeControl(kCountdownLabel, K::Label, "", {20, 16, 320, 20}),
            MakeControl(kCountdownHint, K::Label, "", {20, 44, 320, 20}),
            WithPicture(MakeControl(kCountdownYes, K::PictureButton, "是(&Y)", {90, 80, 80, 28}),
                        "button"),
            WithPicture(MakeControl(kCountdownNo, K::PictureButton, "否(&N)", {190, 80, 80, 28}),
                        "button"),
        };
        return w;
    }

    Program& program_;
    int secondsLeft_ = 10;
    std::string actionWord_, doneWord_;
};

bool RefuseWhileBusy(Program& program) {
    if (!program.state.jobRunning) return false;
    Tell(program, "程序正在操作，请等待！", kMbIconWarning);
    return true;
}

}  // namespace

std::string DoneWord(FinishedJob finishedJobKind) {
    switch (finishedJobKind) {
        case FinishedJob::Restore:
            return "还原已完成，";
        case FinishedJob::Backup:
            return "备份已完成，";
        case FinishedJob::FileCopy:
            return "文件复制完成，";
        case FinishedJob::Prepared:
            return "程序准备完成，";
        case FinishedJob::Setup:
            break;
    }
    return "安装已完成，";
}

void OpenCompletionCountdown(Program& program) {
    OpenWindow<CountdownWindow>(program)->Open();
}

bool StartCompletionActionIfChosen(Program& program, FinishedJob finishedJobKind) {
    Ui& ui = program.ui;
    if (ui.IsChecked(kMainWindow, kShutdownOption))
        program.state.shutdownAfterJob = 1;
    else if (ui.IsChecked(kMainWindow, kRestartOption))
        program.state.shutdownAfterJob = 0;
    else
        return false;
    program.state.finishedJobKind = finishedJobKind;
    OpenCompletionCountdown(program);
    return true;
}

static void PowerOff(Program& program, const char* pecmdLine, unsigned flags, unsigned reason) {
    program.sys.StartProgram(pecmdLine, true, 1000);
    program.sys.EnableShutdownPrivilege();
    program.sys.ExitWindowsEx(flags, reason);
}

void ShutDownNow(Program& program) {
    PowerOff(program, "PECMD.EXE SHUT", 1, 0xFFFF);
}
void RestartNow(Program& program) {
    PowerOff(program, "PECMD.EXE SHUT R", 2, 0);
}

void OnShutdownNowMenu(Program& program) {
    if (!RefuseWhileBusy(program) && AskInformation(program, "是否立即关机？"))
        ShutDownNow(program);
}

void OnRestartNowMenu(Program& program) {
    if (!RefuseWhileBusy(program) && AskInformation(program, "是否立即重启？")) RestartNow(program);
}

void OnShutDownSystemMenu(Program& program) {
    if (AskInformation(program, "是否关闭系统？")) ShutDownNow(program);
}

void OnRestartSystemMenu(Program& program) {
    if (AskInformation(program, "是否重启系统？")) RestartNow(program);
}
