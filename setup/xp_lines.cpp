#include "setup/xp_lines.h"

#include <algorithm>

const char kXpTemplateProductId[] = "XXXXX-XXXXX-XXXXX-XXXXX-XXXXX";
const char kXpAnswerFileName[] = "unattend.txt";
const char kXpBootFolder[] = "$WIN_NT$.~BT";
const char kXpLocalSourceFolder[] = "$WIN_NT$.~LS";

// 46 lines of CR LF text, the last one empty. The product key is a placeholder: setup
// asks for the key when the user typed none.
const char kXpAnswerFileTemplate[] =
    ";SetupMgrTag\r\n"
    "[Data]\r\n"
    "    AutoPartition=1\r\n"
    "    MsDosInitiated=\"0\"\r\n"
    "    UnattendedInstall=\"Yes\"\r\n"
    "\r\n"
    "[Unattended]\r\n"
    "    UnattendMode=FullUnattended\r\n"
    "    OemSkipEula=Yes\r\n"
    "    OemPreinstall=No\r\n"
    "    TargetPath=\\WINDOWS\r\n"
    "\r\n"
    "[GuiUnattended]\r\n"
    "    AdminPassword=*\r\n"
    "    EncryptedAdminPassword=NO\r\n"
    "    AutoLogon=Yes\r\n"
    "    AutoLogonCount=1\r\n"
    "    OEMSkipRegional=1\r\n"
    "    TimeZone=210\r\n"
    "    OemSkipWelcome=1\r\n"
    "\r\n"
    "[UserData]\r\n"
    "    ProductID=XXXXX-XXXXX-XXXXX-XXXXX-XXXXX\r\n"
    "    FullName=\"Morvek\"\r\n"
    "    OrgName=\"Morvek\"\r\n"
    "    ComputerName=*\r\n"
    "\r\n"
    "[Branding]\r\n"
    "    BrandIEUsingUnattended=Yes\r\n"
    "\r\n"
    "[URL]\r\n"
    "    Home_Page=http://lanzhou-soft.example/\r\n"
    "\r\n"
    "[Proxy]\r\n"
    "    Proxy_Enable=0\r\n"
    "    Use_Same_Proxy=1\r\n"
    "\r\n"
    "[Identification]\r\n"
    "    JoinWorkgroup=WORKGROUP\r\n"
    "\r\n"
    "[Networking]\r\n"
    "    InstallDefaultComponents=Yes\r\n"
    "\r\n"
    "[RegionalSettings]\r\n"
    "    LanguageGroup=10\r\n"
    "\r\n";

bool IsXpSetupFolder(int source) {
    return source == kXpFolder32 || source == kXpFolder64;
}

namespace {

// The /s: folder: as it is, or quoted without a trailing backslash when it holds a blank
// (a backslash right before the closing quote would escape it).
std::string SourceFolder(std::string folder) {
    if (folder.find(' ') == std::string::npos) return folder;
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return "\"" + folder + "\"";
}

}  // namespace

std::string XpSetupLine(int source, bool automatic, const std::string& media,
                        const std::string& root) {
    const std::string& r = root;
    const std::string tail = "unattend.txt /makelocalsource /tempdrive:" + r + " /noreboot";
    if (IsXpSetupFolder(source)) {
        const std::string start =
            media + "\\winnt32.exe  /syspart:" + r + " /dudisable /s:" + SourceFolder(media);
        if (automatic) return start + "  /unattend:" + r + tail;
        return start + "  /makelocalsource /tempdrive:" + r + " /noreboot";
    }
    // The program's folder with its trailing backslash.
    const size_t slash = media.rfind('\\');
    const std::string folder = slash == std::string::npos ? "" : media.substr(0, slash + 1);
    const std::string start = "\"" + media + "\"  /syspart:" + r + " /dudisable /s:";
    if (automatic) {
        const std::string withoutSlash =
            folder.empty() ? folder : folder.substr(0, folder.size() - 1);
        return start + SourceFolder(withoutSlash) + "  /unattend:" + r + tail;
    }
    return start + SourceFolder(folder) + " /makelocalsource /tempdrive:" + r + " /noreboot";
}

std::string XpLineForInterpreter(const std::string& line) {
    if (line.empty() || line[0] != '"') return line;
    const size_t close = line.find('"', 1);
    const bool oneQuotedPart = std::count(line.begin(), line.end(), '"') == 2;
    const bool plainInside =
        close != std::string::npos &&
        line.substr(1, close - 1).find_first_of("&<>()@^|") == std::string::npos;
    if (oneQuotedPart && plainInside) return line;
    return "\"" + line + "\"";
}
