// Windows helpers of the apply and capture sides: privileges and error texts.
// Windows builds only.
#pragma once

#ifdef _WIN32

#include <string>

namespace imagex {

// "error <n> (<system text>)" for GetLastError().
std::string LastErrorText();

// Enables the named privilege (e.g. L"SeBackupPrivilege"); silently does
// nothing when the process does not hold it.
void EnablePrivilege(const wchar_t* name);

}  // namespace imagex

#endif
