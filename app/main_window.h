// The main window: its description (controls, captions, menus) and its handlers.
#pragma once

#include <vector>

#include "base/ids/main_window.h"
#include "base/program.h"

WindowDesc MainWindowDesc();

// One row of the main window's command tables: a control or a menu item and what it
// does (null: nothing of its own, its state is read when a job runs).
struct Command {
    using Handler = void (*)(Program&);
    int id;
    Handler run;
};
const std::vector<Command>& MainWindowControlCommands();
const std::vector<Command>& MainWindowMenuCommands();

class MainWindow : public UiEvents {
  public:
    explicit MainWindow(Program& program) : program_(program) {}
    // Creates the window (start-up runs in its creation handler) and runs the loop.
    int Run();

    void OnCreate(int window) override;
    void OnFirstActivate(int window) override;
    void OnControl(int window, int control) override;
    void OnListClick(int window, int control, int row, bool rightButton) override;
    void OnMenu(int window, int item) override;
    void OnTrayRightClick(int window) override;
    void OnClose(int window) override;
    void OnDestroy(int window) override;

  private:
    Program& program_;
};
