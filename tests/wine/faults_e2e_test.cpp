// Faults met through the real window under Wine, with the engines the program writes
// out: an engine stopped with its own Cancel or killed half-way, a damaged chunk, a
// wrong password, a missing span, and a target drive too small for the job (G:, a
// small tmpfs that faults_e2e.sh mounts when it can). Each job must end with the
// program's failure text, never its success report; the window must take the next
// job; and the disk must hold what the job promises: an older image kept, a target
// that the checks refused left untouched.
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/ids/ghost_confirmation.h"
#include "base/ids/imagex_backup.h"
#include "base/ids/imagex_restore.h"
#include "base/ids/main_window.h"
#include "tests/wine/automation.h"
#include "tests/wine/main_window_steps.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const DWORD kJobTime = 180000;
const char kOlder[] = "an older image the user still has\r\n";

std::string Contents(const std::string& path) {
    std::string text;
    return ReadStoreFile(path, &text) ? text : "(unreadable " + path + ")";
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes noise of that size unless the file already has it.
bool EnsureNoise(const std::string& path, size_t size, unsigned seed) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        data.nFileSizeLow == size && data.nFileSizeHigh == 0)
        return true;
    return WriteWholeFile(path, NoiseBytes(size, seed));
}

// Runs an engine as the program would, without the window; true when it ended.
bool RunEngine(const std::string& commandLine) {
    RunningProgram engine("cmd.exe /c " + commandLine);
    return engine.WaitForExit(kJobTime);
}

// The name of a file that matches the pattern (a working file), "" when none does.
std::string FileLike(const std::string& pattern) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return "";
    FindClose(h);
    return found.cFileName;
}

// Suspends (or resumes) every thread of the running processes with that file name, as
// a slow disk would hold an engine up; false when none runs.
bool HoldProcessNamed(const char* name, bool hold) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 process = {};
    process.dwSize = sizeof process;
    for (BOOL more = Process32First(snapshot, &process); more;
         more = Process32Next(snapshot, &process))
        if (lstrcmpiA(process.szExeFile, name) == 0) ids.push_back(process.th32ProcessID);
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    for (BOOL more = Thread32First(snapshot, &thread); more && !ids.empty();
         more = Thread32Next(snapshot, &thread)) {
        if (std::find(ids.begin(), ids.end(), thread.th32OwnerProcessID) == ids.end()) continue;
        HANDLE h = OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread.th32ThreadID);
        if (!h) continue;
        if (hold)
            SuspendThread(h);
        else
            ResumeThread(h);
        CloseHandle(h);
    }
    CloseHandle(snapshot);
    return !ids.empty();
}

// Holds the engine as soon as it runs, long enough for the program's checks (every
// 500 ms) to see it at work, so that a stop or a failure meets an engine the program
// follows rather than one that came and went between two checks.
bool CatchEngine(const char* name) {
    if (!WaitUntil([&] { return HoldProcessNamed(name, true); }, 60000)) return false;
    Sleep(1500);
    return true;
}

// Lets a held engine run in short steps until the condition holds; false when it never
// does (or the engine ended).
template <typename F>
bool StepHeldEngine(const char* name, F condition) {
    for (int step = 0; step < 1000; ++step) {
        if (condition()) return true;
        if (!HoldProcessNamed(name, false)) return false;
        Sleep(5);
        HoldProcessNamed(name, true);
    }
    return condition();
}

// Deletes the files whose names match the pattern (in one folder).
void DeleteFilesLike(const std::string& pattern) {
    const std::string folder = pattern.substr(0, pattern.find_last_of('\\') + 1);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do DeleteFileA((folder + found.cFileName).c_str());
    while (FindNextFileA(h, &found));
    FindClose(h);
}

// Flips bytes in the middle of a file: inside its data, away from headers and tables.
bool DamageMiddle(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    char bytes[64];
    DWORD done = 0;
    const LONG middle = LONG(GetFileSize(f, nullptr) / 2);
    bool ok = middle > 4096 && SetFilePointer(f, middle, nullptr, FILE_BEGIN) == DWORD(middle) &&
              ReadFile(f, bytes, sizeof bytes, &done, nullptr) && done == sizeof bytes;
    for (char& b : bytes) b ^= char(0x5A);
    ok = ok && SetFilePointer(f, middle, nullptr, FILE_BEGIN) == DWORD(middle) &&
         WriteFile(f, bytes, sizeof bytes, &done, nullptr) && done == sizeof bytes;
    CloseHandle(f);
    return ok;
}

