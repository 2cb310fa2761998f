#include "ui/main_window_win32.h"
#include <commctrl.h>
#include <string>
#include "engine/query.h"
#include "engine/worker.h"
#include "sys/threads.h"

namespace orvane {
namespace {

// The layout of TOOLINFOA that the tooltip window is given: the full one,
// with lpReserved.
constexpr UINT tool_info_size = 48;
static_assert(sizeof(TOOLINFOA) == tool_info_size);

// Timer 5 fires once, half a second after the window exists.
constexpr UINT_PTR deferred_startup_timer = 5;
// After a close, the window goes on its own if the worker has not asked for
// it by then (the worker waits up to 20 s for the servers to stop).
constexpr UINT_PTR close_fallback_timer = 6;
constexpr UINT close_fallback_ms = 25'000;

worker_starter g_start_worker = nullptr;

// Starts the worker once the window is up, so that its first texts have a
// window to go to.
void deferred_startup(HWND window, chronobel_state& state) {
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

}  // namespace

void set_worker_starter(worker_starter starter) { g_start_worker = starter; }

LRESULT CALLBACK main_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            SetTimer(window, deferred_startup_timer, 500, nullptr);
            return 0;
        case WM_TIMER:
            if (wparam == deferred_startup_timer) deferred_startup(window, *g_state);
            if (wparam == close_fallback_timer) DestroyWindow(window);
            return 1;
        case WM_COMMAND:
            if (wparam == static_cast<WPARAM>(command_exit_after_stop)) {
                DestroyWindow(window);
                return 1;
            }
            if (wparam == control_check_button || wparam == control_correct_button)
                return on_operation_button(*g_state, wparam);
            return 0;
        case WM_CLOSE: {
            chronobel_state& state = *g_state;
            // A running worker stops the servers first and then asks the
            // window to go (command_exit_after_stop).
            if (state.worker_running.load()) {
                state.stop_requested.store(1);
                set_event(state.worker_event);
                SetTimer(window, close_fallback_timer, close_fallback_ms, nullptr);
            } else {
                DestroyWindow(window);
            }
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

LRESULT CALLBACK scan_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_CREATE:
        case WM_SIZE:
        case WM_NOTIFY:
        case WM_TIMER:
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

void add_tooltip(int control_id, const char* text, const chronobel_state& state, HWND dialog) {
    HWND control = GetDlgItem(dialog, control_id);
    TOOLINFOA tool{};
    tool.cbSize = tool_info_size;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = control;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.hinst = static_cast<HINSTANCE>(state.h_instance);
    // The tooltip window keeps its own copy of the text.
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(static_cast<HWND>(state.tooltip_window), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void add_tooltips(const chronobel_state& state, HWND dialog, const ui_text_pair* table) {
    for (const ui_text_pair* pair = table; pair->ui_string != end_of_text_table; ++pair)
        add_tooltip(pair->control, state.ui_text(pair->ui_string), state, dialog);
}

void win32_main_view::set_text(int control, std::string_view text) {
    SetDlgItemTextA(window_, control, std::string(text).c_str());
}

void win32_main_view::enable(int control, bool enabled) { EnableWindow(GetDlgItem(window_, control), enabled); }

void win32_main_view::set_tooltip(int control, std::string_view text) {
    add_tooltip(control, std::string(text).c_str(), state_, window_);
}

void win32_main_view::set_title(std::string_view text) { SetWindowTextA(window_, std::string(text).c_str()); }

void win32_main_view::post_command(int command) {
    PostMessageW(window_, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

}  // namespace orvane
