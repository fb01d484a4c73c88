// The entries of a main-window list or combo box, for comparing in tests.
#pragma once

#include <string>
#include <vector>

#include "base/ids/windows.h"
#include "platform/fake/fake_ui.h"

inline std::vector<std::string> ItemsOf(FakeUi& ui, int control) {
    std::vector<std::string> items;
    for (int i = 0; i < ui.ItemCount(kMainWindow, control); ++i)
        items.push_back(ui.ItemText(kMainWindow, control, i));
    return items;
}
