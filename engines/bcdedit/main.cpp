// bcdedit: edits a boot configuration data store.
#include <cstdlib>

#include "common/cmdline_raw.h"
#include "common/console_out.h"
#include "engines/bcdedit/bcdedit_cli.h"

#ifdef _WIN32
#include <windows.h>
#endif

// The store used without /store: the system drive's \Boot\BCD.
static std::string DefaultStore() {
#ifdef _WIN32
    char drive[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("SystemDrive", drive, sizeof drive);
    std::string root = n > 0 && n < sizeof drive ? std::string(drive) : std::string("C:");
    std::string path = root + "\\Boot\\BCD";
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? path : std::string();
#else
    const char* store = std::getenv("SB_BCD_STORE");
    return store ? store : "";
#endif
}

int main(int argc, char** argv) {
    engine::InitEngineIo();
    bcdedit::RunResult r = bcdedit::RunBcdedit(engine::FullCommandLine(argc, argv), DefaultStore());
    engine::PrintText(r.output);
    return r.exitCode;
}
