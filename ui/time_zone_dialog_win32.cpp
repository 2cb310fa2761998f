#include "ui/time_zone_dialog_win32.h"
#include <cstdint>
#include <string>
#include "resources/resource_ids.h"
#include "sys/timezone.h"
#include "ui/readme.h"
#include "ui/text_table.h"
#include "ui/time_zone_check.h"
#include "ui/time_zone_text.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

namespace orvane {
namespace {

constexpr int ui_title = 3;
constexpr int ui_standard_phase = 192;
constexpr int ui_daylight_phase = 193;
constexpr int ui_none = 103;
constexpr int ui_lock_tooltip = 227;

constexpr ui_text_pair labels[] = {
    {26, IDC_ZONE_NAME_LABEL},     {27, IDC_ZONE_PHASE_LABEL},    {29, IDC_ZONE_BIAS_LABEL},
    {24, IDC_STANDARD_GROUP},      {26, IDC_STANDARD_NAME_LABEL}, {28, IDC_STANDARD_DATE_LABEL},
    {29, IDC_STANDARD_BIAS_LABEL}, {25, IDC_DAYLIGHT_GROUP},      {26, IDC_DAYLIGHT_NAME_LABEL},
    {28, IDC_DAYLIGHT_DATE_LABEL}, {29, IDC_DAYLIGHT_BIAS_LABEL}, {22, IDC_LOCK_ZONE},
    {23, IDC_ZONE_HELP_BUTTON},    {17, IDC_ZONE_OK_BUTTON},      {end_of_text_table, 0},
};

// The three texts of one period: standard or daylight time.
struct period_controls {
    int name;
    int date;
    int bias;
};
constexpr period_controls standard_controls{IDC_STANDARD_NAME, IDC_STANDARD_DATE, IDC_STANDARD_BIAS};
constexpr period_controls daylight_controls{IDC_DAYLIGHT_NAME, IDC_DAYLIGHT_DATE, IDC_DAYLIGHT_BIAS};

chronobel_state* state_of(HWND dialog) {
    return reinterpret_cast<chronobel_state*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

void set_wide_text(HWND dialog, int control, std::u16string_view text) {
    SetDlgItemTextW(dialog, control, std::wstring(text.begin(), text.end()).c_str());
}

// A period that never begins (no transition) has "None" for its date and its bias.
void show_period(const chronobel_state& state, HWND dialog, const period_controls& controls,
                 std::u16string_view name, system_time begins, std::int32_t bias) {
    const char* none = state.ui_text(ui_none);
    set_wide_text(dialog, controls.name, name);
    set_control_text(dialog, controls.date, format_transition_date(begins, none));
    set_control_text(dialog, controls.bias, has_transition(begins) ? format_signed(bias) : none);
}

void fill(HWND dialog, const chronobel_state& state) {
    SetWindowTextA(dialog, state.ui_text(ui_title));
    apply_captions(state, dialog, labels);
    set_wide_text(dialog, IDC_ZONE_DISPLAY_NAME, time_zone_display_name_text());
    const std::int32_t phase = time_zone_phase.load();
    if (phase == 0 || phase == 1)
        set_control_ui_text(state, dialog, IDC_ZONE_PHASE, phase == 1 ? ui_daylight_phase : ui_standard_phase);

    const time_zone_information zone = state.settings.locked_time_zone;
    // A zone east of UTC shows a positive number; a damaged record's most
    // negative bias wraps instead of overflowing.
    set_control_text(dialog, IDC_ZONE_BIAS, format_signed(static_cast<std::int32_t>(-std::int64_t{zone.bias})));
    show_period(state, dialog, standard_controls, zone_name(zone.standard_name), zone.standard_date,
                zone.standard_bias);
    show_period(state, dialog, daylight_controls, zone_name(zone.daylight_name), zone.daylight_date,
                zone.daylight_bias);

    set_checked(dialog, IDC_LOCK_ZONE, state.settings.time_zone_locked != 0);
    add_tooltip(IDC_LOCK_ZONE, state.ui_text(ui_lock_tooltip), state, dialog);
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
