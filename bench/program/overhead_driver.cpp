// Drives the program under Wine for bench/program/program_overhead.sh:
//   overhead_driver startup <runs>
//     times start-up to a responsive window (the window exists and answers WM_NULL)
//     for D:\sb\StarBridge.exe and D:\sb\minimal_window.exe, alternating, and prints
//     each run, the medians and their ratio;
//   overhead_driver restore <image> <root>
//     makes the image from D: with the Ghost engine when it is missing, then restores it
//     onto the root through the window. Prints "job started" when OK is pressed and
//     "job ended" with the closing message; the script samples the program meanwhile.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ids/ghost_confirmation.h"
#include "base/ids/main_window.h"
#include "tests/wine/automation.h"
#include "tests/wine/main_window_steps.h"

using namespace automation;

namespace {

const char kProgram[] = "D:\\sb\\StarBridge.exe";
const char kProgramClass[] = "StarBridgeWindow";
const char kMinimal[] = "D:\\sb\\minimal_window.exe";
const char kMinimalClass[] = "MinimalWindow";

double Seconds() {
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// Milliseconds from the start of the process to its window answering a message; a
// negative number when no window answered within a minute.
double TimeToResponsiveWindow(const char* program, const char* className) {
    Sleep(3000);  // the previous program's end settles first
    const double start = Seconds();
    RunningProgram running(program);
    if (!running.started()) return -1;
    while (Seconds() - start < 60) {
        // One look at the windows (no waiting), then a message the window must answer.
        HWND window = WaitForWindow(running.id(), className, 0);
        DWORD_PTR answer = 0;
        if (window && SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
            const double elapsed = (Seconds() - start) * 1000;
            running.Kill();  // an unclean end keeps the tool files for the next start
            return elapsed;
        }
        Sleep(1);
    }
    return -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int StartUp(int runs) {
    // One start of each first: it writes the tool files and warms the caches.
    if (TimeToResponsiveWindow(kProgram, kProgramClass) < 0 ||
        TimeToResponsiveWindow(kMinimal, kMinimalClass) < 0) {
        std::printf("failed: a program did not show a responsive window\n");
        return 1;
    }
    std::vector<double> ours, minimal;
    for (int run = 0; run < runs; ++run) {
        // Alternate the order so neither side always follows the other.
        double a, b;
        if (run % 2) {
            b = TimeToResponsiveWindow(kMinimal, kMinimalClass);
            a = TimeToResponsiveWindow(kProgram, kProgramClass);
        } else {
            a = TimeToResponsiveWindow(kProgram, kProgramClass);
            b = TimeToResponsiveWindow(kMinimal, kMinimalClass);
        }
        if (a < 0 || b < 0) {
            std::printf("failed: a program did not show a responsive window\n");
            return 1;
        }
        ours.push_back(a);
        minimal.push_back(b);
        std::printf("start-up run %d: StarBridge.exe %.0f ms, minimal window %.0f ms\n", run + 1, a,
                    b);
        std::fflush(stdout);
    }
    const double a = Median(ours), b = Median(minimal);
    std::printf(
        "start-up median of %d: StarBridge.exe %.0f ms, minimal window %.0f ms, "
        "ratio %.2f\n",
        runs, a, b, a / b);
    return 0;
}

int Restore(const std::string& image, const std::string& root) {
    if (GetFileAttributesA(image.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // D: is disk 1 partition 2 under Wine. Needs the engine the program writes out.
        const double start = Seconds();
        RunningProgram backup("cmd.exe /c C:\\windows\\qii32.exe -clone,mode=pdump,src=1:2,dst=\"" +
                              image + "\" -z1 -sure -fx");
        if (!backup.WaitForExit(3600 * 1000) ||
            GetFileAttributesA(image.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::printf("failed: the image could not be made\n");
            return 1;
        }
        std::printf("image made in %.1f s\n", Seconds() - start);
        std::fflush(stdout);
    }
    RunningProgram program(kProgram);
    HWND window = WaitForWindow(program.id(), kProgramClass, 60000);
    if (!window || !ChooseMode(window, kRestoreMode, kImagePathBox)) {
        std::printf("failed: no window\n");
        return 1;
    }
    Type(window, kImagePathBox, image);
    if (!ChoosePartition(window, root)) {
        std::printf("failed: no partition %s\n", root.c_str());
        return 1;
    }
    Click(window, kStartButton);
    HWND confirm = WaitForWindowWithCaption(program.id(), kProgramClass, "Allset Ghost", 20000);
    if (!confirm) {
        std::printf("failed: no confirmation\n");
        return 1;
    }
    const double start = Seconds();
    Click(confirm, kConfirmOk);
    std::printf("job started\n");
    std::fflush(stdout);
    HWND box = WaitForMessageBox(program.id(), 3600 * 1000);
    const double took = Seconds() - start;
    std::string text = box ? MessageBoxText(box) : "(no message)";
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::printf("job ended after %.1f s: %s\n", took, text.c_str());
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "startup") return StartUp(argc > 2 ? std::atoi(argv[2]) : 5);
    if (mode == "restore" && argc > 3) return Restore(argv[2], argv[3]);
    std::printf("usage: overhead_driver startup <runs> | restore <image> <root>\n");
    return 2;
}