struct FaultsUnderWine : ::testing::Test {
    RunningProgram program{kProgram};
    HWND window = nullptr;

    void SetUp() override {
        CreateDirectoryA("D:\\faults", nullptr);
        CreateDirectoryA("F:\\faults-src", nullptr);
        // F: holds a tree worth imaging; D: enough for a backup to be caught half-way.
        ASSERT_TRUE(EnsureNoise("F:\\faults-src\\noise.bin", 10u << 20, 7));
        ASSERT_TRUE(WriteWholeFile("F:\\faults-src\\note.txt", "from F:\r\n"));
        ASSERT_TRUE(EnsureNoise("D:\\faults\\noise.bin", 24u << 20, 9));
        window = WaitForWindow(program.id(), "StarBridgeWindow", 60000);
        ASSERT_NE(window, nullptr);
    }

    std::string Named(const std::string& root) { return NamedPartition(window, root); }
    std::string Answer(int button, DWORD wait = 20000) {
        return AnswerNextMessageBox(program.id(), button, wait);
    }
    HWND Confirmation() {
        return WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Ghost", 20000);
    }
    HWND ImagexWindow() {
        return WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Imagex", 60000);
    }
    // The Ghost confirmation, after the questions the start button asks first.
    HWND StartGhostJob(int mode, int modeControl, const std::string& path, const std::string& root,
                       bool askedToOverwrite = false) {
        // Choosing the mode again would reset its options (the password among them).
        if (!IsChecked(window, mode)) {
            EXPECT_TRUE(ChooseMode(window, mode, modeControl));
        }
        if (!path.empty()) Type(window, modeControl, path);
        EXPECT_TRUE(ChoosePartition(window, root)) << root;
        Click(window, kStartButton);
        if (askedToOverwrite) {
            EXPECT_EQ(Answer(IDYES), path + " 已存在，是否覆盖？");
        }
        return Confirmation();
    }
    // Closes the confirmation left open by a failure; the main window takes jobs again.
    void CloseConfirmation(HWND confirm) {
        EXPECT_TRUE(IsWindow(confirm));
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(confirm, kConfirmOk); }, 10000));
        Click(confirm, kConfirmCancel);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }, 10000));
        EXPECT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));
    }
    // A Ghost restore of the image onto the root: the message it ends with.
    std::string GhostRestore(const std::string& image, const std::string& root) {
        HWND confirm = StartGhostJob(kRestoreMode, kImagePathBox, image, root);
        if (!confirm) return "(no confirmation)";
        Click(confirm, kConfirmOk);
        const std::string text = Answer(IDOK, kJobTime);
        CloseConfirmation(confirm);
        return text;
    }
};

TEST_F(FaultsUnderWine, AGhostBackupStoppedOrKilledKeepsTheOlderImage) {
    const std::string image = "F:\\faults\\older.gho";
    CreateDirectoryA("F:\\faults", nullptr);
    ASSERT_TRUE(WriteWholeFile(image, kOlder));
    HWND confirm = StartGhostJob(kBackupMode, kSavePathBox, image, "D:\\", true);
    ASSERT_NE(confirm, nullptr);

    // Stopped with the engine's own Cancel.
    Click(confirm, kConfirmOk);
    HWND progress = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (progress = FindWindowA("StarBridgeGhostProgress", nullptr)) != nullptr; },
        60000));
    DWORD engineId = 0;
    GetWindowThreadProcessId(progress, &engineId);
    PostMessageW(progress, WM_COMMAND, MAKEWPARAM(100, BN_CLICKED), 0);
    EXPECT_EQ(AnswerNextMessageBox(engineId, IDYES, 20000), "确定要取消当前操作吗？");
    EXPECT_EQ(Answer(IDOK, kJobTime), "Ghost备份错误！\r\n错误信息：\r\n用户取消备份！");
    EXPECT_TRUE(Contents(image) == kOlder) << "the older image was replaced";
    EXPECT_EQ(FileLike("F:\\faults\\older*.partial"), "");

    // Killed half-way, once its working file is there.
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(confirm, kConfirmOk); }, 10000));
    Click(confirm, kConfirmOk);
    ASSERT_TRUE(WaitUntil([] { return !FileLike("F:\\faults\\older*.partial").empty(); }, 60000));
    ASSERT_TRUE(KillProcessNamed("qii32.exe"));
    EXPECT_EQ(Answer(IDOK, kJobTime),
              "Ghost备份错误！\r\n错误信息：\r\nGhost 程序异常结束，退出代码：1");
    EXPECT_TRUE(Contents(image) == kOlder) << "the older image was replaced";

    // The window takes the next job: the start button asks again.
    CloseConfirmation(confirm);
    Click(window, kStartButton);
    EXPECT_EQ(Answer(IDNO), image + " 已存在，是否覆盖？");
    EXPECT_TRUE(program.IsRunning());
    EXPECT_TRUE(Contents(image) == kOlder) << "the older image was replaced";
    // The killed engine could not remove its working file; nothing else does either.
    DeleteFilesLike("F:\\faults\\older.gho*");
}

