// The "/config" reader: the program's own path and the "Path" value of its INI file,
// both taken from the input (split at the first line break), on the fake machine. The
// image the value names is present when the input's first byte is odd, so the value
// reaches the image path box.
#include <stdexcept>
#include <string>

#include "app/config.h"
#include "base/program.h"
#include "platform/fake/fake_sys.h"
#include "platform/fake/fake_ui.h"
#include "tests/fuzz/fuzz_target.h"

SB_FUZZ_TARGET(program_config) {
    if (size < 1) return;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t cut = text.find('\n');
    const std::string name = cut == std::string::npos ? "Tool.exe" : text.substr(0, cut);
    const std::string value = cut == std::string::npos ? text : text.substr(cut + 1);
    FakeSys sys;
    FakeUi ui;
    Program program{sys, ui};
    sys.moduleFileName = "D:\\PE\\" + name;
    const std::string ini = ConfigurationFilePath(sys.moduleFileName);
    sys.AddFile(ini);
    sys.WritePrivateProfileString("Config", "Path", value, ini);
    if (data[0] & 1) sys.AddFile("D:\\MorvekOS\\" + value, "image");
    try {
        LoadConfiguration(program);
    } catch (const FakeProcessExit&) {
    } catch (const std::logic_error&) {
        // The fake screen has no main window here: the value got as far as the box.
    }
}
