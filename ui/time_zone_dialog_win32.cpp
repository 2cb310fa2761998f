#include "ui/time_zone_dialog_win32.h"
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include "resources/resource_ids.h"
#include "sys/timezone.h"
#include "ui/readme.h"
#include "ui/text_table.h"
#include "engine/time_zone_check.h"
#include "ui/time_zone_text.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

namespace orvane {
namespace {

constexpr ui_text_pair labels[] = {
    {text_id::name, IDC_ZONE_NAME_LABEL},
    {text_id::current_phase, IDC_ZONE_PHASE_LABEL},
    {text_id::bias, IDC_ZONE_BIAS_LABEL},
    {text_id::standard, IDC_STANDARD_GROUP},
    {text_id::name, IDC_STANDARD_NAME_LABEL},
    {text_id::date, IDC_STANDARD_DATE_LABEL},
    {text_id::bias, IDC_STANDARD_BIAS_LABEL},
    {text_id::daylight, IDC_DAYLIGHT_GROUP},
    {text_id::name, IDC_DAYLIGHT_NAME_LABEL},
    {text_id::date, IDC_DAYLIGHT_DATE_LABEL},
    {text_id::bias, IDC_DAYLIGHT_BIAS_LABEL},
    {text_id::lock_this_time_zone, IDC_LOCK_ZONE},
    {text_id::help, IDC_ZONE_HELP_BUTTON},
    {text_id::ok, IDC_ZONE_OK_BUTTON},
    {end_of_text_table, 0},
};

// The three texts of one period: standard or daylight time.
struct period_controls {
    int name;
    int date;
    int bias;
};
constexpr period_controls standard_controls{IDC_STANDARD_NAME, IDC_STANDARD_DATE, IDC_STANDARD_BIAS};
constexpr period_controls daylight_controls{IDC_DAYLIGHT_NAME, IDC_DAYLIGHT_DATE, IDC_DAYLIGHT_BIAS};

// The zone's display name, in dialog units: from the values' column to the
// right edge of the group boxes and the OK button (128 + 40).
constexpr RECT display_name_place{60, 4, 168, 12};
// Between the text of a label and a name that begins right after it.
constexpr RECT label_gap{4, 0, 0, 0};

chronobel_state* state_of(HWND dialog) {
    return reinterpret_cast<chronobel_state*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

void set_wide_text(HWND dialog, int control, std::u16string_view text) {
    SetDlgItemTextW(dialog, control, std::wstring(text.begin(), text.end()).c_str());
}

// A period that never begins (no transition) has "None" for its date and its bias.
void show_period(const chronobel_state& state, HWND dialog, const period_controls& controls,
                 std::u16string_view name, system_time begins, std::int32_t bias) {
    const char* none = state.ui_text(text_id::none);
    set_wide_text(dialog, controls.name, name);
    set_control_text(dialog, controls.date, format_transition_date(begins, none));
    set_control_text(dialog, controls.bias, has_transition(begins) ? format_signed(bias) : none);
}

// The display name keeps the values' column when it fits there; a longer one
// begins right after the text of its label, so that only a name longer than
// the dialog is wide ends in "...".
void show_display_name(HWND dialog, std::u16string_view name) {
    const std::wstring text(name.begin(), name.end());
    RECT place = dialog_units_to_pixels(dialog, display_name_place);
    place.right = control_place(dialog, IDC_ZONE_OK_BUTTON).right;
    if (text_width(dialog, IDC_ZONE_DISPLAY_NAME, text) > place.right - place.left) {
        wchar_t caption[100] = {};
        GetDlgItemTextW(dialog, IDC_ZONE_NAME_LABEL, caption, static_cast<int>(std::size(caption)));
        // The label shrinks to its text, so that it never paints over the name.
        RECT label = control_place(dialog, IDC_ZONE_NAME_LABEL);
        label.right = std::min(label.right, label.left + text_width(dialog, IDC_ZONE_NAME_LABEL, caption));
        move_control(dialog, IDC_ZONE_NAME_LABEL, label);
        place.left = std::min(place.left, label.right + dialog_units_to_pixels(dialog, label_gap).left);
    }
    move_control(dialog, IDC_ZONE_DISPLAY_NAME, place);
    SetDlgItemTextW(dialog, IDC_ZONE_DISPLAY_NAME, text.c_str());
}

void fill(HWND dialog, const chronobel_state& state) {
    SetWindowTextA(dialog, state.ui_text(text_id::time_zone));
    apply_captions(state, dialog, labels);
    show_display_name(dialog, time_zone_display_name_text());
    const std::int32_t phase = time_zone_phase.load();
    if (phase == 0 || phase == 1)
        set_control_ui_text(state, dialog, IDC_ZONE_PHASE,
                            phase == 1 ? text_id::daylight_phase : text_id::standard_phase);

    const time_zone_information zone = state.settings.locked_time_zone;
    // A zone east of UTC shows a positive number; a damaged record's most
    // negative bias wraps instead of overflowing.
    set_control_text(dialog, IDC_ZONE_BIAS, format_signed(static_cast<std::int32_t>(-std::int64_t{zone.bias})));
    show_period(state, dialog, standard_controls, zone_name(zone.standard_name), zone.standard_date,
                zone.standard_bias);
    show_period(state, dialog, daylight_controls, zone_name(zone.daylight_name), zone.daylight_date,
                zone.daylight_bias);

    set_checked(dialog, IDC_LOCK_ZONE, state.settings.time_zone_locked != 0);
    add_tooltip(IDC_LOCK_ZONE, state.ui_text(text_id::keep_time_zone), state, dialog);
    if (state.policy.governs(policy_id::lock_time_zone) || state.policy.lock_settings) {
        enable_control(dialog, IDC_LOCK_ZONE, false);
        add_tooltip(IDC_LOCK_ZONE, set_by_administrator_text, state, dialog);
    }
}

// Only OK ends the dialog: Escape's command (IDCANCEL) is not handled.
INT_PTR on_command(HWND dialog, chronobel_state& state, int command) {
    switch (command) {
        case IDC_ZONE_OK_BUTTON:
            state.settings.time_zone_locked = is_checked(dialog, IDC_LOCK_ZONE) ? 1 : 0;
            EndDialog(dialog, 0);
            return TRUE;
        case IDC_ZONE_HELP_BUTTON:
            open_readme(state);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK time_zone_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lparam);
        fill(dialog, *reinterpret_cast<chronobel_state*>(lparam));
        return TRUE;
    }
    chronobel_state* state = state_of(dialog);
    if (!state) return FALSE;
    switch (message) {
        case WM_COMMAND:
            return on_command(dialog, *state, LOWORD(wparam));
        default:
            return FALSE;
    }
}

}  // namespace

int show_time_zone_dialog(HWND owner, chronobel_state& state) {
    check_time_zone(state);
    return static_cast<int>(DialogBoxParamW(static_cast<HINSTANCE>(state.h_instance), MAKEINTRESOURCEW(IDD_TIME_ZONE),
                                            owner, time_zone_dialog_proc, reinterpret_cast<LPARAM>(&state)));
}

}  // namespace orvane
