// Windows XP setup from its media: the start button's checks of the chosen setup folder
// or program and of the target partition, then the setup window ("安装 WindowsXP"),
// which formats the target if asked, writes the answer file, runs winnt32 up to its
// first restart and judges what it left behind.
#pragma once

#include <string>

#include "base/ids/xp_setup.h"
#include "base/program.h"

// The start button in restore mode with XP media chosen (the I386 or AMD64 folder at a
// drive's root, or a winnt32 program): the checks in order, then the window.
void StartXpSetup(Program& program, const std::string& media);

class XpSetupWindow : public UiEvents {
  public:
    static constexpr int kWindowId = kXpSetupWindow;
    XpSetupWindow(Program& program, const std::string& media);

    void Open();

    void OnControl(int window, int control) override;
    void OnClose(int window) override;
    void OnDestroy(int window) override;

  private:
    void OnOk();
    bool Format(int choice);
    void Install();
    // Writes the answer file and sets its product key; false when it cannot be written.
    bool WriteAnswerFile();
    // Setup's first phase left its boot folder and its local source on the target.
    bool FirstPhaseDone();
    // Enables or disables the choices and buttons; the format box stays disabled on a
    // 64-bit Windows, the serial box follows the install mode.
    void EnableControls(bool enabled);
    void BackToIdle();
    void Close();

    Program& program_;
    std::string media_;
    std::string targetRoot_;
    std::string targetDisplay_;
    bool installing_ = false;
    bool closed_ = false;
};
