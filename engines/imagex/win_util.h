// Windows helpers of the apply and capture sides: error texts.
// Windows builds only.
#pragma once

#ifdef _WIN32

#include <string>

namespace imagex {

// "error <n> (<system text>)" for GetLastError().
std::string LastErrorText();

}  // namespace imagex

#endif
