#include "ui/win32/controls_win32.h"
#include <string>

namespace orvane {

void set_control_text(HWND dialog, int control, std::string_view text) {
    SetDlgItemTextA(dialog, control, std::string(text).c_str());
}

void set_control_ui_text(const chronobel_state& state, HWND dialog, int control, text_id ui_string) {
    SetDlgItemTextA(dialog, control, state.ui_text(ui_string));
}

void apply_captions(const chronobel_state& state, HWND dialog, const ui_text_pair* table) {
    for (const ui_text_pair* pair = table; pair->ui_string != end_of_text_table; ++pair)
        set_control_ui_text(state, dialog, pair->control, pair->ui_string);
}

void set_checked(HWND dialog, int control, bool checked) {
    CheckDlgButton(dialog, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool is_checked(HWND dialog, int control) { return IsDlgButtonChecked(dialog, control) == BST_CHECKED; }

void enable_control(HWND dialog, int control, bool enabled) {
    EnableWindow(GetDlgItem(dialog, control), enabled ? TRUE : FALSE);
}

RECT dialog_units_to_pixels(HWND dialog, RECT units) {
    MapDialogRect(dialog, &units);
    return units;
}

RECT control_place(HWND dialog, int control) {
    RECT place{};
    GetWindowRect(GetDlgItem(dialog, control), &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

void move_control(HWND dialog, int control, const RECT& place) {
    MoveWindow(GetDlgItem(dialog, control), place.left, place.top, place.right - place.left, place.bottom - place.top,
               TRUE);
}

int text_width(HWND dialog, int control, const std::wstring& text) {
    HWND window = GetDlgItem(dialog, control);
    HDC dc = GetDC(window);
    if (!dc) return 0;
    const HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old_font);
    ReleaseDC(window, dc);
    return size.cx;
}

}  // namespace orvane
