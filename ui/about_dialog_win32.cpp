#include "ui/about_dialog_win32.h"
#include <string>
#include "resources/resource_ids.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/shell_win32.h"
#include "ui/win32/tooltips_win32.h"

namespace orvane {
namespace {

constexpr char open_dirs_text[] = "Open Dirs";

// Where the text box goes, in dialog units: from the template's top down to
// the usual 4 units above the buttons (at 208), and across the dialog from
// the left margin to the Close button's right edge (146 + 50), so that the
// paths have the dialog's whole width at any DPI.
constexpr RECT locations_box{5, 118, 196, 204};

chronobel_state* state_of(HWND dialog) {
    return reinterpret_cast<chronobel_state*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

std::wstring locations_text(const chronobel_state& state) {
    return L"Location of program:\r\n" + state.program_path.full + L" \r\n\r\nWhere program stores user data:\r\n" +
           state.data_path.full;
}

void fill(HWND dialog, const chronobel_state& state) {
    RECT box = dialog_units_to_pixels(dialog, locations_box);
    // The button's edge is rounded from its left and its width apart: the
    // box takes the edge as drawn, to the pixel.
    box.right = control_place(dialog, IDC_ABOUT_CLOSE_BUTTON).right;
    move_control(dialog, IDC_LOCATIONS, box);
    set_control_text(dialog, IDC_OPEN_DIRS_BUTTON, open_dirs_text);
    add_tooltip(IDC_OPEN_DIRS_BUTTON, open_dirs_text, state, dialog);
    SetDlgItemTextW(dialog, IDC_LOCATIONS, locations_text(state).c_str());
}

// Only Close ends the dialog: Escape's command (IDCANCEL) is not handled.
INT_PTR on_command(HWND dialog, const chronobel_state& state, int command) {
    switch (command) {
        case IDC_ABOUT_CLOSE_BUTTON:
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_OPEN_DIRS_BUTTON:
            // A data folder that is not there yet is passed over.
            open_in_shell(state.program_dir(), shell_item::folder);
            open_in_shell(state.data_dir(), shell_item::folder);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lparam);
        fill(dialog, *reinterpret_cast<chronobel_state*>(lparam));
        // Close has the focus, so that the text box does not open with its
        // text selected.
        SetFocus(GetDlgItem(dialog, IDC_ABOUT_CLOSE_BUTTON));
        return FALSE;
    }
    const chronobel_state* state = state_of(dialog);
    if (!state) return FALSE;
    switch (message) {
        case WM_COMMAND:
            return on_command(dialog, *state, LOWORD(wparam));
        default:
            return FALSE;
    }
}

}  // namespace

int show_about_dialog(HWND owner, chronobel_state& state) {
    return static_cast<int>(DialogBoxParamW(static_cast<HINSTANCE>(state.h_instance), MAKEINTRESOURCEW(IDD_ABOUT),
                                            owner, about_dialog_proc, reinterpret_cast<LPARAM>(&state)));
}

}  // namespace orvane