TEST_F(FaultsUnderWine, GhostRestoresOfBadImagesFailAndLeaveTheTarget) {
    // Images of F: (1:4) on D:: plain, password-protected and split in 2 MB spans.
    const std::string engine = "C:\\windows\\qii32.exe -clone,mode=pdump,src=1:4,dst=";
    ASSERT_TRUE(RunEngine(engine + "\"D:\\faults\\damaged.gho\" -z1 -sure -fx"));
    ASSERT_TRUE(RunEngine(engine + "\"D:\\faults\\locked.gho\" -z1 -pwd=right -sure -fx"));
    ASSERT_TRUE(RunEngine(engine + "\"D:\\faults\\spanned.gho\" -z1 -split=2 -sure -fx"));
    ASSERT_TRUE(DamageMiddle("D:\\faults\\damaged.gho"));
    ASSERT_TRUE(Exists("D:\\faults\\spanned002.GHS"));
    ASSERT_TRUE(DeleteFileA("D:\\faults\\spanned002.GHS"));
    const std::string failed = "Ghost还原错误！\r\n错误信息：\r\n";
    auto expectFailure = [&](const std::string& text, const char* what) {
        EXPECT_EQ(text.rfind(failed, 0), 0u) << what << ": " << text;
        EXPECT_GT(text.size(), failed.size() + 4) << what << ": the engine's own text follows";
    };
    auto expectTargetUntouched = [&](const char* what) {
        EXPECT_EQ(Contents("E:\\faults-keep.txt"), "still here\r\n") << what;
        EXPECT_FALSE(Exists("E:\\faults-src")) << what;
    };
    ASSERT_TRUE(WriteWholeFile("E:\\faults-keep.txt", "still here\r\n"));
    DeleteFileA("E:\\faults-src\\noise.bin");
    DeleteFileA("E:\\faults-src\\note.txt");
    RemoveDirectoryA("E:\\faults-src");

    // With CRC errors not ignored every chunk is checked before E: is emptied.
    ASSERT_TRUE(ChooseMode(window, kRestoreMode, kImagePathBox));
    Click(window, kCrcOption);
    ASSERT_TRUE(WaitUntil([&] { return !IsChecked(window, kCrcOption); }, 10000));
    expectFailure(GhostRestore("D:\\faults\\damaged.gho", "E:\\"), "damaged");
    expectTargetUntouched("damaged");
    Click(window, kCrcOption);
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(window, kCrcOption); }, 10000));

    Click(window, kPasswordOption);
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(window, kPasswordBox); }, 10000));
    Type(window, kPasswordBox, "wrong");
    const std::string locked = GhostRestore("D:\\faults\\locked.gho", "E:\\");
    expectFailure(locked, "wrong password");
    EXPECT_NE(locked.find("密码不正确"), std::string::npos) << locked;
    expectTargetUntouched("wrong password");
    Click(window, kPasswordOption);
    ASSERT_TRUE(WaitUntil([&] { return !IsEnabled(window, kPasswordBox); }, 10000));

    const std::string missing = GhostRestore("D:\\faults\\spanned.gho", "E:\\");
    expectFailure(missing, "missing span");
    EXPECT_NE(missing.find("spanned002.GHS"), std::string::npos) << missing;
    expectTargetUntouched("missing span");

    // Ignoring CRC errors (the default) the restore goes on, and still ends in failure.
    expectFailure(GhostRestore("D:\\faults\\damaged.gho", "E:\\"), "damaged, CRC ignored");
    EXPECT_EQ(Contents("E:\\faults-src\\note.txt"), "from F:\r\n");
    DeleteFilesLike("D:\\faults\\*.gh?");
}

