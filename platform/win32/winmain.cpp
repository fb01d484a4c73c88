// The program's entry: the real machine and screen, then the main window.
#include <windows.h>

#include "platform/win32/no_win_macros.h"

#include "app/main_window.h"
#include "base/program.h"
#include "platform/win32/win32_sys.h"
#include "platform/win32/win32_ui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Win32Sys sys;
    Win32Ui ui(instance);
    sys.beforeExit = [&ui] { ui.RemoveTrayIcons(); };
    Program program(sys, ui);
    MainWindow window(program);
    return window.Run();
}
