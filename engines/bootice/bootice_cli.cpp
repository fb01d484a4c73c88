#include "engines/bootice/bootice_cli.h"

#include <map>
#include <vector>

#include "common/cmdline.h"
#include "common/cmdline_raw.h"
#include "engines/bootice/boot_records.h"

namespace bootice {

static const char kUsage[] =
    "usage: Bootice /DEVICE=<drive|disk:partition> /mbr /install /type=nt52|nt60 /quiet\r\n"
    "       Bootice /DEVICE=<drive|disk:partition> /pbr /install /type=ntldr|bootmgr /quiet\r\n"
    "       Bootice /DEVICE=<drive|disk:partition> /partitions /activate /quiet\r\n"
    "       Bootice /diskinfo /getdrv /drive=<disk from 0> /file=<report file>\r\n"
    "       Bootice /edit_bcd [/easymode] /file=\"<BCD file>\"\r\n"
    "       Bootice /edit_g4dmenu /file=\"<menu file>\"\r\n"
    "disk:partition counts disks and partitions from 1 (1:1 is the first partition of the\r\n"
    "first disk); /drive= counts disks from 0. Boot records are written on MBR disks only.\r\n";

namespace {

using Action = BooticeCommand::Action;

bool IsDigits(const std::string& s) {
    if (s.empty() || s.size() > 3) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// "C:", "C:\" or "<disk>:<partition>".
bool IsDeviceText(const std::string& d) {
    size_t colon = d.find(':');
    if (colon == std::string::npos) return false;
    std::string left = d.substr(0, colon), right = d.substr(colon + 1);
    if (left.size() == 1 &&
        ((left[0] >= 'A' && left[0] <= 'Z') || (left[0] >= 'a' && left[0] <= 'z')))
        return right.empty() || right == "\\";
    return IsDigits(left) && IsDigits(right);
}

struct ModeRule {
    const char* name;
    Action action;
    std::vector<std::string> required;
    std::vector<std::string> allowed;  // besides the required ones
};

const std::vector<ModeRule>& ModeRules() {
    static const std::vector<ModeRule> rules = {
        {"/mbr", Action::InstallMbr, {"/device=", "/install", "/type="}, {"/quiet"}},
        {"/pbr", Action::InstallPbr, {"/device=", "/install", "/type="}, {"/quiet"}},
        {"/partitions", Action::ActivatePartition, {"/device=", "/activate"}, {"/quiet"}},
        {"/diskinfo", Action::DiskInfo, {"/getdrv", "/drive=", "/file="}, {}},
        {"/edit_bcd", Action::EditBcd, {"/file="}, {"/easymode"}},
        {"/edit_g4dmenu", Action::EditGrub4dosMenu, {"/file="}, {}},
    };
    return rules;
}

const std::vector<std::string>& ValueOptions() {
    static const std::vector<std::string> names = {"/device=", "/type=", "/drive=", "/file="};
    return names;
}

const std::vector<std::string>& FlagOptions() {
    static const std::vector<std::string> names = {"/install", "/activate", "/quiet", "/getdrv",
                                                   "/easymode"};
    return names;
}

bool Contains(const std::vector<std::string>& list, const std::string& s) {
    for (const std::string& x : list)
        if (x == s) return true;
    return false;
}

}  // namespace

bool ParseBooticeCommandLine(const std::string& commandLine, BooticeCommand& command,
                             std::string& error) {
    std::vector<std::string> args = engine::SplitCommandLine(commandLine);
    args.erase(args.begin());
    BooticeCommand c;
    if (args.empty()) {
        command = c;
        return true;
    }
    // Option name (lower case, "=" kept for valued ones) -> the argument as given.
    std::map<std::string, std::string> given;
    std::map<std::string, std::string> values;
    const ModeRule* mode = nullptr;
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        std::string name;
        std::string value;
        const ModeRule* modeHere = nullptr;
        for (const ModeRule& rule : ModeRules())
            if (engine::EqualsNoCase(a, rule.name)) {
                modeHere = &rule;
                name = rule.name;
            }
        for (const std::string& flag : FlagOptions())
            if (engine::EqualsNoCase(a, flag)) name = flag;
        for (const std::string& opt : ValueOptions())
            if (engine::StartsWithNoCase(a, opt)) {
                name = opt;
                value = a.substr(opt.size());
            }
        if (name.empty()) {
            error = "unrecognised option \"" + a + "\"";
            return false;
        }
        if (given.count(name)) {
            error = "option \"" + a + "\" given twice";
            return false;
        }
        if (modeHere) {
            if (mode) {
                error = "\"" + given[mode->name] + "\" and \"" + a + "\" cannot be combined";
                return false;
            }
            mode = modeHere;
        }
        given[name] = a;
        if (name == "/file=") {
            // The program does not quote the report path: an unquoted path runs to the
            // end of the line.
            std::string raw = engine::RawArgumentsFrom(commandLine, k);
            if (engine::StartsWithNoCase(raw, "/file=") && raw.size() > 6 && raw[6] != '"') {
                value = raw.substr(6);
                while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                    value.pop_back();
                values[name] = value;
                break;
            }
        }
        values[name] = value;
    }
    if (!mode) {
        error =
            "no operation given (/mbr, /pbr, /partitions, /diskinfo, /edit_bcd or "
            "/edit_g4dmenu)";
        return false;
    }
    for (const std::string& need : mode->required)
        if (!given.count(need)) {
            error = std::string(mode->name) + " needs " + need + (need.back() == '=' ? "..." : "");
            return false;
        }
    for (const auto& entry : given) {
        const std::string& name = entry.first;
        if (name != mode->name && !Contains(mode->required, name) &&
            !Contains(mode->allowed, name)) {
            error = "\"" + entry.second + "\" does not go with " + mode->name;
            return false;
        }
    }
    c.action = mode->action;
    c.quiet = given.count("/quiet") > 0;
    c.easyMode = given.count("/easymode") > 0;
    if (given.count("/device=")) {
        c.device = values["/device="];
        if (!IsDeviceText(c.device)) {
            error =
                "\"" + given["/device="] + "\" does not name a drive (C:) or disk:partition (1:2)";
            return false;
        }
    }
    if (given.count("/type=")) {
        c.type = engine::LowerAscii(values["/type="]);
        bool ok = c.action == Action::InstallMbr ? (c.type == "nt52" || c.type == "nt60")
                                                 : (c.type == "ntldr" || c.type == "bootmgr");
        if (!ok) {
            error = "unrecognised type \"" + given["/type="] + "\" for " + mode->name;
            return false;
        }
    }
    if (given.count("/drive=")) {
        if (!IsDigits(values["/drive="])) {
            error = "\"" + given["/drive="] + "\" does not name a disk number";
            return false;
        }
        c.drive = std::stoi(values["/drive="]);
    }
    if (given.count("/file=")) {
        c.file = values["/file="];
        if (c.file.empty()) {
            error = "/file= names no file";
            return false;
        }
    }
    command = c;
    return true;
}

static RunResult Failed(int code, const std::string& device, const std::string& why) {
    RunResult r;
    r.exitCode = code;
    r.output = "Bootice: " + device + ": " + why + "; nothing was written.\r\n";
    return r;
}

// /mbr, /pbr and /partitions: find the named volume's disk and partition, make the
// backend confirm it, then write.
static RunResult WriteBootRecord(const BooticeCommand& c, DiskBackend& backend) {
    DiskBackend::Location where;
    std::string why;
    if (!backend.LocateDevice(c.device, where, why)) return Failed(kExitRefused, c.device, why);
    std::unique_ptr<BlockDevice> disk = backend.OpenDisk(where.disk, true, why);
    if (!disk) return Failed(kExitRefused, c.device, why);
    DiskLayout layout;
    if (!ReadDiskLayout(*disk, layout, why))
        return Failed(kExitRefused, c.device, "the partition table cannot be read: " + why);
    const Partition* partition = nullptr;
    if (where.partitionNumber > 0) {
        partition = layout.ByNumber(where.partitionNumber);
    } else if (where.offsetKnown && where.offsetBytes % disk->SectorSize() == 0) {
        partition = layout.ByFirstLba(where.offsetBytes / disk->SectorSize());
    }
    const std::string diskName = "disk " + std::to_string(where.disk + 1);
    if (layout.style == PartitionStyle::Gpt && c.action != Action::ActivatePartition)
        return Failed(kExitRefused, c.device,
                      diskName + " is a GPT disk; boot records of MBR disks do not apply");
    if (!partition)
        return Failed(kExitRefused, c.device,
                      "no partition of " + diskName + " matches the device");
    if (!backend.ConfirmPartition(where, *partition, disk->SectorSize(), why))
        return Failed(kExitRefused, c.device, why);
    std::string message;
    WriteResult result = WriteResult::Refused;
    switch (c.action) {
        case Action::InstallMbr:
            result = InstallMbr(*disk, c.type == "nt52" ? MbrKind::Nt52 : MbrKind::Nt60, message);
            break;
        case Action::InstallPbr:
            result =
                InstallPbr(*disk, *partition,
                           c.type == "ntldr" ? LoaderKind::Ntldr : LoaderKind::Bootmgr, message);
            break;
        default:
            result = ActivatePartition(*disk, *partition, message);
            break;
    }
    RunResult r;
    if (result != WriteResult::Written) {
        bool failed = result == WriteResult::Failed;
        r.exitCode = failed ? kExitWriteFailed : kExitRefused;
        r.output = "Bootice: " + c.device + ": " + message +
                   (failed ? ".\r\n" : "; nothing was written.\r\n");
        return r;
    }
    r.output = "Bootice: " + c.device + " (" + diskName + ", partition " +
               std::to_string(partition->number) + "): " + message + ".\r\n";
    return r;
}

RunResult RunBootice(const std::string& commandLine, DiskBackend& backend) {
    RunResult r;
    BooticeCommand c;
    std::string error;
    if (!ParseBooticeCommandLine(commandLine, c, error)) {
        r.exitCode = kExitBadCommandLine;
        r.output = "Bootice: " + error + "\r\n" + kUsage;
        return r;
    }
    switch (c.action) {
        case Action::Usage:
            r.output = kUsage;
            r.forPerson = true;
            return r;
        case Action::InstallMbr:
        case Action::InstallPbr:
        case Action::ActivatePartition:
            r = WriteBootRecord(c, backend);
            r.forPerson = !c.quiet;
            return r;
        case Action::EditBcd:
            r.editor = c.easyMode ? EditorKind::BcdEasy : EditorKind::BcdProfessional;
            r.editorFile = c.file;
            r.forPerson = true;
            return r;
        case Action::EditGrub4dosMenu:
            r.editor = EditorKind::Grub4dosMenu;
            r.editorFile = c.file;
            r.forPerson = true;
            return r;
        case Action::DiskInfo:
            break;
    }
    DiskIdentity disk;
    std::string why;
    if (!backend.QueryDisk(c.drive, disk, why)) {
        // Rewrite the report anyway: a stale one would name another disk's model.
        std::string ignored;
        backend.WriteTextFile(c.file, FormatDiskInfoFailure(c.drive, why), ignored);
        r.exitCode = kExitDiskQueryFailed;
        r.output =
            "Bootice: disk " + std::to_string(c.drive) + " could not be read: " + why + "\r\n";
        return r;
    }
    if (!backend.WriteTextFile(c.file, FormatDiskInfoReport(c.drive, disk), why)) {
        r.exitCode = kExitReportNotWritten;
        r.output = "Bootice: cannot write \"" + c.file + "\": " + why + "\r\n";
        return r;
    }
    r.output = "Bootice: disk " + std::to_string(c.drive) + ": " + CleanModel(disk.model) + " (" +
               SizeText(disk.sizeBytes) + ")\r\n";
    return r;
}

}  // namespace bootice
