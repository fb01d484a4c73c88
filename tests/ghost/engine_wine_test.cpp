// qii32.exe under Wine, run the way the program runs it: "cmd.exe /c <line>" with
// standard output and error on one pipe, on the sandbox drives D: E: F: (folders).
// The engine was written into the Windows directory, as the program does.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::string RunLine(const std::string& line) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE rd, wr;
    CreatePipe(&rd, &wr, &sa, 0);
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = wr;
    si.hStdError = wr;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi;
    std::string cmd = "cmd.exe /c " + line;
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    if (!CreateProcessA(nullptr, buf.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        CloseHandle(rd);
        CloseHandle(wr);
        return "<could not start>";
    }
    CloseHandle(wr);
    std::string out;
    char chunk[4096];
    DWORD got;
    while (ReadFile(rd, chunk, sizeof chunk, &got, nullptr) && got > 0) out.append(chunk, got);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(rd);
    return out;
}

// The inventory's D:P of a drive letter: storage device number + 1, partition number.
std::string PartitionOf(char letter) {
    std::string dev = std::string("\\\\.\\") + letter + ":";
    HANDLE h = CreateFileA(dev.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    STORAGE_DEVICE_NUMBER n = {};
    DWORD got = 0;
    DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &n, sizeof n, &got, nullptr);
    CloseHandle(h);
    return std::to_string(n.DeviceNumber + 1) + ":" + std::to_string(n.PartitionNumber);
}

void Clear(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return;
    do {
        std::string n = fd.cFileName;
        if (n == "." || n == "..") continue;
        std::string p = dir + "\\" + n;
        SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Clear(p);
            RemoveDirectoryA(p.c_str());
        } else {
            DeleteFileA(p.c_str());
        }
    } while (FindNextFileA(f, &fd));
    FindClose(f);
}

void Write(const std::string& path, const std::string& data) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    WriteFile(h, data.data(), DWORD(data.size()), &put, nullptr);
    CloseHandle(h);
}

std::string Read(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string out;
    char buf[65536];
    DWORD got;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return out;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetWriteTime(const std::string& path, uint64_t ticks) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME ft = {DWORD(ticks), DWORD(ticks >> 32)};
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

// name → attributes, size, write time, content (and file identity for hard links).
std::map<std::string, std::string> Describe(const std::string& root, const std::string& rel = "") {
    std::map<std::string, std::string> out;
    WIN32_FIND_DATAA fd;
    std::string dir = rel.empty() ? root : root + "\\" + rel;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return out;
    do {
        std::string n = fd.cFileName;
        if (n == "." || n == "..") continue;
        std::string r = rel.empty() ? n : rel + "\\" + n;
        DWORD keep = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        std::string d = "attr=" + std::to_string(fd.dwFileAttributes & keep);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            auto sub = Describe(root, r);
            out.insert(sub.begin(), sub.end());
        } else {
            uint64_t t = (uint64_t(fd.ftLastWriteTime.dwHighDateTime) << 32) |
                         fd.ftLastWriteTime.dwLowDateTime;
            std::string data = Read(root + "\\" + r);
            d += " size=" + std::to_string(data.size()) + " time=" + std::to_string(t / 10000000) +
                 " sum=" + std::to_string(std::hash<std::string>()(data));
        }
        out[r] = d;
    } while (FindNextFileA(f, &fd));
    FindClose(f);
    return out;
}

std::string Noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) c = char((seed = seed * 1103515245 + 12345) >> 16);
    return s;
}

class GhostEngineWine : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* d : {"D:", "E:", "F:"}) Clear(d);
        d_ = PartitionOf('D');
        e_ = PartitionOf('E');
        f_ = PartitionOf('F');
        c_ = PartitionOf('C');
        ASSERT_NE(d_, e_);
        CreateDirectoryA("D:\\docs", nullptr);
        CreateDirectoryA("D:\\docs\\deep", nullptr);
        CreateDirectoryA("D:\\empty", nullptr);
        CreateDirectoryA("E:\\img", nullptr);
        Write("D:\\docs\\readme.txt", "hello from drive D\r\n");
        Write("D:\\docs\\empty.txt", "");
        Write("D:\\docs\\deep\\noise.bin", Noise(3 * 1048576 + 77, 9));
        std::string text;
        for (int i = 0; i < 100000; ++i) text += "line " + std::to_string(i) + "\r\n";
        Write("D:\\big.txt", text);
        Write("D:\\ro.txt", "read only");
        SetWriteTime("D:\\big.txt", 131000000000000000ULL);
        SetFileAttributesA("D:\\ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        Write("D:\\pagefile.sys", "never backed up");
    }

    std::map<std::string, std::string> SourceTree() {
        auto d = Describe("D:");
        d.erase("pagefile.sys");
        return d;
    }

    std::string d_, e_, f_, c_;
    const std::string q_ = "C:\\windows\\qii32.exe";
};

