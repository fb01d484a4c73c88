// Skin painting of Win32Ui's windows: the background with its picture boxes, the title
// strip of frameless windows, and the owner-drawn picture buttons with their looks.
#include <windows.h>

#include "platform/win32/no_win_macros.h"

#include <cstdint>
#include <vector>

#include "platform/win32/win32_window.h"
#include "resources/skin.h"

using namespace win32ui;

namespace {

// Draws a skin picture stretched into dest, composited over a solid colour (the
// pictures carry premultiplied alpha). False when the picture does not exist.
bool DrawSkinPicture(HDC dc, const std::string& name, const RECT& dest, COLORREF under) {
    SkinPicture picture;
    if (!FindSkinPicture(name, &picture)) return false;
    std::vector<std::uint8_t> pixels(size_t(picture.width) * picture.height * 4);
    const unsigned underColour[3] = {GetBValue(under), GetGValue(under), GetRValue(under)};
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned alpha = picture.bgra[i + 3];
        for (int c = 0; c < 3; ++c)
            pixels[i + c] =
                std::uint8_t(picture.bgra[i + c] + underColour[c] * (255 - alpha) / 255);
        pixels[i + 3] = 255;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = LONG(picture.width);
    info.bmiHeader.biHeight = -LONG(picture.height);  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, 0, 0,
                  int(picture.width), int(picture.height), pixels.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
    return true;
}

// Messages by which a person acts on a button: mouse, keyboard and a click request.
bool IsInput(UINT message) {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_MOUSEHOVER ||
           message == BM_CLICK;
}

}  // namespace

void Win32Ui::MakePictureButton(HWND button) {
    SetWindowLongPtrW(button, GWLP_USERDATA, LONG_PTR(this));
    WNDPROC previous =
        WNDPROC(SetWindowLongPtrW(button, GWLP_WNDPROC, LONG_PTR(&Win32Ui::PictureButtonProc)));
    if (!buttonClassProc_) buttonClassProc_ = previous;
}

LRESULT CALLBACK Win32Ui::PictureButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* ui = reinterpret_cast<Win32Ui*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!IsWindowEnabled(hwnd) && IsInput(message)) {
        // Windows keeps input from a disabled window, but a posted or sent message
        // still reaches it: it gets no hover look, no pressed look and no click.
        if (ui->hoveredButton_ == hwnd) ui->hoveredButton_ = nullptr;
        return 0;
    }
    switch (message) {
        case WM_MOUSEMOVE:
            if (ui->hoveredButton_ != hwnd) {
                if (ui->hoveredButton_) InvalidateRect(ui->hoveredButton_, nullptr, FALSE);
                ui->hoveredButton_ = hwnd;
                TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            break;
        case WM_MOUSELEAVE:
            if (ui->hoveredButton_ == hwnd) {
                ui->hoveredButton_ = nullptr;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            break;
        case WM_ENABLE:
            if (!wParam && ui->hoveredButton_ == hwnd) ui->hoveredButton_ = nullptr;
            break;
        case WM_NCDESTROY:
            if (ui->hoveredButton_ == hwnd) ui->hoveredButton_ = nullptr;
            break;
        default:
            break;
    }
    return CallWindowProcW(ui->buttonClassProc_, hwnd, message, wParam, lParam);
}

void Win32Ui::PaintBackground(WindowData& w, HDC dc) {
    RECT r;
    GetClientRect(w.hwnd, &r);
    FillRect(dc, &r, backgroundBrush_);
    if (w.desc.frameless) {
        RECT strip = r;
        strip.bottom = kTitleStripHeight;
        FillRect(dc, &strip, titleBrush_);
    }
    for (const ControlDesc& c : w.desc.controls) {
        if (c.kind != ControlKind::PictureBox || !w.pictureShown[c.id]) continue;
        const Rect& box = w.pictureRects[c.id];
        RECT dest = {box.left, box.top, box.left + box.width, box.top + box.height};
        DrawSkinPicture(dc, w.pictures[c.id], dest, kPanelColour);
    }
}

void Win32Ui::PaintTitle(WindowData& w) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w.hwnd, &ps);
    if (w.desc.frameless) {
        char caption[256] = {};
        GetWindowTextA(w.hwnd, caption, sizeof caption);
        HGDIOBJ old = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
        RECT text = {10, 0, w.desc.width - 100, kTitleStripHeight};
        DrawTextA(dc, caption, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, old);
    }
    EndPaint(w.hwnd, &ps);
}

void Win32Ui::DrawPictureButton(WindowData& w, const DRAWITEMSTRUCT& item) {
    const int control = int(item.CtlID);
    const std::string set = w.pictures[control];
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const char* look = disabled                            ? "_disabled"
                       : (item.itemState & ODS_SELECTED)   ? "_pressed"
                       : (item.hwndItem == hoveredButton_) ? "_hover"
                                                           : "_normal";
    RECT r = item.rcItem;
    RECT onParent = r;
    MapWindowPoints(item.hwndItem, w.hwnd, reinterpret_cast<POINT*>(&onParent), 2);
    const COLORREF under = onParent.top < kTitleStripHeight ? kTitleColour : kPanelColour;
    HBRUSH fill = CreateSolidBrush(under);
    FillRect(item.hDC, &r, fill);
    DeleteObject(fill);
    DrawSkinPicture(item.hDC, set + look, r, under);
    char caption[128] = {};
    GetWindowTextA(item.hwndItem, caption, sizeof caption);
    const bool light = set.compare(0, 6, "browse") == 0;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, disabled ? RGB(0x80, 0x88, 0x94)
                           : light  ? RGB(0x22, 0x2A, 0x35)
                                    : RGB(0xFF, 0xFF, 0xFF));
    HGDIOBJ old = SelectObject(item.hDC, font_);
    DrawTextA(item.hDC, caption, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(item.hDC, old);
}

HBRUSH Win32Ui::StaticColours(WindowData& w, HDC dc, HWND control) {
    SetBkMode(dc, TRANSPARENT);
    const ControlKind* kind = KindOf(&w, GetDlgCtrlID(control));
    if (kind && *kind == ControlKind::LinkLabel)
        SetTextColor(dc, RGB(0x1F, 0x5F, 0xBF));
    else
        SetTextColor(dc, RGB(0x22, 0x2A, 0x35));
    return panelBrush_;
}
