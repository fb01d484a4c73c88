#include "common/win_privilege.h"

#include <windows.h>

#include "common/win_handle.h"

namespace engine {

bool EnablePrivileges(std::initializer_list<const wchar_t*> names) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened))
        return false;
    WinHandle token(opened);
    bool all = true;
    for (const wchar_t* name : names) {
        TOKEN_PRIVILEGES wanted = {};
        wanted.PrivilegeCount = 1;
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (!LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid)) {
            all = false;
            continue;
        }
        // Succeeds also when the token lacks the privilege; the last error tells.
        if (!AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr) ||
            GetLastError() == ERROR_NOT_ALL_ASSIGNED)
            all = false;
    }
    return all;
}

}  // namespace engine
