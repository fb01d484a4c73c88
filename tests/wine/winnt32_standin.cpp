// Stands in for Windows XP's winnt32 setup program in the end-to-end tests: it carries
// the version description setup programs carry, writes the command line it was given
// to winnt32-line.txt beside itself, and leaves what setup's first phase leaves on the
// /syspart: drive (the boot folder and the local source folder).
#include <windows.h>

#include <string>

namespace {

std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    const size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// The value of a switch such as "/syspart:" up to the next blank; empty when absent.
std::string SwitchValue(const std::string& line, const std::string& name) {
    const size_t at = line.find(name);
    if (at == std::string::npos) return std::string();
    const size_t start = at + name.size();
    const size_t end = line.find(' ', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

int main() {
    const std::string line = GetCommandLineA();
    const std::string record = OwnFolder() + "winnt32-line.txt";
    HANDLE file = CreateFileA(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
    CloseHandle(file);
    if (!wrote) return 2;

    std::string target = SwitchValue(line, "/syspart:");
    if (target.empty()) target = SwitchValue(line, "/tempdrive:");
    if (target.empty()) return 1;
    if (target.back() != '\\') target += '\\';
    const bool made = CreateDirectoryA((target + "$WIN_NT$.~BT").c_str(), nullptr) &&
                      CreateDirectoryA((target + "$WIN_NT$.~LS").c_str(), nullptr);
    return made ? 0 : 3;
}
