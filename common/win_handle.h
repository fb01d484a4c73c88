// Owns a Windows kernel handle and closes it once. Windows builds only.
#pragma once

#include <windows.h>

namespace engine {

class WinHandle {
  public:
    explicit WinHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~WinHandle() { Reset(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;

    HANDLE get() const { return h_; }
    // CreateFile fails with INVALID_HANDLE_VALUE, most other calls with null.
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    // Closes the handle now; false when closing failed (a write may not have landed).
    bool Reset() {
        bool ok = true;
        if (valid()) ok = ::CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

}  // namespace engine
