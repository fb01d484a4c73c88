#include "engines/bcdboot/bcdboot_cli.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/cmdline.h"
#include "engines/bcdstore/bcd_store.h"
#include "engines/bcdstore/store_file.h"
#include "engines/bcdstore/volume_identity.h"

namespace bcdboot {

static const char kUsage[] =
    "usage: BCDBOOT <Windows folder> [/s <drive>] [/l <locale>] [/f BIOS|UEFI|ALL]\r\n"
    "       copies the boot files onto the system partition (/s, else the active partition\r\n"
    "       of the Windows folder's disk) and adds the Windows to its boot store\r\n";

// A drive as the program names it: "C:" or "C:\".
static bool IsDriveText(const std::string& text) {
    if (text.size() < 2 || text.size() > 3 || text[1] != ':') return false;
    char l = text[0];
    if (!((l >= 'A' && l <= 'Z') || (l >= 'a' && l <= 'z'))) return false;
    return text.size() == 2 || text[2] == '\\';
}

static bool IsLocaleText(const std::string& text) {
    if (text.empty() || text.size() > 16) return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-')) return false;
    return true;
}

bool ParseBcdbootCommandLine(const std::string& commandLine, BcdbootCommand& command,
                             std::string& error) {
    std::vector<std::string> args = engine::SplitCommandLine(commandLine);
    args.erase(args.begin());
    BcdbootCommand c;
    bool haveS = false, haveL = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '/') {
            if (!c.windowsFolder.empty()) {
                error = "unexpected argument \"" + a + "\"";
                return false;
            }
            c.windowsFolder = a;
            continue;
        }
        if (engine::EqualsNoCase(a, "/f")) {
            std::string f = i + 1 < args.size() ? engine::LowerAscii(args[i + 1]) : "";
            if (f != "bios" && f != "uefi" && f != "all") {
                error = "/f needs BIOS, UEFI or ALL";
                return false;
            }
            for (char& ch : f) ch = char(ch - 32);
            c.firmware = f;
            ++i;
            continue;
        }
        bool isS = engine::EqualsNoCase(a, "/s"), isL = engine::EqualsNoCase(a, "/l");
        if (!isS && !isL) {
            error = "unrecognised option \"" + a + "\"";
            return false;
        }
        if ((isS && haveS) || (isL && haveL)) {
            error = "option \"" + a + "\" given twice";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = "option \"" + a + "\" needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (isS && !IsDriveText(value)) {
            error = "\"" + value + "\" after " + a + " is not a drive such as C:";
            return false;
        }
        if (isL && !IsLocaleText(value)) {
            error = "\"" + value + "\" after " + a + " is not a locale such as zh-cn";
            return false;
        }
        (isS ? c.systemDrive : c.locale) = value;
        (isS ? haveS : haveL) = true;
    }
    if (c.windowsFolder.empty()) {
        error = args.empty() ? "no command given" : "the Windows folder is missing";
        return false;
    }
    std::string folder = c.windowsFolder;
    if (folder.size() < 3 || folder[1] != ':' || folder[2] != '\\' ||
        !((folder[0] | 0x20) >= 'a' && (folder[0] | 0x20) <= 'z')) {
        error = "\"" + folder + "\" is not a folder such as C:\\Windows";
        return false;
    }
    command = c;
    return true;
}

