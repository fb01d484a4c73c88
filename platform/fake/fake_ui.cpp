#include "platform/fake/fake_ui.h"

#include <stdexcept>

static void AddMenuItems(FakeUi::Window& w, const std::vector<MenuItemDesc>& items) {
    for (const MenuItemDesc& item : items) {
        if (item.id) w.menuItems[item.id].text = item.caption;
        AddMenuItems(w, item.children);
    }
}

bool FakeUi::CreateWindowFrom(const WindowDesc& desc, UiEvents* events) {
    Window& w = windows_[desc.id];
    w = Window();
    w.desc = desc;
    w.events = events;
    w.caption = desc.caption;
    w.rect = Rect{0, 0, desc.width, desc.height};
    for (const ControlDesc& c : desc.controls) {
        Control& control = w.controls[c.id];
        control.desc = c;
        control.enabled = c.enabled;
        control.visible = c.visible;
        control.rect = c.rect;
        control.picture = c.picture;
        control.checked = c.checked;
        control.selection = c.selection;
        if (c.kind == ControlKind::ListView)
            control.headers = c.items;
        else if (c.kind == ControlKind::ComboBox || c.kind == ControlKind::ComboList ||
                 c.kind == ControlKind::ListBox)
            control.items = c.items;
        else
            control.text = c.caption;
    }
    for (const MenuDesc& menu : desc.menus) AddMenuItems(w, menu.items);
    if (events) events->OnCreate(desc.id);
    return true;
}

FakeUi::Window& FakeUi::GetWindow(int window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) throw std::logic_error("no such window " + std::to_string(window));
    return it->second;
}

FakeUi::Control& FakeUi::GetControl(int window, int control) {
    Window& w = GetWindow(window);
    auto it = w.controls.find(control);
    if (it == w.controls.end())
        throw std::logic_error("no such control " + std::to_string(control));
    return it->second;
}

void FakeUi::RequireUsable(int window, int control) {
    const Window& w = GetWindow(window);
    const Control& c = GetControl(window, control);
    const std::string where =
        "window " + std::to_string(window) + " control " + std::to_string(control);
    if (w.destroyed) throw FakeUiMisuse("acted on a closed window: " + where);
    if (!c.visible) throw FakeUiMisuse("acted on a hidden control: " + where);
    if (!c.enabled) throw FakeUiMisuse("acted on a disabled control: " + where);
}

void FakeUi::Click(int window, int control) {
    RequireUsable(window, control);
    Control& c = GetControl(window, control);
    if (c.desc.kind == ControlKind::CheckBox) c.checked = !c.checked;
    if (c.desc.kind == ControlKind::RadioBox) {
        // Radio boxes form groups in description order, each opened by groupStart.
        Window& w = GetWindow(window);
        std::vector<std::vector<int>> groups(1);
        for (const ControlDesc& d : w.desc.controls) {
            if (d.kind != ControlKind::RadioBox) continue;
            if (d.groupStart && !groups.back().empty()) groups.emplace_back();
            groups.back().push_back(d.id);
        }
        std::vector<int> group;
        for (const auto& g : groups)
            for (int id : g)
                if (id == control) group = g;
        for (int id : group) w.controls[id].checked = (id == control);
    }
    GetWindow(window).events->OnControl(window, control);
}

void FakeUi::ChooseMenu(int window, int item) {
    Window& w = GetWindow(window);
    if (w.destroyed) throw FakeUiMisuse("chose a menu item of a closed window");
    auto it = w.menuItems.find(item);
    if (it != w.menuItems.end() && !it->second.enabled)
        throw FakeUiMisuse("chose the disabled menu item " + std::to_string(item));
    if (it != w.menuItems.end() && !it->second.visible)
        throw FakeUiMisuse("chose the hidden menu item " + std::to_string(item));
    w.events->OnMenu(window, item);
}

void FakeUi::SelectItem(int window, int control, int index) {
    RequireUsable(window, control);
    GetControl(window, control).selection = index;
    GetWindow(window).events->OnControl(window, control);
}

void FakeUi::ClickRow(int window, int control, int row, bool rightButton) {
    RequireUsable(window, control);
    GetWindow(window).events->OnListClick(window, control, row, rightButton);
}

void FakeUi::Activate(int window) {
    GetWindow(window).events->OnFirstActivate(window);
}

void FakeUi::Tick(int window, int timer) {
    GetWindow(window).events->OnTimer(window, timer);
}

void FakeUi::ShowWindow(int window, bool show) {
    GetWindow(window).shown = show;
}
void FakeUi::MinimiseWindow(int window) {
    GetWindow(window).minimised = true;
}
void FakeUi::DestroyWindow(int window) {
    GetWindow(window).destroyed = true;
}

