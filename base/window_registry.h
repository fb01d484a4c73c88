// The program's open windows other than the main window, each kept under its window id
// together with the object that handles its events.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/ui.h"

class WindowRegistry {
  public:
    // Keeps the handler of the window with this id; a handler kept before under the
    // same id is retired, not freed: its window may have been closed from inside one
    // of its own handlers, which is still running.
    void Keep(int window, std::unique_ptr<UiEvents> handler) {
        auto it = open_.find(window);
        if (it != open_.end()) retired_.push_back(std::move(it->second));
        open_[window] = std::move(handler);
        // Retired handlers older than the previous opening are no longer on any stack.
        while (retired_.size() > 1) retired_.erase(retired_.begin());
    }
    // The handler kept under the id, or null.
    UiEvents* Find(int window) const {
        auto it = open_.find(window);
        return it == open_.end() ? nullptr : it->second.get();
    }

  private:
    std::map<int, std::unique_ptr<UiEvents>> open_;
    std::vector<std::unique_ptr<UiEvents>> retired_;
};
