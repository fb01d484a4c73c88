// A fake machine and screen with the main window on them, for driving the program
// as clicks would.
#pragma once

#include <string>

#include "app/main_window.h"
#include "app/modes.h"
#include "base/completion.h"
#include "base/drives.h"
#include "base/exit.h"
#include "base/ids/countdown.h"
#include "base/ids/ghost_confirmation.h"
#include "base/notify.h"
#include "base/program.h"
#include "base/window_lock.h"
#include "disk/selection.h"
#include "platform/fake/fake_sys.h"
#include "platform/fake/fake_ui.h"

struct Harness {
    FakeSys sys;
    FakeUi ui;
    Program program{sys, ui};
    MainWindow window{program};
    // Set when the program ended the process; exitCode is then valid.
    bool exited = false;
    unsigned exitCode = 0;

    // Creates the main window, which runs start-up. False when start-up ended the process.
    bool Start() {
        return Run([&] { ui.CreateWindowFrom(MainWindowDesc(), &window); });
    }
    // Runs an action that may end the process; false when it did.
    template <typename F>
    bool Run(F action) {
        try {
            action();
            return true;
        } catch (const FakeProcessExit& end) {
            exited = true;
            exitCode = end.exitCode;
            return false;
        }
    }
    // Texts of all message boxes, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.messageBoxes) texts.push_back(box.text);
        return texts;
    }
    std::vector<std::string> BalloonTexts() const {
        std::vector<std::string> texts;
        for (const auto& b : ui.balloons) texts.push_back(b.text);
        return texts;
    }
    // Puts the image into the image path box as its chosen entry and clicks a row of the
    // partition list (none for row -1).
    void ChooseImageAndRow(const std::string& image, int row) {
        ui.AddItem(kMainWindow, kImagePathBox, image);
        ui.SetSelection(kMainWindow, kImagePathBox, ui.ItemCount(kMainWindow, kImagePathBox) - 1);
        if (row >= 0) ui.ClickRow(kMainWindow, kPartitionList, row);
    }
    // Adds a fixed drive with the given device and partition numbers and sizes.
    void AddFixedDrive(char letter, int device, int partition,
                       std::uint64_t totalBytes = 10ull << 30,
                       std::uint64_t freeBytes = 5ull << 30) {
        FakeDrive drive;
        drive.deviceNumber = device;
        drive.partitionNumber = partition;
        drive.totalBytes = totalBytes;
        drive.freeBytes = freeBytes;
        sys.AddDrive(letter, drive);
    }
};