TEST_F(FaultsUnderWine, ImagexJobsKilledStoppedOrDamagedEndInFailure) {
    ASSERT_TRUE(RunEngine(
        "C:\\windows\\Imagex.exe /capture F:\\faults-src \"D:\\faults\\noise.wim\" \"noise\" "
        "/compress none"));
    ASSERT_TRUE(CopyFileA("D:\\faults\\noise.wim", "D:\\faults\\damaged.wim", FALSE));
    ASSERT_TRUE(DamageMiddle("D:\\faults\\damaged.wim"));
    const std::string applyFailed = "Imagex应用映像到磁盘失败！";
    auto openRestore = [&](const std::string& image) -> HWND {
        EXPECT_TRUE(ChooseMode(window, kRestoreMode, kImagePathBox));
        Type(window, kImagePathBox, image);
        EXPECT_TRUE(ChoosePartition(window, "E:\\"));
        Click(window, kStartButton);
        HWND restore = ImagexWindow();
        if (!restore) return nullptr;
        EXPECT_TRUE(
            WaitUntil([&] { return ComboItems(restore, kRxVolumeList).size() > 0; }, 60000));
        PickComboItem(restore, kRxFormatChoice, 3);  // "跳过 None"
        return restore;
    };
    auto expectIdle = [&](HWND restore) {
        EXPECT_TRUE(IsWindow(restore));
        EXPECT_TRUE(WaitUntil([&] { return IsVisible(restore, kRxStart); }, 10000));
        EXPECT_TRUE(IsEnabled(restore, kRxStart));
    };

    // A damaged chunk: the apply fails and the window stays for another try ...
    HWND restore = openRestore("D:\\faults\\damaged.wim");
    ASSERT_NE(restore, nullptr);
    Click(restore, kRxStart);
    ASSERT_TRUE(CatchEngine("Imagex.exe"));
    HoldProcessNamed("Imagex.exe", false);
    EXPECT_EQ(Answer(IDOK, kJobTime), applyFailed);
    expectIdle(restore);
    Click(restore, kRxCancel);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(restore); }, 10000));

    // ... and an apply whose engine is killed half-way fails the same way.
    restore = openRestore("D:\\faults\\noise.wim");
    ASSERT_NE(restore, nullptr);
    Click(restore, kRxStart);
    ASSERT_TRUE(CatchEngine("Imagex.exe"));
    ASSERT_TRUE(KillProcessNamed("Imagex.exe"));
    EXPECT_EQ(Answer(IDOK, kJobTime), applyFailed);
    expectIdle(restore);
    Click(restore, kRxCancel);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(restore); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));

    // A capture over an older image, killed and then stopped: the older image stays.
    const std::string image = "D:\\faults\\older.wim";
    ASSERT_TRUE(WriteWholeFile(image, kOlder));
    ASSERT_TRUE(ChooseMode(window, kBackupMode, kSavePathBox));
    Type(window, kSavePathBox, image);
    ASSERT_TRUE(ChoosePartition(window, "F:\\"));
    Click(window, kStartButton);
    EXPECT_EQ(Answer(IDYES), image + " 已存在，是否覆盖？");
    HWND backup = ImagexWindow();
    ASSERT_NE(backup, nullptr);
    Click(backup, kBxStart);
    EXPECT_EQ(Answer(IDYES).rfind("Imagex将不会备份以下文件及文件夹：", 0), 0u);
    // Killed once its working file is there.
    ASSERT_TRUE(CatchEngine("Imagex.exe"));
    ASSERT_TRUE(
        StepHeldEngine("Imagex.exe", [&] { return !FileLike(image + ".*.capturing").empty(); }));
    ASSERT_TRUE(KillProcessNamed("Imagex.exe"));
    EXPECT_EQ(Answer(IDOK, kJobTime), "Imagex备份失败。");
    EXPECT_TRUE(Contents(image) == kOlder) << "the older image was replaced";
    EXPECT_EQ(FileLike(image + ".*.capturing"), "") << "the killed engine's working file was left";
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(backup, kBxStart); }, 10000));

    Click(backup, kBxStart);
    EXPECT_EQ(Answer(IDYES).rfind("Imagex将不会备份以下文件及文件夹：", 0), 0u);
    ASSERT_TRUE(CatchEngine("Imagex.exe"));
    Click(backup, kBxCancel);
    EXPECT_EQ(Answer(IDYES), "Imagex正在备份，是否退出？");
    EXPECT_EQ(Answer(IDOK, kJobTime), "用户取消Imagex备份。");
    EXPECT_TRUE(Contents(image) == kOlder) << "the older image was replaced";
    ASSERT_TRUE(WaitUntil([&] { return IsVisible(backup, kBxStart); }, 10000));
    Click(backup, kBxCancel);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(backup); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(window, kStartButton); }, 10000));
    DeleteFilesLike("D:\\faults\\*.wim*");
    DeleteFileA("E:\\noise.bin");
    DeleteFileA("E:\\note.txt");
}

