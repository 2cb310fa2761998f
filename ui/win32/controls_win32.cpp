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

}  // namespace orvane
