// Acting on the program's windows from another process as a person would: find the
// window and its controls, click, pick, type, read texts and states, answer message
// boxes. For Windows test programs run under Wine. Texts are GBK, like the program's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace automation {

// A started program; ended (killed if still running) when this goes away.
class RunningProgram {
  public:
    // Starts the command line with the given working directory (may be empty).
    explicit RunningProgram(const std::string& commandLine, const std::string& directory = "");
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    DWORD id() const { return process_.dwProcessId; }
    // Waits for the end; true when it ended within the time.
    bool WaitForExit(DWORD milliseconds);
    bool IsRunning();
    DWORD ExitCode();
    void Kill();

  private:
    PROCESS_INFORMATION process_ = {};
};

// The first visible top-level window of the process with that class (any class when
// empty), waiting up to the time given. nullptr when none came.
HWND WaitForWindow(DWORD processId, const std::string& className, DWORD milliseconds);
// The same, with this exact caption too.
HWND WaitForWindowWithCaption(DWORD processId, const std::string& className,
                              const std::string& caption, DWORD milliseconds);
// A message box (dialog class #32770) of the process.
HWND WaitForMessageBox(DWORD processId, DWORD milliseconds);
// The next message box of the process: its text, answered with the button given and
// waited out. "(no message)" when none came in time.
std::string AnswerNextMessageBox(DWORD processId, int buttonId, DWORD milliseconds);
// The text of a message box, and whether it shows an icon.
std::string MessageBoxText(HWND box);
bool MessageBoxHasIcon(HWND box);
// Presses a message box button (IDOK, IDYES, ...).
void AnswerMessageBox(HWND box, int buttonId);

HWND Control(HWND window, int id);
void Click(HWND window, int id);
std::string Text(HWND window, int id = 0);  // id 0: the window's own caption
void Type(HWND window, int id, const std::string& text);
bool IsEnabled(HWND window, int id);
bool IsVisible(HWND window, int id);
bool IsChecked(HWND window, int id);
// Picks a combo box item and tells the owner, as a selection by hand would.
void PickComboItem(HWND window, int id, int index);
std::vector<std::string> ComboItems(HWND window, int id);
// Clicks a static text that acts as a link (it tells its owner STN_CLICKED).
void ClickLabel(HWND window, int id);
// Chooses a menu item by its id, as a click in the popup menu would.
void ChooseMenuItem(HWND window, int itemId);

// List views of another process.
int ListRowCount(HWND window, int id);
std::string ListCell(HWND window, int id, int row, int column);
// Clicks a row (left or right button) at the row's position.
void ClickListRow(HWND window, int id, int row, bool rightButton = false);

// Waits until the condition holds, pumping nothing; false on time-out.
template <typename F>
bool WaitUntil(F condition, DWORD milliseconds) {
    for (DWORD waited = 0;; waited += 20) {
        if (condition()) return true;
        if (waited >= milliseconds) return false;
        Sleep(20);
    }
}

// Ends the first running process with that file name (e.g. an engine), as a crash
// or a task manager would; false when none runs.
bool KillProcessNamed(const char* name);

// Bytes that do not compress, the same for the same seed.
std::string NoiseBytes(size_t size, unsigned seed);

// Files on the sandbox drives; false when they cannot be read or written.
bool ReadStoreFile(const std::string& path, std::string* contents);
bool WriteWholeFile(const std::string& path, const std::string& contents);

// GBK text from the wide text of a control or window.
std::string GbkFromWide(const std::wstring& wide);
std::wstring WideFromGbk(const std::string& gbk);

}  // namespace automation
