// The Win32 backend's own rules, on real windows under Wine: close requests go to the
// program, disabled picture buttons take no input, a window ID names one window.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/win32/win32_ui.h"

namespace {

struct Recorder : UiEvents {
    int closes = 0;
    int destroys = 0;
    std::vector<int> controls;
    void OnClose(int) override { ++closes; }
    void OnDestroy(int) override { ++destroys; }
    void OnControl(int, int control) override { controls.push_back(control); }
};

enum { kButton = 11, kList = 12, kBox = 13 };

WindowDesc TestWindow(int id, const std::string& caption, bool frameless) {
    WindowDesc desc;
    desc.id = id;
    desc.caption = caption;
    desc.width = 320;
    desc.height = 240;
    desc.frameless = frameless;
    ControlDesc button = WithPicture(
        MakeControl(kButton, ControlKind::PictureButton, "Go", {20, 40, 80, 30}), "start");
    button.enabled = false;
    desc.controls.push_back(button);
    ControlDesc list = MakeControl(kList, ControlKind::ListView, "", {20, 80, 200, 80});
    list.items = {"A", "B"};
    desc.controls.push_back(list);
    desc.controls.push_back(MakeControl(kBox, ControlKind::Edit, "", {20, 170, 100, 24}));
    return desc;
}

HWND WindowNamed(const std::string& caption) {
    return FindWindowA(nullptr, caption.c_str());
}

struct UiTest : ::testing::Test {
    Win32Ui ui{GetModuleHandleA(nullptr)};
    void Pump() {
        for (int i = 0; i < 5; ++i) {
            ui.PumpPendingMessages();
            Sleep(10);
        }
    }
};

TEST_F(UiTest, EveryCloseRequestGoesToTheProgramAndNothingElse) {
    for (bool frameless : {false, true}) {
        const std::string caption = frameless ? "close-frameless" : "close-framed";
        Recorder events;
        ASSERT_TRUE(ui.CreateWindowFrom(TestWindow(1, caption, frameless), &events));
        ui.ShowWindow(1, true);
        HWND hwnd = WindowNamed(caption);
        ASSERT_TRUE(hwnd);
        // Alt+F4 and the system menu arrive as SC_CLOSE; others send WM_CLOSE.
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        Pump();
        EXPECT_EQ(events.closes, 4) << caption;
        EXPECT_TRUE(IsWindow(hwnd)) << caption;
        EXPECT_EQ(events.destroys, 0) << caption;
        ui.DestroyWindow(1);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(events.destroys, 1);
    }
}

TEST_F(UiTest, ADisabledPictureButtonTakesNoInput) {
    Recorder events;
    ASSERT_TRUE(ui.CreateWindowFrom(TestWindow(2, "buttons", true), &events));
    ui.ShowWindow(2, true);
    HWND button = GetDlgItem(WindowNamed("buttons"), kButton);
    ASSERT_TRUE(button);
    const LPARAM inside = MAKELPARAM(10, 10);
    SendMessageA(button, WM_MOUSEMOVE, 0, inside);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    EXPECT_EQ(SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED, 0) << "pressed look";
    SendMessageA(button, WM_LBUTTONUP, 0, inside);
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PostMessageA(button, WM_LBUTTONUP, 0, inside);
    SendMessageA(button, BM_CLICK, 0, 0);
    SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(button, WM_KEYUP, VK_SPACE, 0);
    Pump();
    EXPECT_TRUE(events.controls.empty());
    // Enabled, the same click is a click.
    ui.SetEnabled(2, kButton, true);
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(events.controls, std::vector<int>{kButton});
    ui.DestroyWindow(2);
}

TEST_F(UiTest, TheChosenRowStaysHighlightedWithoutTheFocus) {
    Recorder events;
    ASSERT_TRUE(ui.CreateWindowFrom(TestWindow(3, "rows", false), &events));
    HWND list = GetDlgItem(WindowNamed("rows"), kList);
    ASSERT_TRUE(list);
    EXPECT_TRUE(GetWindowLongA(list, GWL_STYLE) & LVS_SHOWSELALWAYS);
    ui.DestroyWindow(3);
}

TEST_F(UiTest, AWindowIdNamesOneWindow) {
    Recorder first, second;
    ASSERT_TRUE(ui.CreateWindowFrom(TestWindow(4, "first", false), &first));
    HWND old = WindowNamed("first");
    ASSERT_TRUE(old);
    // Opening another window under the same ID closes the first one for good.
    ASSERT_TRUE(ui.CreateWindowFrom(TestWindow(4, "second", false), &second));
    HWND now = WindowNamed("second");
    EXPECT_FALSE(IsWindow(old));
    EXPECT_EQ(first.destroys, 1);
    ui.SetText(4, kBox, "to the second");
    char text[64] = {};
    GetWindowTextA(GetDlgItem(now, kBox), text, sizeof text);
    EXPECT_STREQ(text, "to the second");
    // Closed, the ID reaches nothing: calls on it do nothing and report nothing.
    ui.DestroyWindow(4);
    EXPECT_FALSE(IsWindow(now));
    EXPECT_EQ(second.destroys, 1);
    ui.SetText(4, kBox, "nobody");
    EXPECT_EQ(ui.GetText(4, kBox), "");
    EXPECT_FALSE(ui.IsEnabled(4, kButton));
    // Open again, it works as a new window.
    Recorder third;
    ASSERT_TRUE(ui.CreateWindowFrom(TestWindow(4, "third", false), &third));
    ui.SetText(4, kBox, "again");
    EXPECT_EQ(ui.GetText(4, kBox), "again");
    ui.DestroyWindow(4);
    EXPECT_EQ(third.destroys, 1);
}

}  // namespace
