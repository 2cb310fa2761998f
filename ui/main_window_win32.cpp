#include "ui/main_window_win32.h"
#include <memory>
#include "engine/query.h"
#include "engine/worker.h"
#include "resources/resource_ids.h"
#include "sys/threads.h"
#include "ui/main_view_win32.h"
#include "ui/options_sheet_win32.h"
#include "ui/text_table.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"

namespace orvane {
namespace {

// Timer 5 fires once, half a second after the window exists.
constexpr UINT_PTR deferred_startup_timer = 5;

constexpr ui_text_pair captions[] = {
    {0, IDC_CHECK_BUTTON},    {1, IDC_CORRECT_BUTTON}, {2, IDC_OPTIONS_BUTTON},   {3, IDC_TIME_ZONE_BUTTON},
    {4, IDC_ABOUT_BUTTON},    {8, IDC_SERVER_LABEL},   {6, IDC_SERVER_TIME},      {end_of_text_table, 0},
};
constexpr ui_text_pair tooltips[] = {
    {123, IDC_CHECK_BUTTON},    {221, IDC_OPTIONS_BUTTON}, {159, IDC_TIME_ZONE_BUTTON},
    {125, IDC_ABOUT_BUTTON},    {end_of_text_table, 0},
};

worker_starter g_start_worker = nullptr;

posting_view* view_of(HWND window) {
    return reinterpret_cast<posting_view*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void show_computer_name(HWND window) {
    wchar_t name[600] = {};
    DWORD size = 600;
    if (GetComputerNameW(name, &size)) SetDlgItemTextW(window, IDC_COMPUTER_NAME, name);
}

// Once the window is up: its texts, then the worker, so that the worker's
// first texts have a window to go to.
void deferred_startup(HWND window, chronobel_state& state) {
    show_computer_name(window);
    apply_captions(state, window, captions);
    add_tooltips(state, window, tooltips);
    KillTimer(window, deferred_startup_timer);
    status_refresh_ms = 500;
    state.status_hold_ticks = 20;
    if (g_start_worker) g_start_worker(state);
}

// Check (or Abort while an operation runs) and Correct.
LRESULT on_operation_button(chronobel_state& state, WPARAM command) {
    query_engine& e = state.engine;
    if (command == control_check_button && e.phase != 0) {
        state.view().set_text(control_status_line, state.ui_text(81));
        abort_query(e);
        restore_idle_controls(state);
        state.status_hold_ticks = 20;
    } else if (e.phase == 0) {
        state.correct_requested = command == control_correct_button ? 1 : 0;
        start_operation(state);
    } else {
        return 0;
    }
    set_event(state.worker_event);
    return 1;
}

// A running worker stops the servers first and then asks the window to go
// (command_exit_after_stop); before the worker runs there is nothing to stop.
void end_program(HWND window, chronobel_state& state) {
    if (!state.worker_running.load()) {
        DestroyWindow(window);
        return;
    }
    state.stop_requested.store(1);
    set_event(state.worker_event);
}

}  // namespace

void set_worker_starter(worker_starter starter) { g_start_worker = starter; }

void attach_main_window(chronobel_state& state, HWND window) {
    state.main_window = window;
    auto view = std::make_unique<posting_view>(state);
    view->attach(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view.get()));
    state.adopt_view(std::move(view));
}

LRESULT CALLBACK main_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            SetTimer(window, deferred_startup_timer, 500, nullptr);
            return 0;
        case WM_TIMER:
            if (wparam == deferred_startup_timer) deferred_startup(window, *g_state);
            return 1;
        case view_changed_message:
            if (posting_view* view = view_of(window)) view->apply();
            return 0;
        case WM_COMMAND:
            if (wparam == static_cast<WPARAM>(command_exit_after_stop)) {
                DestroyWindow(window);
                return 1;
            }
            if (wparam == control_check_button || wparam == control_correct_button)
                return on_operation_button(*g_state, wparam);
            if (wparam == control_options_button) {
                if (options_sheet_open) return 0;  // one sheet at a time
                open_options_sheet(*g_state, window);
                set_event(g_state->worker_event);
                return 1;
            }
            return 0;
        case WM_CLOSE:
            end_program(window, *g_state);
            return 0;
        case WM_DESTROY:
            if (posting_view* view = view_of(window)) view->detach();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace orvane