namespace {

namespace fs = std::filesystem;

fs::path Native(const std::string& windowsPath) {
    return fs::u8path(LocalPath(windowsPath));
}

// "C:\\\Windows\" -> "C:\Windows"
std::string CleanFolder(const std::string& folder) {
    std::string out;
    for (char ch : folder)
        if (!(ch == '\\' && !out.empty() && out.back() == '\\')) out += ch;
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

struct Failure {
    std::string text;
};

// Copies a file over an older one, which may be read-only (a boot manager usually is).
void CopyReplacing(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::exists(to, ec)) fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

// Copies a folder tree, replacing files that are there.
void CopyTree(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
        fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else {
            fs::create_directories(target.parent_path());
            CopyReplacing(entry.path(), target);
        }
    }
}

struct Firmware {
    const char* name;
    const char* storePath;    // on the system partition
    const char* managerPath;  // the boot manager's path element, empty for BIOS
    const char* loaderFile;   // in Windows\system32
};
const Firmware kBios = {"BIOS", "\\Boot\\BCD", "", "winload.exe"};
const Firmware kUefi = {"UEFI", "\\EFI\\Microsoft\\Boot\\BCD",
                        "\\EFI\\Microsoft\\Boot\\bootmgfw.efi", "winload.efi"};

// The boot manager this firmware needs is in the Windows folder.
void CheckBootFiles(const Firmware& fw, const std::string& windows) {
    if (&fw == &kBios && !fs::is_regular_file(Native(windows + "\\Boot\\PCAT\\bootmgr")))
        throw Failure{"the Windows folder holds no boot manager (Boot\\PCAT\\bootmgr)"};
    if (&fw == &kUefi && !fs::is_regular_file(Native(windows + "\\Boot\\EFI\\bootmgfw.efi")))
        throw Failure{"the Windows folder holds no UEFI boot manager (Boot\\EFI\\bootmgfw.efi)"};
}

void CopyBootFiles(const Firmware& fw, const std::string& windows, const std::string& system) {
    if (&fw == &kBios) {
        fs::path pcat = Native(windows + "\\Boot\\PCAT");
        fs::path boot = Native(system + "\\Boot");
        CopyTree(pcat, boot);
        CopyReplacing(pcat / "bootmgr", Native(system + "\\bootmgr"));
        fs::remove(boot / "bootmgr");
        if (fs::is_directory(Native(windows + "\\Boot\\Fonts")))
            CopyTree(Native(windows + "\\Boot\\Fonts"), boot / "Fonts");
    } else {
        fs::path efi = Native(windows + "\\Boot\\EFI");
        CopyTree(efi, Native(system + "\\EFI\\Microsoft\\Boot"));
        fs::create_directories(Native(system + "\\EFI\\Boot"));
        CopyReplacing(efi / "bootmgfw.efi", Native(system + "\\EFI\\Boot\\bootx64.efi"));
        if (fs::is_directory(Native(windows + "\\Boot\\Fonts")))
            CopyTree(Native(windows + "\\Boot\\Fonts"),
                     Native(system + "\\EFI\\Microsoft\\Boot\\Fonts"));
    }
}

bool SameDevice(const bcd::Device& a, const bcd::Device& b) {
    return bcd::EncodeDevice(a) == bcd::EncodeDevice(b);
}

// Creates or updates the store; returns the loader entry's identifier.
std::string UpdateStore(const Firmware& fw, const std::string& windows, const std::string& system,
                        const bcd::Device& systemDevice, const bcd::Device& windowsDevice,
                        const std::string& locale) {
    const std::string storeFile = system + fw.storePath;
    bcd::Store store = bcd::Store::Empty();
    std::vector<uint8_t> bytes;
    std::string why;
    if (bcd::ReadStoreFile(Native(storeFile).u8string(), bytes, why) && !store.Load(bytes, why))
        throw Failure{"the existing store " + storeFile + " cannot be read: " + why};
    const std::string mgr = bcd::kBootMgrId;
    if (!store.HasObject(mgr)) {
        store.CreateObject(mgr, bcd::kTypeBootManager);
        store.SetString(mgr, bcd::kElemDescription, "Windows Boot Manager");
        store.SetInteger(mgr, bcd::kElemTimeout, 30);
    }
    store.SetDevice(mgr, bcd::kElemDevice, systemDevice);
    if (*fw.managerPath) store.SetString(mgr, bcd::kElemPath, fw.managerPath);
    const std::string systemRoot = windows.substr(2);  // "\\Windows"

    // An older entry for the same Windows is replaced, keeping its identifier.
    std::string id;
    for (const std::string& other : store.Objects())
        if (store.ObjectType(other) == bcd::kTypeOsLoader &&
            SameDevice(store.GetDevice(other, bcd::kElemOsDevice), windowsDevice) &&
            bcd::EqualNoCase(store.GetString(other, bcd::kElemSystemRoot), systemRoot))
            id = other;
    if (id.empty()) id = bcd::NewGuidString();
    store.DeleteObject(id);
    store.CreateObject(id, bcd::kTypeOsLoader);
    store.SetString(id, bcd::kElemDescription, "Windows");
    store.SetDevice(id, bcd::kElemDevice, windowsDevice);
    store.SetString(id, bcd::kElemPath, systemRoot + "\\system32\\" + fw.loaderFile);
    store.SetDevice(id, bcd::kElemOsDevice, windowsDevice);
    store.SetString(id, bcd::kElemSystemRoot, systemRoot);
    store.SetInteger(id, bcd::kElemNxPolicy, 0);  // opt in
    if (store.HasObject(bcd::kLoaderSettingsId))
        store.SetList(id, bcd::kElemInherit, {bcd::kLoaderSettingsId});
    std::string language = locale.empty() ? store.GetString(mgr, bcd::kElemLocale) : locale;
    if (language.empty()) language = "en-US";
    store.SetString(mgr, bcd::kElemLocale, language);
    store.SetString(id, bcd::kElemLocale, language);

    std::vector<std::string> order = store.GetList(mgr, bcd::kElemDisplayOrder);
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](const std::string& x) {
                                   return bcd::EqualNoCase(x, id) || !store.HasObject(x);
                               }),
                order.end());
    order.insert(order.begin(), id);
    store.SetList(mgr, bcd::kElemDisplayOrder, order);
    store.SetString(mgr, bcd::kElemDefault, id);

    fs::create_directories(Native(storeFile).parent_path());
    if (!bcd::WriteStoreFile(Native(storeFile).u8string(), store.Save(), why))
        throw Failure{"the store " + storeFile + " cannot be written: " + why};
    return id;
}

}  // namespace

