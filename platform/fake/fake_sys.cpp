#include "platform/fake/fake_sys.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}
}  // namespace

FakeSys::FakeSys() {
    FakeDrive c;
    c.deviceNumber = 0;
    c.partitionNumber = 1;
    c.totalBytes = 60ull << 30;
    c.freeBytes = 20ull << 30;
    AddDrive('C', c);
}

// Windows treats "C:\\dir\\\\file" as "C:\\dir\\file": runs of backslashes count as one.
std::string FakeSys::Key(const std::string& path) {
    std::string key;
    for (char c : Upper(path))
        if (!(c == '\\' && !key.empty() && key.back() == '\\')) key += c;
    return key;
}

void FakeSys::AddDrive(char letter, const FakeDrive& drive) {
    drives[char(Upper(std::string(1, letter))[0])] = drive;
}

void FakeSys::NoteName(const std::string& path) {
    names_[Key(path)] = path;
}

void FakeSys::AddFile(const std::string& path, const std::string& contents) {
    files_[Key(path)] = contents;
    sizes_.erase(Key(path));
    NoteName(path);
}

void FakeSys::AddSizedFile(const std::string& path, std::int64_t size) {
    files_[Key(path)] = std::string();
    sizes_[Key(path)] = size;
    NoteName(path);
}

void FakeSys::AddDirectory(const std::string& path) {
    std::string key = Key(path);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    directories_.insert(key);
    names_[key] = path.substr(0, key.size());
}

