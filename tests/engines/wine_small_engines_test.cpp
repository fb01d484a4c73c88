// The built omnifs32.exe, ISO.exe, Bootice.exe and bcdboot.exe run as the program runs
// them: through "cmd.exe /c <line>", standard output and error on one pipe, read as ANSI
// (code page 936) bytes. run_wine_test.sh copies them to D:\sb-small-engines\.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kDir = "D:\\sb-small-engines\\";

struct Ran {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

Ran RunThroughCmd(const std::string& line) {
    Ran ran;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return ran;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "cmd.exe /c " + line;
    std::vector<char> buffer(command.begin(), command.end());
    buffer.push_back('\0');
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (started) {
        char chunk[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
            ran.output.append(chunk, got);
        WaitForSingleObject(pi.hProcess, 60000);
        GetExitCodeProcess(pi.hProcess, &ran.exitCode);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return ran;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

TEST(Omnifs32, InfoReportsEveryDriveLetter) {
    Ran r = RunThroughCmd(kDir + "omnifs32.exe info");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    std::vector<std::string> lines = Lines(r.output);
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(r.output.substr(r.output.size() - 2), "\r\n");

    DWORD mask = GetLogicalDrives();
    std::vector<char> letters;
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i)) letters.push_back(char('A' + i));
    EXPECT_EQ(lines[0],
              "Omnifs32 volume report: " + std::to_string(letters.size()) + " drive letter(s)");
    ASSERT_EQ(lines.size(), letters.size() + 1) << r.output;
    for (size_t i = 0; i < letters.size(); ++i) {
        const std::string& line = lines[i + 1];
        std::string head = std::string("[") + letters[i] + ":\\] ";
        EXPECT_EQ(line.compare(0, head.size(), head), 0) << line;
        std::string state = line.substr(head.size(), 9);
        EXPECT_TRUE(state == "Active   " || state == "Inactive " || state == "Unknown  ") << line;
        // Only an active line may hold what the partition inventory looks for.
        bool found = line.find(std::string(1, letters[i]) + ":\\] Active") != std::string::npos;
        EXPECT_EQ(found, state == "Active   ") << line;
    }
    // The drives of the test prefix are folders: their place on a disk is known.
    EXPECT_NE(r.output.find("[D:\\] Unknown  disk 0 partition "), std::string::npos) << r.output;
}

TEST(Omnifs32, RefusesOtherCommands) {
    Ran r = RunThroughCmd(kDir + "omnifs32.exe list");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(Lines(r.output).at(0), "omnifs32: unknown command \"list\"") << r.output;
}

TEST(IsoTool, UnmountAllIsQuietAndSucceeds) {
    // The program runs it by this lower-case name at every exit.
    Ran r = RunThroughCmd(kDir + "iso.exe /q");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output, "");
}

TEST(IsoTool, MountFailsClearlyAndBadLinesAreRefused) {
    Ran mount = RunThroughCmd(kDir + "ISO.exe /D:Z /I:D:\\My ISOs\\win 7.iso");
    EXPECT_EQ(mount.exitCode, 2u);
    EXPECT_EQ(mount.output,
              "ISO: mounting \"D:\\My ISOs\\win 7.iso\" on Z: is not available in this build; "
              "nothing was mounted.\r\n");
    Ran bad = RunThroughCmd(kDir + "ISO.exe /unmount");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(Lines(bad.output).at(0), "ISO: unrecognised option \"/unmount\"");
}

TEST(Bcdboot, NotBuiltCreateFailsTheProgramsSuccessTest) {
    Ran r = RunThroughCmd(kDir + "BCDBOOT.EXE C:\\\\\\Windows /s C:\\");
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(r.output.find("no boot files were written"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("successfully"), std::string::npos);
    EXPECT_EQ(r.output.find("成功"), std::string::npos);  // GBK bytes, as the program reads
    Ran bad = RunThroughCmd(kDir + "BCDBOOT.EXE C:\\Windows /f ALL");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(Lines(bad.output).at(0), "BCDBOOT: unrecognised option \"/f\"");
}

// Under Wine drive letters are folders and \\.\PhysicalDrive0 is the host's disk: every
// line the program sends is understood and refused before any disk is opened.
TEST(Bootice, BootRecordWritesAreRefusedUnderWine) {
    const std::vector<std::pair<std::string, std::string>> lines = {
        {"C:\\", " /mbr /install  /type=nt60  /quiet"},
        {"C:\\", " /partitions /activate /quiet"},
        {"1:2", " /mbr /install  /type=nt52  /quiet"},
        {"1:2", " /pbr /install  /type=ntldr /quiet"},
        {"1:1", " /mbr /install  /type=nt60  /quiet"},
        {"1:1", " /pbr /install  /type=bootmgr /quiet"},
    };
    for (const auto& line : lines) {
        Ran r = RunThroughCmd(kDir + "BOOTICE.EXE /DEVICE=" + line.first + line.second);
        EXPECT_EQ(r.exitCode, 5u) << line.second;
        EXPECT_EQ(r.output, "Bootice: " + line.first +
                                ": boot records are not written under Wine, where disks are not "
                                "what they name; nothing was written.\r\n");
    }
    Ran bad = RunThroughCmd(kDir + "BOOTICE.EXE /DEVICE=1:2 /mbr /install /type=nt70");
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(Lines(bad.output).at(0), "Bootice: unrecognised type \"/type=nt70\" for /mbr");
}

TEST(Bootice, DiskInfoOfAMissingDiskLeavesNoModel) {
    std::string report = kDir + "diskinfo.txt";
    {
        std::ofstream stale(report, std::ios::binary);
        stale << "SET USBDRIVENUM=0\r\nSET USBDRIVEDESC=OLD DISK (1.0 GB)\r\n";
    }
    Ran r = RunThroughCmd(kDir + "Bootice.exe /diskinfo /getdrv /drive=97 /file=" + report);
    EXPECT_EQ(r.exitCode, 3u) << r.output;
    std::ifstream in(report, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<std::string> lines = Lines(text.str());
    ASSERT_EQ(lines.size(), 2u) << text.str();
    EXPECT_EQ(lines[0], "SET USBDRIVENUM=97");
    EXPECT_EQ(lines[1].rfind("REM disk 97 could not be read: ", 0), 0u) << lines[1];
}

}  // namespace
