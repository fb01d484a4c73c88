// Recorded user interface for native tests: every control's state, every message box,
// balloon and popup menu; message box answers scripted by the test.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui.h"

struct FakeMessageBox {
    WindowRef owner;
    std::string text;
    std::string caption;
    unsigned flags;
};

struct FakeBalloon {
    std::string title;
    std::string text;
    int iconKind;
    unsigned timeoutMs;
};

// What a test did that no person could do on the screen.
struct FakeUiMisuse : std::logic_error {
    using std::logic_error::logic_error;
};

class FakeUi : public Ui {
  public:
    struct Control {
        ControlDesc desc;
        std::string text;
        std::string picture;
        bool enabled = true, visible = true, checked = false;
        Rect rect;
        std::vector<std::string> items;  // combo/list items
        int selection = -1;
        int progress = 0;
        std::vector<std::string> headers;
        std::vector<std::vector<std::string>> rows;
    };
    struct MenuItem {
        std::string text;
        std::string picture;
        bool enabled = true, checked = false, visible = true;
    };
    struct Window {
        WindowDesc desc;
        UiEvents* events = nullptr;
        std::string caption;
        Rect rect;
        bool shown = false, minimised = false, destroyed = false;
        std::map<int, Control> controls;
        std::map<int, MenuItem> menuItems;
        std::map<int, unsigned> timers;
    };

    // --- scripted by tests ----------------------------------------------------------
    std::deque<int> messageBoxAnswers;  // answered in order; kIdOk/kIdYes... default kIdOk
    // Called with each message box as it shows, before it is answered.
    std::function<void(const FakeMessageBox&)> onMessageBox;
    // Save dialogs answer with these paths in order; empty (or none left): cancelled.
    std::deque<std::string> saveDialogAnswers;
    // Open dialogs answer with these paths in order; empty (or none left): cancelled.
    std::deque<std::string> openDialogAnswers;
    int screenWidth = 1024, screenHeight = 768;
    int cursorX = 500, cursorY = 400;
    WindowRef ownProcessWindow = 0;

    // --- recorded -------------------------------------------------------------------
    std::vector<FakeMessageBox> messageBoxes;
    std::vector<FakeBalloon> balloons;
    std::vector<std::string> trayTooltips;
    struct SaveDialog {
        int owner;
        std::string title, filter, defaultName;
    };
    std::vector<SaveDialog> saveDialogs;
    std::vector<SaveDialog> openDialogs;  // defaultName holds the start folder
    struct Popup {
        int menu, x, y;
    };
    std::vector<Popup> popups;
    // Every SetEnabled call in order, as "control:0" or "control:1".
    std::vector<std::string> enableLog;

    // --- acting as a person -----------------------------------------------------------
    // Clicks a control as a person would: check boxes toggle, radio boxes check
    // themselves and clear their group, then the handler runs. A person cannot act on
    // a hidden or disabled control, a disabled menu item or a closed window: doing so
    // throws FakeUiMisuse, which fails the test.
    void Click(int window, int control);
    void ChooseMenu(int window, int item);
    void SelectItem(int window, int control, int index);
    void ClickRow(int window, int control, int row, bool rightButton = false);
    void Activate(int window);
    void Tick(int window, int timer);

    Window& GetWindow(int window);
    // Throws FakeUiMisuse unless a person could act on the control now.
    void RequireUsable(int window, int control);
    Control& GetControl(int window, int control);
    bool HasWindow(int window) const { return windows_.count(window) != 0; }

    // --- Ui ---------------------------------------------------------------------------
    bool CreateWindowFrom(const WindowDesc& desc, UiEvents* events) override;
    void ShowWindow(int window, bool show) override;
    void MinimiseWindow(int window) override;
    void DestroyWindow(int window) override;
    int RunMessageLoop() override { return 0; }
    void PumpPendingMessages() override {}

    void SetWindowCaption(int window, const std::string& caption) override;
    std::string GetWindowCaption(int window) override;
    Rect GetWindowRect(int window) override;
    void MoveWindow(int window, const Rect& rect) override;
    void GetScreenSize(int* width, int* height) override;
    WindowRef OwnProcessWindow() override { return ownProcessWindow; }

    void SetText(int window, int control, const std::string& text) override;
    std::string GetText(int window, int control) override;
    void SetEnabled(int window, int control, bool enabled) override;
    bool IsEnabled(int window, int control) override;
    void SetVisible(int window, int control, bool visible) override;
    bool IsVisible(int window, int control) override;
    void SetChecked(int window, int control, bool checked) override;
    bool IsChecked(int window, int control) override;
    void SetRect(int window, int control, const Rect& rect) override;
    Rect GetRect(int window, int control) override;
    void SetPicture(int window, int control, const std::string& picture) override;
    std::string GetPicture(int window, int control) override;
    void AppendText(int window, int control, const std::string& text) override;
    size_t GetTextLength(int window, int control) override;

    void SetProgress(int window, int control, int position) override;
    int GetProgress(int window, int control) override;
    void AddItem(int window, int control, const std::string& text) override;
    void ClearItems(int window, int control) override;
    void InsertItem(int window, int control, int index, const std::string& text) override;
    void DeleteItem(int window, int control, int index) override;
    void SetItemText(int window, int control, int index, const std::string& text) override;
    int ItemCount(int window, int control) override;
    std::string ItemText(int window, int control, int index) override;
    void SetSelection(int window, int control, int index) override;
    int GetSelection(int window, int control) override;

    void SetColumnHeader(int window, int control, int column, const std::string& text) override;
    std::string GetColumnHeader(int window, int control, int column) override;
    int AddRow(int window, int control, const std::vector<std::string>& cells) override;
    void SetCell(int window, int control, int row, int column, const std::string& text) override;
    void DeleteRow(int window, int control, int row) override;
    void DeleteAllRows(int window, int control) override;
    int RowCount(int window, int control) override;
    std::string Cell(int window, int control, int row, int column) override;

    void SetMenuItemText(int window, int item, const std::string& text) override;
    std::string GetMenuItemText(int window, int item) override;
    void EnableMenuItem(int window, int item, bool enabled) override;
    bool IsMenuItemEnabled(int window, int item) override;
    void CheckMenuItem(int window, int item, bool checked) override;
    bool IsMenuItemChecked(int window, int item) override;
    void SetMenuItemVisible(int window, int item, bool visible) override;
    bool IsMenuItemVisible(int window, int item) override;
    std::string OpenFileDialog(int owner, const std::string& title, const std::string& filter,
                               const std::string& startFolder) override;
    void PopupMenu(int window, int menu, int x, int y) override;
    void GetCursorPos(int* x, int* y) override;

    int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                   unsigned flags) override;
    std::string SaveFileDialog(int owner, const std::string& title, const std::string& filter,
                               const std::string& defaultName) override;
    void SetTrayTooltip(int window, const std::string& tooltip) override;
    void ShowBalloon(int window, const std::string& title, const std::string& text, int iconKind,
                     unsigned timeoutMs) override;
    void SetTimer(int window, int timer, unsigned intervalMs) override;
    void KillTimer(int window, int timer) override;

  private:
    std::map<int, Window> windows_;
    // Guards text boxes written by the console reader thread.
    std::recursive_mutex textLock_;
};
