#include "ui/main_window_win32.h"
#include <commctrl.h>
#include <memory>
#include "core/status_hold.h"
#include "engine/query.h"
#include "engine/resync.h"
#include "engine/worker.h"
#include "platform/service_ask_win32.h"
#include "platform/startup_win32.h"
#include "resources/resource_ids.h"
#include "sys/clock.h"
#include "sys/threads.h"
#include "ui/main_view_win32.h"
#include "ui/text_table.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/tooltips_win32.h"
#include "ui/win32/tray_icon_win32.h"

namespace orvane {
namespace {

// Timer 5 fires once, half a second after the window exists.
constexpr UINT_PTR deferred_startup_timer = 5;
// How long the end of the session waits for the orderly stop.
constexpr DWORD end_session_wait_ms = 5'000;
constexpr LPARAM show_shield = 1;

constexpr ui_text_pair captions[] = {
    {text_id::check, IDC_CHECK_BUTTON},          {text_id::correct, IDC_CORRECT_BUTTON},
    {text_id::options, IDC_OPTIONS_BUTTON},      {text_id::time_zone, IDC_TIME_ZONE_BUTTON},
    {text_id::about, IDC_ABOUT_BUTTON},          {text_id::server, IDC_SERVER_LABEL},
    {text_id::not_checked_yet, IDC_SERVER_TIME}, {end_of_text_table, 0},
};
constexpr ui_text_pair tooltips[] = {
    {text_id::check_dont_change, IDC_CHECK_BUTTON},  {text_id::change_the_way_it_works, IDC_OPTIONS_BUTTON},
    {text_id::time_zone_data, IDC_TIME_ZONE_BUTTON}, {text_id::about_button_tip, IDC_ABOUT_BUTTON},
    {text_id::check_and_change, IDC_CORRECT_BUTTON}, {end_of_text_table, 0},
};

worker_starter g_start_worker = nullptr;

posting_view* view_of(HWND window) {
    return reinterpret_cast<posting_view*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HICON small_icon(const chronobel_state& state) { return static_cast<HICON>(state.small_icon); }

void show_computer_name(HWND window) {
    wchar_t name[600] = {};
    DWORD size = 600;
    if (GetComputerNameW(name, &size)) SetDlgItemTextW(window, IDC_COMPUTER_NAME, name);
}

// Once, half a second after the window exists: its texts, then the worker on
// a whole second (so the clock display ticks on second boundaries), then the
// automatic timer.
void deferred_startup(HWND window, chronobel_state& state) {
    KillTimer(window, deferred_startup_timer);
    show_computer_name(window);
    apply_captions(state, window, captions);
    add_tooltips(state, window, tooltips);
    sleep_ms(1000 - local_time_now().milliseconds % 1000);
    status_refresh_ms = window_mode == window_shown ? 500 : 30'000;
    if (g_start_worker) g_start_worker(state);
    // Correct needs administrative rights only when the service cannot do it.
    if (!time_privilege_held && !service_takes_requests())
        SendMessageW(GetDlgItem(window, IDC_CORRECT_BUTTON), BCM_SETSHIELD, 0, show_shield);
    if (state.settings.autosync_enabled || state.settings.autocheck_enabled) arm_auto_timer(window, state);
    apply_window_look(window, state);
    taskbar_created_msg = RegisterWindowMessageW(L"TaskbarCreated");
    show_ready_next(state);
}

void on_size(HWND window, chronobel_state& state, WPARAM how) {
    if (how == SIZE_MINIMIZED) {
        if (state.settings.tray) {
            minimise_to_tray(window, state);
        } else {
            window_mode = window_minimised;
            status_refresh_ms = 30'000;
        }
    } else {
        window_mode = window_shown;
        status_refresh_ms = 500;
        // The countdown is drawn anew at once; nothing armed stays 0.
        std::int32_t due = state.auto_due;
        while ((due == 1 || due == 2) && !state.auto_due.compare_exchange_weak(due, due + 10)) {
        }
    }
    set_event(state.worker_event);
}

void on_close(HWND window, chronobel_state& state) {
    if (state.settings.tray && state.settings.resident)
        minimise_to_tray(window, state);
    else
        end_program(window, state);
}

// The session ends and the process with it once this returns: the orderly
// stop runs now, for a limited time.
void on_end_session(HWND window, chronobel_state& state) {
    end_program(window, state);
    const DWORD started = GetTickCount();
    bool quit = false;
    while (IsWindow(window) && !quit && GetTickCount() - started < end_session_wait_ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                quit = true;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (IsWindow(window)) DestroyWindow(window);
}

// The window's end, reached once whichever way the program ends.
void on_destroy(HWND window, chronobel_state& state) {
    if (posting_view* view = view_of(window)) view->detach();
    save_settings_and_startup(state);
    // Each user of the socket library (query, server, scan) releases its own use.
    close_server_sockets(state);
    if (window_mode == window_in_tray) notify_icon(window, small_icon(state), nullptr, NIM_DELETE);
    PostQuitMessage(0);
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

bool handle_main_window_key(HWND window, const MSG& message) {
    // The dialog manager would turn Escape (and Ctrl+Break) into command 2,
    // which is also the menu's Exit: here it minimises the window, as its
    // button does (to the tray when that is set), and never ends the program.
    const bool cancel_key =
        message.message == WM_KEYDOWN && (message.wParam == VK_ESCAPE || message.wParam == VK_CANCEL);
    if (!cancel_key || (message.hwnd != window && !IsChild(window, message.hwnd))) return false;
    ShowWindow(window, SW_MINIMIZE);
    return true;
}

LRESULT CALLBACK main_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // The window is a dialog of its own class: what it leaves alone goes to
    // the dialog manager, which moves the focus on Tab and makes the focused
    // button the one that Return presses.
    if (!g_state) return DefDlgProcW(window, message, wparam, lparam);
    chronobel_state& state = *g_state;
    switch (message) {
        case WM_CREATE:
            SetTimer(window, deferred_startup_timer, 500, nullptr);
            return 0;
        case WM_TIMER:
            if (wparam == deferred_startup_timer) deferred_startup(window, state);
            if (wparam == auto_timer_id) on_auto_timer_fired(window, state);
            return 1;
        case view_changed_message:
            if (posting_view* view = view_of(window)) view->apply();
            return 0;
        case WM_SIZE:
            on_size(window, state, wparam);
            return 1;
        case WM_CLOSE:
            on_close(window, state);
            return 0;
        case WM_POWERBROADCAST:
            // Back from sleep: the clock may be far off.
            if (wparam == PBT_APMRESUMEAUTOMATIC) ask_resync(state);
            return TRUE;
        case WM_QUERYENDSESSION:
            abort_operation(state);
            return 1;
        case WM_ENDSESSION:
            if (wparam) on_end_session(window, state);
            return 0;
        case WM_DESTROY:
            on_destroy(window, state);
            return 0;
        case WM_CONTEXTMENU:
            PostMessageW(window, WM_RBUTTONUP, 0, 0);
            return 0;
        case WM_RBUTTONUP:
            show_popup_menu(window, state);
            return 0;
        case WM_COMMAND:
            return on_command(window, state, wparam);
        case tray_callback_message:
            tray_callback(window, state, wparam, lparam);
            return 1;
        default:
            // A new taskbar has none of the old icons: ours goes back if it was there.
            if (taskbar_created_msg != 0 && message == taskbar_created_msg) {
                if (window_mode == window_in_tray && !started_silent)
                    notify_icon(window, current_tray_icon(state), "Chronobel", NIM_ADD);
                return 0;
            }
            return DefDlgProcW(window, message, wparam, lparam);
    }
}

}  // namespace orvane