TEST_F(FaultsUnderWine, ATargetDriveTooSmallFailsEveryJobCleanly) {
    if (RowOfRoot(window, kPartitionList, "G:\\") < 0)
        GTEST_SKIP() << "NOT RUN: no small drive G: (faults_e2e.sh mounts a tmpfs as root)";
    ASSERT_TRUE(WriteWholeFile("G:\\keep.txt", "still here\r\n"));
    ASSERT_TRUE(WriteWholeFile("G:\\full.gho", kOlder));
    ASSERT_TRUE(WriteWholeFile("G:\\full.wim", kOlder));

    // A Ghost backup of D: (more than G: holds): the older image stays, nothing else.
    PickComboItem(window, kCompressionBox, 0);  // -z1: G: fills sooner
    HWND confirm = StartGhostJob(kBackupMode, kSavePathBox, "G:\\full.gho", "D:\\", true);
    ASSERT_NE(confirm, nullptr);
    Click(confirm, kConfirmOk);
    const std::string backup = Answer(IDOK, kJobTime);
    EXPECT_EQ(backup.rfind("Ghost备份错误！\r\n错误信息：\r\n", 0), 0u) << backup;
    EXPECT_NE(backup.find("空间不足"), std::string::npos) << backup;
    EXPECT_TRUE(Contents("G:\\full.gho") == kOlder) << "the older image was replaced";
    EXPECT_EQ(FileLike("G:\\*.partial"), "");
    CloseConfirmation(confirm);

    // A Ghost restore and a copy of F: onto G: are refused before G: is touched.
    ASSERT_TRUE(RunEngine(
        "C:\\windows\\qii32.exe -clone,mode=pdump,src=1:4,dst=\"D:\\faults\\big.gho\" -z1 -sure "
        "-fx"));
    const std::string restore = GhostRestore("D:\\faults\\big.gho", "G:\\");
    EXPECT_EQ(restore.rfind("Ghost还原错误！\r\n错误信息：\r\n", 0), 0u) << restore;
    EXPECT_NE(restore.find("空间不足"), std::string::npos) << restore;
    EXPECT_EQ(Contents("G:\\keep.txt"), "still here\r\n");
    DeleteFileA("D:\\faults\\big.gho");

    ASSERT_TRUE(ChooseMode(window, kCopyMode, kTargetList));
    ASSERT_TRUE(ChoosePartition(window, "F:\\"));
    const int target = RowOfRoot(window, kTargetList, "G:\\");
    ASSERT_GE(target, 0);
    ClickListRow(window, kTargetList, target);
    // The program itself measures the copy against G:'s size and refuses it.
    Click(window, kStartButton);
    EXPECT_EQ(Answer(IDOK),
              Named("F:\\") + " 中的数据大小大于 " + Named("G:\\") + " ，数据无法对拷！");
    EXPECT_EQ(WaitForWindowWithCaption(program.id(), "StarBridgeWindow", "Allset Ghost", 500),
              nullptr);
    EXPECT_EQ(Contents("G:\\keep.txt"), "still here\r\n");

    // A WIM capture of F: onto G:: the older image stays and no working file is left.
    ASSERT_TRUE(ChooseMode(window, kBackupMode, kSavePathBox));
    Type(window, kSavePathBox, "G:\\full.wim");
    ASSERT_TRUE(ChoosePartition(window, "F:\\"));
    Click(window, kStartButton);
    EXPECT_EQ(Answer(IDYES), "G:\\full.wim 已存在，是否覆盖？");
    HWND capture = ImagexWindow();
    ASSERT_NE(capture, nullptr);
    PickComboItem(capture, kBxCompression, 0);
    Click(capture, kBxStart);
    EXPECT_EQ(Answer(IDYES).rfind("Imagex将不会备份以下文件及文件夹：", 0), 0u);
    ASSERT_TRUE(CatchEngine("Imagex.exe"));
    HoldProcessNamed("Imagex.exe", false);
    EXPECT_EQ(Answer(IDOK, kJobTime), "Imagex备份失败。");
    EXPECT_TRUE(Contents("G:\\full.wim") == kOlder) << "the older image was replaced";
    EXPECT_EQ(FileLike("G:\\full.wim.*.capturing"), "");
    Click(capture, kBxCancel);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(capture); }, 10000));
}

}  // namespace
