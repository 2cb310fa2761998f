#include <windows.h>
#include "core/status_hold.h"
#include "engine/query.h"
#include "engine/worker.h"
#include "platform/elevation_win32.h"
#include "platform/service_ask_win32.h"
#include "resources/resource_ids.h"
#include "sys/threads.h"
#include "sys/win32/owned_handle.h"
#include "ui/main_window_win32.h"
#include "ui/options_sheet_win32.h"
#include "ui/about_dialog_win32.h"
#include "ui/readme.h"
#include "ui/time_zone_dialog_win32.h"

namespace orvane {
namespace {

enum menu_command : int {
    command_help = 6,
    command_reset_auto_timers = 1009,
    command_transparent = 2017,
    command_on_top = 2018,
};
// "Transparent" leaves the window this opaque (of 255): 80 %.
constexpr BYTE transparent_alpha = 204;

// Check (or Abort while an operation runs). An operation starts only once the
// deferred start-up has started the worker: before, nothing would run its
// steps or end it, and the window would stay without its buttons.
void check_or_abort(chronobel_state& state) {
    query_engine& e = state.engine;
    if (e.phase != 0) {
        state.view().set_text(control_status_line, state.ui_text(text_id::aborting));
        abort_operation(state);
        restore_idle_controls(state);
        show_ready_next(state);
    } else if (state.worker_running) {
        state.correct_requested = 0;
        start_operation(state);
    }
}

// Correct and "Sync Now": without the right to set the clock, the running
// service corrects it for the program; without the service, the program
// starts again with administrative rights.
void correct(HWND window, chronobel_state& state) {
    if (time_privilege_held) {
        if (!state.worker_running) return;
        state.correct_requested = 1;
        start_operation(state);
    } else if (service_takes_requests()) {
        ask_service_in_background(state, asked_operation::correct);
    } else {
        relaunch_elevated(state, window);
    }
}

void reset_auto_timers(HWND window, chronobel_state& state) {
    if (state.auto_due != 0) KillTimer(window, auto_timer_id);
    state.autosync_start_tick = 0;
    state.autocheck_start_tick = 0;
    state.auto_due = 0;
    arm_auto_timer(window, state);
}

void toggle(std::uint8_t& flag) { flag = flag ? 0 : 1; }

}  // namespace

void apply_window_look(HWND window, const chronobel_state& state) {
    const LONG_PTR ex_style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (state.settings.transparent) {
        SetWindowLongPtrW(window, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
        SetLayeredWindowAttributes(window, 0, transparent_alpha, LWA_ALPHA);
    } else {
        SetWindowLongPtrW(window, GWL_EXSTYLE, ex_style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    }
    SetWindowPos(window, state.settings.on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void end_program(HWND window, chronobel_state& state) {
    // Before the worker runs there is nothing to stop.
    if (!state.worker_running.load()) {
        DestroyWindow(window);
        return;
    }
    state.stop_requested.store(1);
    set_event(state.worker_event);
}

LRESULT on_command(HWND window, chronobel_state& state, WPARAM command) {
    switch (command) {
        case IDC_CHECK_BUTTON:
            check_or_abort(state);
            break;
        case IDC_CORRECT_BUTTON:
            if (state.engine.phase != 0) return 0;
            correct(window, state);
            break;
        case IDC_TIME_ZONE_BUTTON:
            show_time_zone_dialog(window, state);
            break;
        case IDC_ABOUT_BUTTON:
            show_about_dialog(window, state);
            break;
        case IDC_OPTIONS_BUTTON:
            if (options_sheet_open) return 0;  // one sheet at a time
            open_options_sheet(state, window);
            break;
        case command_help:
            open_readme(state);
            break;
        case command_reset_auto_timers:
            reset_auto_timers(window, state);
            break;
        case command_exit:
            end_program(window, state);
            break;
        case command_transparent:
            toggle(state.settings.transparent);
            apply_window_look(window, state);
            break;
        case command_on_top:
            toggle(state.settings.on_top);
            apply_window_look(window, state);
            break;
        case command_arm_auto_retry:
            arm_auto_timer(window, state);
            break;
        case command_health_changed:
            show_health(window, state);
            break;
        case command_exit_after_stop:
            DestroyWindow(window);
            return 1;
        default:
            // The About dialog is not built yet.
            return 0;
    }
    set_event(state.worker_event);
    return 1;
}

void show_popup_menu(HWND window, const chronobel_state& state) {
    owned_menu menu(CreatePopupMenu());
    if (!menu) return;
    HMENU m = menu.get();
    AppendMenuA(m, MF_STRING, IDC_ABOUT_BUTTON, "About");
    AppendMenuA(m, MF_STRING, command_help, state.ui_text(text_id::help));
    if (state.auto_due != 0)
        AppendMenuA(m, MF_STRING, command_reset_auto_timers, state.ui_text(text_id::reset_auto_timers));
    AppendMenuA(m, MF_STRING, IDC_CORRECT_BUTTON, state.ui_text(text_id::sync_now));
    AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(m, MF_STRING | (state.settings.transparent ? MF_CHECKED : 0), command_transparent, "Transparent");
    AppendMenuA(m, MF_STRING | (state.settings.on_top ? MF_CHECKED : 0), command_on_top, "On Top");
    AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(m, MF_STRING, command_exit, "Exit");
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(window);
    // The chosen item arrives as WM_COMMAND.
    TrackPopupMenuEx(m, TPM_RIGHTALIGN, at.x, at.y, window, nullptr);
}

}  // namespace orvane