RunResult RunBcdboot(const std::string& commandLine) {
    RunResult r;
    BcdbootCommand c;
    std::string error;
    if (!ParseBcdbootCommandLine(commandLine, c, error)) {
        r.exitCode = kExitBadCommandLine;
        r.output = "BCDBOOT: " + error + "\r\n" + kUsage;
        return r;
    }
    const std::string windows = CleanFolder(c.windowsFolder);
    try {
        if (!fs::is_directory(Native(windows)))
            throw Failure{"the Windows folder " + windows + " does not exist"};
        std::string systemLetter = c.systemDrive.substr(0, 1);
        if (systemLetter.empty() &&
            !bcd::ActivePartitionLetter(windows.substr(0, 1), systemLetter, error))
            throw Failure{"no system partition was named and " + error};
        for (char& ch : systemLetter) ch = char(ch & ~0x20);
        const std::string system = systemLetter + ":";
        if (!fs::is_directory(Native(system + "\\")))
            throw Failure{"the system partition " + system + " does not exist"};

        std::vector<const Firmware*> firmwares;
        if (c.firmware != "UEFI") firmwares.push_back(&kBios);
        if (c.firmware != "BIOS") firmwares.push_back(&kUefi);
        for (const Firmware* fw : firmwares) CheckBootFiles(*fw, windows);

        // Which partitions the entries name. When the system cannot tell (as under Wine)
        // and Windows lies on the system partition, "boot" names the partition the boot
        // manager was started from, which is that one.
        bcd::Device systemDevice, windowsDevice;
        std::string why1, why2;
        bool systemKnown = bcd::IdentifyVolume(system, systemDevice, why1);
        bool windowsKnown = bcd::IdentifyVolume(windows.substr(0, 1), windowsDevice, why2);
        bool samePartition = (windows[0] & ~0x20) == systemLetter[0];
        if (!systemKnown || !windowsKnown) {
            if (!samePartition) throw Failure{systemKnown ? why2 : why1};
            systemDevice.kind = windowsDevice.kind = bcd::Device::Kind::Boot;
        }
        for (const Firmware* fw : firmwares) {
            CopyBootFiles(*fw, windows, system);
            UpdateStore(*fw, windows, system, systemDevice, windowsDevice, c.locale);
        }
    } catch (const Failure& f) {
        r.exitCode = kExitFailed;
        r.output = "BCDBOOT: failure when attempting to copy boot files: " + f.text + ".\r\n";
        return r;
    } catch (const fs::filesystem_error& e) {
        r.exitCode = kExitFailed;
        r.output = "BCDBOOT: failure when attempting to copy boot files: " +
                   std::string(e.code().message()) + ".\r\n";
        return r;
    }
    r.output = "Boot files successfully created.\r\n";
    return r;
}

std::string LocalPath(const std::string& windowsPath) {
#ifdef _WIN32
    return windowsPath;
#else
    const char* drives = std::getenv("SB_FAKE_DRIVES");
    std::string out = std::string(drives ? drives : "/nonexistent") + "/";
    if (!windowsPath.empty()) out += char(windowsPath[0] | 0x20);
    for (size_t i = 2; i < windowsPath.size(); ++i)
        out += windowsPath[i] == '\\' ? '/' : windowsPath[i];
    return out;
#endif
}

}  // namespace bcdboot