void FakeUi::SetWindowCaption(int window, const std::string& caption) {
    GetWindow(window).caption = caption;
}
std::string FakeUi::GetWindowCaption(int window) {
    return GetWindow(window).caption;
}
Rect FakeUi::GetWindowRect(int window) {
    return GetWindow(window).rect;
}
void FakeUi::MoveWindow(int window, const Rect& rect) {
    GetWindow(window).rect = rect;
}
void FakeUi::GetScreenSize(int* width, int* height) {
    *width = screenWidth;
    *height = screenHeight;
}

void FakeUi::SetText(int window, int control, const std::string& text) {
    std::lock_guard<std::recursive_mutex> hold(textLock_);
    Control& c = GetControl(window, control);
    c.text = text;
    // Text typed into an editable combo box replaces what the selection showed.
    if (c.desc.kind == ControlKind::ComboBox) c.selection = -1;
}
std::string FakeUi::GetText(int window, int control) {
    std::lock_guard<std::recursive_mutex> hold(textLock_);
    Control& c = GetControl(window, control);
    if ((c.desc.kind == ControlKind::ComboBox || c.desc.kind == ControlKind::ComboList) &&
        c.selection >= 0 && c.selection < int(c.items.size()))
        return c.items[size_t(c.selection)];
    return c.text;
}
void FakeUi::SetEnabled(int window, int control, bool enabled) {
    GetControl(window, control).enabled = enabled;
    enableLog.push_back(std::to_string(control) + ":" + (enabled ? "1" : "0"));
}
bool FakeUi::IsEnabled(int window, int control) {
    return GetControl(window, control).enabled;
}
void FakeUi::SetVisible(int window, int control, bool visible) {
    GetControl(window, control).visible = visible;
}
bool FakeUi::IsVisible(int window, int control) {
    return GetControl(window, control).visible;
}
void FakeUi::SetChecked(int window, int control, bool checked) {
    GetControl(window, control).checked = checked;
}
bool FakeUi::IsChecked(int window, int control) {
    return GetControl(window, control).checked;
}
void FakeUi::SetRect(int window, int control, const Rect& rect) {
    GetControl(window, control).rect = rect;
}
Rect FakeUi::GetRect(int window, int control) {
    return GetControl(window, control).rect;
}
void FakeUi::SetPicture(int window, int control, const std::string& picture) {
    GetControl(window, control).picture = picture;
}
std::string FakeUi::GetPicture(int window, int control) {
    return GetControl(window, control).picture;
}
void FakeUi::AppendText(int window, int control, const std::string& text) {
    std::lock_guard<std::recursive_mutex> hold(textLock_);
    GetControl(window, control).text += text;
}
size_t FakeUi::GetTextLength(int window, int control) {
    std::lock_guard<std::recursive_mutex> hold(textLock_);
    return GetControl(window, control).text.size();
}

void FakeUi::AddItem(int window, int control, const std::string& text) {
    GetControl(window, control).items.push_back(text);
}
void FakeUi::ClearItems(int window, int control) {
    Control& c = GetControl(window, control);
    c.items.clear();
    c.selection = -1;
}
void FakeUi::InsertItem(int window, int control, int index, const std::string& text) {
    Control& c = GetControl(window, control);
    if (index < 0 || index > int(c.items.size())) index = int(c.items.size());
    c.items.insert(c.items.begin() + index, text);
    if (c.selection >= index) ++c.selection;
}
void FakeUi::DeleteItem(int window, int control, int index) {
    Control& c = GetControl(window, control);
    if (index < 0 || index >= int(c.items.size())) return;
    c.items.erase(c.items.begin() + index);
    // As the system's lists do: the selected entry gone, nothing is selected.
    if (c.selection == index)
        c.selection = -1;
    else if (c.selection > index)
        --c.selection;
}
void FakeUi::SetItemText(int window, int control, int index, const std::string& text) {
    Control& c = GetControl(window, control);
    if (index >= 0 && index < int(c.items.size())) c.items[size_t(index)] = text;
}
int FakeUi::ItemCount(int window, int control) {
    return int(GetControl(window, control).items.size());
}
std::string FakeUi::ItemText(int window, int control, int index) {
    Control& c = GetControl(window, control);
    return index >= 0 && index < int(c.items.size()) ? c.items[size_t(index)] : std::string();
}
void FakeUi::SetSelection(int window, int control, int index) {
    std::lock_guard<std::recursive_mutex> hold(textLock_);
    Control& c = GetControl(window, control);
    c.selection = index;
    if (index >= 0 && index < int(c.items.size())) c.text = c.items[size_t(index)];
}
int FakeUi::GetSelection(int window, int control) {
    return GetControl(window, control).selection;
}