TEST_F(GhostEngineWine, BackupCheckRestoreAndCopyWithTheProgramsLines) {
    EXPECT_EQ("", RunLine(q_ + " -clone,mode=pdump,src=" + d_ +
                          ",dst=\"E:\\img\\d.GHO\" -z9 -noide"
                          " -sure -fx"));
    ASSERT_TRUE(Exists("E:\\img\\d.GHO"));
    EXPECT_EQ("", RunLine(q_ + "   -CHKIMG,E:\\img\\d.GHO -sure  -fx -BATCH "));

    Write("F:\\old.txt", "replaced by the restore");
    EXPECT_EQ("", RunLine(q_ + " -clone,mode=pload,src=\"E:\\img\\d.GHO\":1,dst=" + f_ +
                          " -crcignore  -noide -sure  -fx"));
    EXPECT_EQ(SourceTree(), Describe("F:"));
    EXPECT_FALSE(Exists("F:\\old.txt"));
    EXPECT_FALSE(Exists("F:\\pagefile.sys"));

    Clear("F:");
    Write("F:\\stale.txt", "stale");
    EXPECT_EQ("", RunLine(q_ + " -clone,mode=pcopy,src=" + d_ + ",dst=" + f_ + "  -sure -fx"));
    auto copied = Describe("F:");
    copied.erase("pagefile.sys");  // a copy takes the whole tree
    EXPECT_EQ(SourceTree(), copied);
}

TEST_F(GhostEngineWine, SpansAndPasswordThroughTheCommandInterpreter) {
    EXPECT_EQ("", RunLine(q_ + " -clone,mode=pdump,src=" + d_ +
                          ",dst=\"E:\\img\\s.GHO\" -z1 "
                          "-span  -split=2 -auto -noide -pwd=pass word -sure -fx"));
    EXPECT_TRUE(Exists("E:\\img\\s001.GHS"));
    EXPECT_EQ("", RunLine(q_ + "   -CHKIMG,E:\\img\\s.GHO -sure  -fx -BATCH "));
    std::string wrong = RunLine(q_ + " -clone,mode=pload,src=\"E:\\img\\s.GHO\":1,dst=" + f_ +
                                " -crcignore  -noide -pwd=pass -sure  -fx");
    EXPECT_EQ(0u, wrong.find("错误 16：")) << wrong;  // GBK, as the program reads it
    EXPECT_EQ("", RunLine(q_ + " -clone,mode=pload,src=\"E:\\img\\s.GHO\":1,dst=" + f_ +
                          " -crcignore  -noide -pwd=pass word -sure  -fx"));
    EXPECT_EQ(SourceTree(), Describe("F:"));
}

TEST_F(GhostEngineWine, RefusesTheImageVolumeAndTheWindowsVolume) {
    ASSERT_EQ("", RunLine(q_ + " -clone,mode=pdump,src=" + d_ +
                          ",dst=\"E:\\img\\d.GHO\" -z1"
                          " -sure -fx"));
    Write("E:\\keep.txt", "kept");
    std::string out = RunLine(q_ + " -clone,mode=pload,src=\"E:\\img\\d.GHO\":1,dst=" + e_ +
                              " -crcignore  -noide -sure  -fx");
    EXPECT_EQ(0u, out.find("错误 20：")) << out;
    EXPECT_EQ("kept", Read("E:\\keep.txt"));
    out = RunLine(q_ + " -clone,mode=pload,src=\"E:\\img\\d.GHO\":1,dst=" + c_ +
                  " -crcignore  -noide -sure  -fx");
    EXPECT_EQ(0u, out.find("错误 21：")) << out;
    EXPECT_TRUE(Exists("C:\\windows\\qii32.exe"));
    out = RunLine(q_ + " -clone,mode=pcopy,src=" + d_ + ",dst=" + c_ + "  -sure -fx");
    EXPECT_EQ(0u, out.find("错误 21：")) << out;
    out = RunLine(q_ + " -clone,mode=pload,src=\"E:\\img\\d.GHO\":1,dst=" + f_ + " -bogus");
    EXPECT_EQ("错误 2：无法识别的参数：-bogus\r\n", out);
}

// An encrypted image written by the native build (OpenSSL) opens under Windows
// (CryptoAPI). The password is typed in the ANSI code page, as the program passes it.
TEST_F(GhostEngineWine, ImageFromTheNativeBuildRestores) {
    ASSERT_TRUE(Exists("C:\\native.GHO"));
    EXPECT_EQ("", RunLine(q_ + " -clone,mode=pload,src=\"C:\\native.GHO\":1,dst=" + f_ +
                          " -crcignore  -noide -pwd=互通 pass -sure  -fx"));
    EXPECT_EQ("made natively\n", Read("F:\\hello.txt"));
    std::string data = Read("F:\\sub\\data.bin");
    ASSERT_EQ(5000u, data.size());
    for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(char(i % 251), data[i]) << i;
}

}  // namespace
