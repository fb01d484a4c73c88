// Enables privileges of the process's own token. Windows builds only.
#pragma once

#include <initializer_list>

namespace engine {

// Enables each named privilege ("SeShutdownPrivilege", "SeBackupPrivilege", ...) that
// the token holds. False when the token could not be opened or any of them was not
// enabled; the caller goes on without it either way.
bool EnablePrivileges(std::initializer_list<const wchar_t*> names);

}  // namespace engine
