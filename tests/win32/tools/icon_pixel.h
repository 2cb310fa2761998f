// The colour of one pixel of an icon's picture, for tests that tell the tray
// icon's looks apart (the marks of tools/tray_icons.py).
#pragma once
#include <windows.h>

// The 16-pixel tray icons' mark covers this pixel.
constexpr int icon_mark_x = 12, icon_mark_y = 9;
constexpr COLORREF icon_mark_failing = RGB(0xD8, 0x28, 0x28);
constexpr COLORREF icon_mark_stale = RGB(0xF5, 0xA8, 0x00);

inline COLORREF icon_pixel(HICON icon, int x, int y) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return CLR_INVALID;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    const COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return colour;
}