void FakeUi::SetColumnHeader(int window, int control, int column, const std::string& text) {
    Control& c = GetControl(window, control);
    if (column >= 0 && column < int(c.headers.size())) c.headers[size_t(column)] = text;
}
std::string FakeUi::GetColumnHeader(int window, int control, int column) {
    Control& c = GetControl(window, control);
    return column >= 0 && column < int(c.headers.size()) ? c.headers[size_t(column)] : "";
}
int FakeUi::AddRow(int window, int control, const std::vector<std::string>& cells) {
    Control& c = GetControl(window, control);
    c.rows.push_back(cells);
    return int(c.rows.size()) - 1;
}
void FakeUi::SetCell(int window, int control, int row, int column, const std::string& text) {
    Control& c = GetControl(window, control);
    if (row < 0 || row >= int(c.rows.size()) || column < 0) return;
    auto& cells = c.rows[size_t(row)];
    if (cells.size() <= size_t(column)) cells.resize(size_t(column) + 1);
    cells[size_t(column)] = text;
}
void FakeUi::DeleteRow(int window, int control, int row) {
    Control& c = GetControl(window, control);
    if (row >= 0 && row < int(c.rows.size())) c.rows.erase(c.rows.begin() + row);
}
void FakeUi::DeleteAllRows(int window, int control) {
    GetControl(window, control).rows.clear();
}
int FakeUi::RowCount(int window, int control) {
    return int(GetControl(window, control).rows.size());
}
std::string FakeUi::Cell(int window, int control, int row, int column) {
    Control& c = GetControl(window, control);
    if (row < 0 || row >= int(c.rows.size())) return std::string();
    const auto& cells = c.rows[size_t(row)];
    return column >= 0 && column < int(cells.size()) ? cells[size_t(column)] : std::string();
}

void FakeUi::SetMenuItemText(int window, int item, const std::string& text) {
    GetWindow(window).menuItems[item].text = text;
}
std::string FakeUi::GetMenuItemText(int window, int item) {
    return GetWindow(window).menuItems[item].text;
}
void FakeUi::EnableMenuItem(int window, int item, bool enabled) {
    GetWindow(window).menuItems[item].enabled = enabled;
}
bool FakeUi::IsMenuItemEnabled(int window, int item) {
    return GetWindow(window).menuItems[item].enabled;
}
void FakeUi::CheckMenuItem(int window, int item, bool checked) {
    GetWindow(window).menuItems[item].checked = checked;
}
bool FakeUi::IsMenuItemChecked(int window, int item) {
    return GetWindow(window).menuItems[item].checked;
}
void FakeUi::SetMenuItemVisible(int window, int item, bool visible) {
    GetWindow(window).menuItems[item].visible = visible;
}
bool FakeUi::IsMenuItemVisible(int window, int item) {
    return GetWindow(window).menuItems[item].visible;
}
std::string FakeUi::OpenFileDialog(int owner, const std::string& title, const std::string& filter,
                                   const std::string& startFolder) {
    openDialogs.push_back(SaveDialog{owner, title, filter, startFolder});
    if (openDialogAnswers.empty()) return std::string();
    std::string answer = openDialogAnswers.front();
    openDialogAnswers.pop_front();
    return answer;
}
void FakeUi::PopupMenu(int, int menu, int x, int y) {
    popups.push_back(Popup{menu, x, y});
}
void FakeUi::GetCursorPos(int* x, int* y) {
    *x = cursorX;
    *y = cursorY;
}

int FakeUi::MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                       unsigned flags) {
    messageBoxes.push_back(FakeMessageBox{owner, text, caption, flags});
    if (onMessageBox) onMessageBox(messageBoxes.back());
    if (messageBoxAnswers.empty()) return kIdOk;
    int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}
std::string FakeUi::SaveFileDialog(int owner, const std::string& title, const std::string& filter,
                                   const std::string& defaultName) {
    saveDialogs.push_back(SaveDialog{owner, title, filter, defaultName});
    if (saveDialogAnswers.empty()) return std::string();
    std::string answer = saveDialogAnswers.front();
    saveDialogAnswers.pop_front();
    return answer;
}

void FakeUi::SetTrayTooltip(int, const std::string& tooltip) {
    trayTooltips.push_back(tooltip);
}
void FakeUi::ShowBalloon(int, const std::string& title, const std::string& text, int iconKind,
                         unsigned timeoutMs) {
    balloons.push_back(FakeBalloon{title, text, iconKind, timeoutMs});
}
void FakeUi::SetTimer(int window, int timer, unsigned intervalMs) {
    GetWindow(window).timers[timer] = intervalMs;
}
void FakeUi::KillTimer(int window, int timer) {
    GetWindow(window).timers.erase(timer);
}

void FakeUi::SetProgress(int window, int control, int position) {
    GetControl(window, control).progress = position < 0 ? 0 : position > 100 ? 100 : position;
}
int FakeUi::GetProgress(int window, int control) {
    return GetControl(window, control).progress;
}