namespace {

// The system's wildcard match of a name: '*' any run, '?' one character, no case.
bool WildcardMatches(const std::string& pattern, const std::string& name) {
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || up(pattern[p]) == up(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    // "*.*" also matches names without a dot, as the system's search does.
    if (p < pattern.size() && pattern.substr(p) == ".*") return true;
    return p == pattern.size();
}

}  // namespace

std::vector<DirectoryEntry> FakeSys::FindFiles(const std::string& pattern) {
    std::vector<DirectoryEntry> found;
    const size_t slash = pattern.find_last_of('\\');
    if (slash == std::string::npos) return found;
    const std::string directory = Key(pattern.substr(0, slash + 1));
    const std::string wildcard = pattern.substr(slash + 1);
    if (directory.size() < 3 || !drives.count(directory[0])) return found;
    std::set<std::string> seen;
    auto consider = [&](const std::string& key) {
        if (key.size() <= directory.size() || key.compare(0, directory.size(), directory) != 0)
            return;
        const std::string rest = key.substr(directory.size());
        // The first separating backslash: a GBK character's second byte may be 0x5C.
        size_t next = std::string::npos;
        for (size_t i = 0; i < rest.size(); ++i) {
            if (static_cast<unsigned char>(rest[i]) >= 0x81 &&
                static_cast<unsigned char>(rest[i]) <= 0xFE) {
                ++i;
                continue;
            }
            if (rest[i] == '\\') {
                next = i;
                break;
            }
        }
        const bool isDirectory = next != std::string::npos || directories_.count(key);
        const std::string childKey = directory + rest.substr(0, next);
        if (!seen.insert(childKey).second) return;
        auto name = names_.find(childKey);
        std::string shown = name != names_.end() ? name->second : childKey;
        // A directory named only through a file below it takes the file's spelling.
        if (name == names_.end())
            for (const auto& n : names_)
                if (n.first.compare(0, childKey.size(), childKey) == 0) {
                    shown = n.second.substr(0, childKey.size());
                    break;
                }
        shown = shown.substr(directory.size());
        if (WildcardMatches(wildcard, shown)) found.push_back(DirectoryEntry{shown, isDirectory});
    };
    std::set<std::string> keys(directories_);
    for (const auto& file : files_) keys.insert(file.first);
    for (const std::string& key : keys) consider(key);
    return found;
}

bool FakeSys::ReadWholeFile(const std::string& path, std::string* contents) {
    auto it = files_.find(Key(path));
    if (it == files_.end()) return false;
    *contents = it->second;
    return true;
}

std::string FakeSys::GetFileDescription(const std::string& path) {
    auto it = fileDescriptions.find(Key(path));
    return it == fileDescriptions.end() || !HasFile(path) ? std::string() : it->second;
}

int FakeSys::GetBinaryType(const std::string& path) {
    if (!HasFile(path)) return kBinaryUnknown;
    auto it = binaryTypes.find(Key(path));
    return it == binaryTypes.end() ? kBinary32 : it->second;
}

bool FakeSys::GetFileCreationTime(const std::string& path, SysTime* time) {
    if (!HasFile(path)) return false;
    auto it = creationTimes.find(Key(path));
    *time = it != creationTimes.end() ? it->second : localTime;
    return true;
}

bool FakeSys::ShellFileOperation(ShellFileFunction function, const std::string& source,
                                 const std::string& target) {
    shellLog.push_back(std::string(function == kFoMove ? "move " : "copy ") + source + " -> " +
                       target);
    for (const std::string& failing : failingShellOperations)
        if (Key(failing) == Key(source)) return false;
    auto it = files_.find(Key(source));
    if (it == files_.end()) return false;
    const std::string contents = it->second;
    auto size = sizes_.find(Key(source));
    if (size != sizes_.end())
        AddSizedFile(target, size->second);
    else
        AddFile(target, contents);
    if (function == kFoMove && Key(source) != Key(target)) {
        files_.erase(Key(source));
        sizes_.erase(Key(source));
    }
    return true;
}

bool FakeSys::SetVolumeLabel(const std::string& root, const std::string& label) {
    shellLog.push_back("label " + root + " " + label);
    if (failingLabelRoots.count(root)) return false;
    auto drive = drives.find(Upper(root.substr(0, 1))[0]);
    if (drive == drives.end()) return false;
    drive->second.label = label;
    return true;
}

bool FakeSys::HasFile(const std::string& path) const {
    return files_.count(Key(path)) != 0;
}

std::string FakeSys::FileContents(const std::string& path) const {
    auto it = files_.find(Key(path));
    return it == files_.end() ? std::string() : it->second;
}

bool FakeSys::OpenEvent(const std::string& name) {
    return existingEvents.count(name) != 0;
}

bool FakeSys::CreateEvent(const std::string& name) {
    eventsCreated.push_back(name);
    existingEvents.insert(name);
    return true;
}

void FakeSys::ExitProcess(unsigned exitCode) {
    throw FakeProcessExit{exitCode};
}

bool FakeSys::PathFileExists(const std::string& path) {
    fileLog.push_back("exists " + path);
    // As the system's test, a directory exists too.
    return HasFile(path) || (!path.empty() && IsDirectory(path));
}

bool FakeSys::FindFirstFileFinds(const std::string& pattern) {
    // "X:\nul" finds an entry on every present drive.
    if (pattern.size() >= 2 && pattern[1] == ':' && Upper(pattern.substr(2)) == "\\NUL")
        return drives.count(Upper(pattern.substr(0, 1))[0]) != 0;
    return HasFile(pattern);
}

bool FakeSys::WriteWholeFile(const std::string& path, const void* data, size_t size) {
    fileLog.push_back("write " + path);
    for (const std::string& failing : failingWrites)
        if (Key(failing) == Key(path)) return false;
    if (path.size() >= 2 && path[1] == ':') {
        auto drive = drives.find(Upper(path.substr(0, 1))[0]);
        if (drive == drives.end() || !drive->second.writable) return false;
    }
    files_[Key(path)] = std::string(static_cast<const char*>(data), size);
    sizes_.erase(Key(path));
    NoteName(path);
    return true;
}

bool FakeSys::DeleteFile(const std::string& path) {
    fileLog.push_back("delete " + path);
    sizes_.erase(Key(path));
    return files_.erase(Key(path)) != 0;
}

std::int64_t FakeSys::GetFileSize(const std::string& path) {
    auto sized = sizes_.find(Key(path));
    if (sized != sizes_.end()) return sized->second;
    auto it = files_.find(Key(path));
    return it == files_.end() ? -1 : std::int64_t(it->second.size());
}

std::string FakeSys::GetFileVersion(const std::string& path) {
    auto it = fileVersions.find(Key(path));
    return it == fileVersions.end() ? std::string() : it->second;
}

std::string FakeSys::GetPrivateProfileString(const std::string& section, const std::string& key,
                                             const std::string& defaultValue,
                                             const std::string& iniPath, size_t bufferSize) {
    auto file = iniValues.find(Key(iniPath));
    if (file == iniValues.end()) return defaultValue;
    auto value = file->second.find(Upper(section) + "|" + Upper(key));
    if (value == file->second.end()) return defaultValue;
    return value->second.substr(0, bufferSize ? bufferSize - 1 : 0);
}

bool FakeSys::WritePrivateProfileString(const std::string& section, const std::string& key,
                                        const std::string& value, const std::string& iniPath) {
    for (const std::string& failing : failingWrites)
        if (Key(failing) == Key(iniPath)) return false;
    iniValues[Key(iniPath)][Upper(section) + "|" + Upper(key)] = value;
    if (!HasFile(iniPath)) files_[Key(iniPath)] = std::string();
    fileLog.push_back("ini " + iniPath + " [" + section + "] " + key + "=" + value);
    return true;
}

bool FakeSys::DeletePrivateProfileKey(const std::string& section, const std::string& key,
                                      const std::string& iniPath) {
    iniValues[Key(iniPath)].erase(Upper(section) + "|" + Upper(key));
    fileLog.push_back("ini " + iniPath + " [" + section + "] " + key + " removed");
    return true;
}

bool FakeSys::HideFile(const std::string& path) {
    if (!HasFile(path)) return false;
    hiddenFiles.insert(Key(path));
    return true;
}

std::string FakeSys::PathSearchAndQualify(const std::string& path, size_t bufferSize) {
    return path.size() < bufferSize ? path : std::string();
}

std::vector<std::string> FakeSys::GetLogicalDriveStrings() {
    std::vector<std::string> roots;
    for (const auto& drive : drives) roots.push_back(std::string(1, drive.first) + ":\\");
    return roots;
}

unsigned FakeSys::GetDriveType(const std::string& root) {
    auto it = root.empty() ? drives.end() : drives.find(Upper(root.substr(0, 1))[0]);
    return it == drives.end() ? kDriveNoRootDir : it->second.type;
}

bool FakeSys::GetDiskFreeSpaceEx(const std::string& root, std::uint64_t* freeBytes,
                                 std::uint64_t* totalBytes, std::uint64_t* totalFreeBytes) {
    auto it = root.empty() ? drives.end() : drives.find(Upper(root.substr(0, 1))[0]);
    if (it == drives.end() || !it->second.sizeKnown) return false;
    *freeBytes = it->second.freeBytes;
    *totalBytes = it->second.totalBytes;
    if (totalFreeBytes) *totalFreeBytes = it->second.freeBytes;
    return true;
}

std::uint32_t FakeSys::ReadTimeStampCounter() {
    if (timeStampCounters.empty()) return ++lastTimeStampCounter_;
    lastTimeStampCounter_ = timeStampCounters.front();
    timeStampCounters.pop_front();
    return lastTimeStampCounter_;
}

bool FakeSys::GetStorageDeviceNumber(char driveLetter, int* deviceNumber, int* partitionNumber) {
    auto it = drives.find(Upper(std::string(1, driveLetter))[0]);
    if (it == drives.end() || !it->second.hasDeviceNumber) return false;
    *deviceNumber = it->second.deviceNumber;
    *partitionNumber = it->second.partitionNumber;
    return true;
}

bool FakeSys::ReadPhysicalDriveSector0(int diskIndex, std::string* sector) {
    auto it = physicalSectors.find(diskIndex);
    if (it == physicalSectors.end()) return false;
    *sector = it->second;
    return true;
}

bool FakeSys::GetVolumeInformation(const std::string& root, std::string* label,
                                   std::string* fileSystem) {
    auto it = root.empty() ? drives.end() : drives.find(Upper(root.substr(0, 1))[0]);
    if (it == drives.end()) return false;
    *label = it->second.label;
    *fileSystem = it->second.fileSystem;
    return true;
}

CommandResult FakeSys::RunHiddenAndCapture(const std::string& commandLine, bool exactReads) {
    CommandResult result;
    commandsRun.push_back(commandLine);
    if (commandsThatCannotStart.count(commandLine)) return result;
    result.started = true;
    if (onCommand) onCommand(commandLine);
    auto code = commandExitCodes.find(commandLine);
    if (code != commandExitCodes.end()) result.exitCode = code->second;
    auto it = commandOutputs.find(commandLine);
    if (it == commandOutputs.end()) return result;
    if (exactReads) {
        result.output = it->second;
        return result;
    }
    // Each read of the real runner stops at its first zero byte; reads are at most
    // 1023 bytes, so a zero drops the rest of its 1023-byte block.
    const std::string& all = it->second;
    for (size_t pos = 0; pos < all.size(); pos += 1023) {
        std::string block = all.substr(pos, 1023);
        result.output += block.substr(0, block.find('\0'));
    }
    return result;
}

bool FakeSys::StartProgram(const std::string& commandLine, bool, unsigned) {
    programsStarted.push_back(commandLine);
    return true;
}

bool FakeSys::CreateConsoleProcess(const std::string& commandLine,
                                   const std::string& startDirectory, ConsolePipes* pipes) {
    if (consoleStartFails) return false;
    std::lock_guard<std::mutex> hold(pipeLock_);
    consoleCommandLine = commandLine;
    consoleStartDirectory = startDirectory;
    consoleInputPipe_ = int(pipes_.size());
    pipes_[consoleInputPipe_] = Pipe();
    consoleOutputPipe_ = int(pipes_.size());
    pipes_[consoleOutputPipe_] = Pipe();
    // The interpreter holds a write end of its output besides the program's.
    pipes_[consoleOutputPipe_].writers = 2;
    pipes->inputRead = nextHandle_++;
    handles_[pipes->inputRead] = {consoleInputPipe_, true};
    pipes->inputWrite = nextHandle_++;
    handles_[pipes->inputWrite] = {consoleInputPipe_, false};
    pipes->outputRead = nextHandle_++;
    handles_[pipes->outputRead] = {consoleOutputPipe_, true};
    pipes->outputWrite = nextHandle_++;
    handles_[pipes->outputWrite] = {consoleOutputPipe_, false};
    consoleProcessId_ = 4242;
    pipes->processId = consoleProcessId_;
    consolePipes = *pipes;
    return true;
}

void FakeSys::NoteClosedUse(const char* call, SysHandle handle) {
    if (closedBy_.count(handle))
        closedHandleUses_.push_back(std::string(call) + " " + std::to_string(handle));
}

long FakeSys::ReadPipe(SysHandle handle, char* buffer, size_t size) {
    std::unique_lock<std::mutex> hold(pipeLock_);
    auto h = handles_.find(handle);
    if (h == handles_.end() || !h->second.second) {
        NoteClosedUse("ReadPipe", handle);
        return -1;
    }
    Pipe& pipe = pipes_[h->second.first];
    pipeChanged_.wait(hold, [&] { return !pipe.data.empty() || pipe.writers == 0; });
    // Closing the handle a read blocks on is a fault of the program, seen here.
    if (!handles_.count(handle)) NoteClosedUse("ReadPipe (closed while blocked)", handle);
    if (pipe.data.empty()) return 0;
    size_t n = std::min(size, pipe.data.size());
    std::copy(pipe.data.begin(), pipe.data.begin() + long(n), buffer);
    pipe.data.erase(0, n);
    pipeChanged_.notify_all();
    return long(n);
}

long FakeSys::PeekPipe(SysHandle handle) {
    std::lock_guard<std::mutex> hold(pipeLock_);
    auto h = handles_.find(handle);
    if (h == handles_.end() || !h->second.second) {
        NoteClosedUse("PeekPipe", handle);
        return -1;
    }
    const Pipe& pipe = pipes_[h->second.first];
    if (pipe.data.empty() && pipe.writers == 0) return -1;
    return long(pipe.data.size());
}

long FakeSys::WritePipe(SysHandle handle, const std::string& bytes) {
    std::lock_guard<std::mutex> hold(pipeLock_);
    auto h = handles_.find(handle);
    if (h == handles_.end() || h->second.second) {
        NoteClosedUse("WritePipe", handle);
        return -1;
    }
    Pipe& pipe = pipes_[h->second.first];
    if (pipe.readerClosed) return -1;
    pipe.data += bytes;
    pipeChanged_.notify_all();
    return long(bytes.size());
}

void FakeSys::CloseHandle(SysHandle handle) {
    std::lock_guard<std::mutex> hold(pipeLock_);
    auto h = handles_.find(handle);
    if (h == handles_.end()) {
        NoteClosedUse("CloseHandle", handle);
        return;
    }
    Pipe& pipe = pipes_[h->second.first];
    if (h->second.second)
        pipe.readerClosed = true;
    else
        --pipe.writers;
    handles_.erase(h);
    closedBy_[handle] = std::this_thread::get_id();
    pipeChanged_.notify_all();
}

bool FakeSys::TerminateProcessById(unsigned processId, unsigned exitCode) {
    std::lock_guard<std::mutex> hold(pipeLock_);
    terminated.emplace_back(processId, exitCode);
    auto listed = std::find_if(processes.begin(), processes.end(),
                               [&](const ProcessEntry& e) { return e.id == processId; });
    if (listed != processes.end()) {
        processes.erase(listed);
        return true;
    }
    if (processId != consoleProcessId_ || consoleProcessId_ == 0) return false;
    consoleProcessId_ = 0;
    // The interpreter's own write end goes away with it, unless a program it started
    // inherited it and still runs.
    if (!consoleChildHoldsOutput) --pipes_[consoleOutputPipe_].writers;
    pipeChanged_.notify_all();
    return true;
}

std::string FakeSys::ConsoleInput() {
    std::lock_guard<std::mutex> hold(pipeLock_);
    return consoleInputPipe_ < 0 ? std::string() : pipes_[consoleInputPipe_].data;
}

void FakeSys::ConsolePrints(const std::string& text) {
    std::lock_guard<std::mutex> hold(pipeLock_);
    pipes_[consoleOutputPipe_].data += text;
    pipeChanged_.notify_all();
}

std::vector<std::string> FakeSys::ClosedHandleUses() {
    std::lock_guard<std::mutex> hold(pipeLock_);
    return closedHandleUses_;
}

std::thread::id FakeSys::ClosedBy(SysHandle handle) {
    std::lock_guard<std::mutex> hold(pipeLock_);
    auto found = closedBy_.find(handle);
    return found == closedBy_.end() ? std::thread::id() : found->second;
}

void FakeSys::EnableShutdownPrivilege() {
    powerLog.push_back("privilege");
}

void FakeSys::ExitWindowsEx(unsigned flags, unsigned reason) {
    powerLog.push_back("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reason));
}

bool FakeSys::FormatVolume(const std::string& root, const std::string& fileSystem,
                           const std::string& label, bool quick, unsigned clusterSize) {
    shellLog.push_back("formatex " + root + " " + fileSystem + " " + label +
                       (quick ? " quick" : "") + " " + std::to_string(clusterSize));
    return !formatFails;
}

bool FakeSys::RunProgramAndWait(const std::string& commandLine) {
    programsRunAndWaited.push_back(commandLine);
    if (onProgramRun) onProgramRun(commandLine);
    return true;
}

std::vector<ProcessEntry> FakeSys::ListProcesses() {
    std::vector<ProcessEntry> list = processes;
    std::lock_guard<std::mutex> hold(pipeLock_);
    if (consoleProcessId_ != 0) list.push_back(ProcessEntry{consoleProcessId_, 1, "cmd.exe"});
    return list;
}

bool FakeSys::SuspendProcessById(unsigned processId) {
    processLog.push_back("suspend " + std::to_string(processId));
    return true;
}

bool FakeSys::ResumeProcessById(unsigned processId) {
    processLog.push_back("resume " + std::to_string(processId));
    return true;
}

bool FakeSys::IsDirectory(const std::string& path) {
    std::string key = Key(path);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    if (directories_.count(key)) return true;
    for (const auto& file : files_)
        if (file.first.compare(0, key.size() + 1, key + "\\") == 0) return true;
    return false;
}

bool FakeSys::CreateDirectories(const std::string& path) {
    std::string key = Key(path);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    fileLog.push_back("mkdir " + path);
    for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
        directories_.insert(key.substr(0, at));
    directories_.insert(key);
    return true;
}

bool FakeSys::DeleteDirectoryTree(const std::string& path) {
    std::string key = Key(path);
    while (!key.empty() && key.back() == '\\') key.pop_back();
    fileLog.push_back("rmdir " + path);
    bool found = directories_.erase(key) != 0;
    for (auto it = files_.begin(); it != files_.end();) {
        if (it->first.compare(0, key.size() + 1, key + "\\") == 0) {
            it = files_.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    for (auto it = directories_.begin(); it != directories_.end();)
        it = it->compare(0, key.size() + 1, key + "\\") == 0 ? directories_.erase(it) : ++it;
    return found;
}

bool FakeSys::CopyFile(const std::string& from, const std::string& to) {
    fileLog.push_back("copy " + from + " " + to);
    auto it = files_.find(Key(from));
    if (it == files_.end() || failingWrites.count(Key(to))) return false;
    files_[Key(to)] = it->second;
    return true;
}

std::string FakeSys::AnsiFromUtf8(const std::string& utf8) {
    iconv_t convert = iconv_open("GBK", "UTF-8");
    if (convert == iconv_t(-1)) return utf8;
    std::string out;
    std::vector<char> in(utf8.begin(), utf8.end());
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t done = iconv(convert, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, size_t(outPtr - buffer));
        if (done == size_t(-1) && errno != E2BIG) {
            out += '?';
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(convert);
    return out;
}
