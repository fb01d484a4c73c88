// The mount backend of the running system (backend_windows.cpp, backend_host.cpp).
#pragma once

#include "engines/isotool/iso_cli.h"

namespace isotool {

MountBackend& SystemMountBackend();

}  // namespace isotool
