#include "engine/worker.h"
#include <string>
#include "core/auto_period.h"
#include "data/server_list.h"
#include "engine/failover.h"
#include "engine/query.h"
#include "engine/sync_result.h"
#include "sys/sockets.h"
#include "sys/clock.h"
#include "sys/threads.h"
#include "sys/time_format.h"
#include "ui/countdown.h"
#include "ui/time_zone_check.h"

namespace orvane {

std::atomic<int> status_step{0};

namespace {

std::atomic<std::int32_t> saved_refresh_ms{0};
int idle_refresh_counter = 0;
std::uint32_t service_autosync_base = 0;
std::atomic<std::uint32_t> query_start_tick{0};
std::atomic<bool> exit_when_done{false};

bool in_service() { return running_as_service != 0; }

void show_status(chronobel_state& state, const std::string& text) {
    state.view().set_text(control_status_line, text);
}

// "TIME Server Active", "SNTP Server Active" or both, by the running servers.
const char* server_state_text(const chronobel_state& state) {
    switch (state.server_state.load()) {
        case 1: return state.ui_text(112);
        case 2: return state.ui_text(113);
        default: return state.ui_text(102);
    }
}

std::string clock_text(filetime local) {
    const system_time t = filetime_to_system_time(local);
    return format_time(t) + "\r\n" + format_long_date(t);
}

void note_query_started() { query_start_tick = tick_count(); }

// Takes a server's socket away from it and ends its blocked receive or
// accept; the server thread then closes the socket itself, so a handle is
// never closed while its owner may still use it.
void stop_server_socket(std::atomic<socket_handle>& stored) {
    if (socket_handle socket = stored.exchange(no_socket); socket != no_socket) end_blocked_calls(socket);
}

void service_start_message(chronobel_state& state) {
    settings_record& s = state.settings;
    service_autosync_base = tick_count();
    s.autocheck_enabled = 0;
    if (!s.autosync_enabled && !s.time_server_enabled) {
        s.autosync_unit = 1;
        s.autosync_count = 4;
        s.autosync_enabled = 1;
    }
    std::string message = state.ui_text(207);
    if (s.time_server_enabled) {
        message += state.ui_text(102);
        message += " ";
    }
    if (s.autosync_enabled) {
        message += std::to_string(s.autosync_count);
        message += state.ui_text(auto_unit_text(s.autosync_unit));
        message += state.ui_text(100);
    }
    show_status(state, message.substr(0, 599));
    status_refresh_ms = 30'000;
}

enum class step_shown { none, step, converting };

// The step text due at this pass, if any. "Converting..." is followed by the
// result in the same pass.
step_shown show_next_step(chronobel_state& state) {
    const query_engine& e = state.engine;
    const int step = status_step, phase = e.phase;
    std::string text;
    if (step == 0 && phase > 0) text = state.ui_text(80);
    else if (step == 1 && phase > 1) text = state.ui_text(197);
    else if (step == 2 && phase > 2) text = std::string(state.ui_text(82)) + e.server_address_text;
    else if (step == 3 && phase > 3) text = std::string(state.ui_text(83)) + e.server_name;
    else if (step == 4 && phase > 4) text = state.ui_text(84);
    else return step_shown::none;
    status_step = step + 1;
    if (!in_service()) show_status(state, text);
    return step == 4 ? step_shown::converting : step_shown::step;
}

void operation_ended(chronobel_state& state) {
    restore_idle_controls(state);
    if (exit_when_done.exchange(false)) {
        state.stop_requested = 1;
    }
}

void running_pass(chronobel_state& state) {
    query_engine& e = state.engine;
    // Only a query still waiting can time out: once aborted it ends by itself,
    // and the steps shown again on the way to its failure must not strike anew.
    if (status_step != 0 && e.busy && !e.abort_requested &&
        tick_count() - query_start_tick > static_cast<std::uint32_t>(state.settings.sync_timeout_s) * 1000) {
        if (!in_service()) show_status(state, std::string(state.ui_text(85)) + e.server_name);
        abort_query(e);
        status_step = 0;
    }
    if (in_service() && !e.failed && e.phase < 6) status_step = e.phase.load();

    const step_shown shown = show_next_step(state);
    if (shown == step_shown::step) return;
    if (shown == step_shown::none) {
        if (e.failed) {
            if (handle_failed_query(state)) {
                note_query_started();
                status_step = 0;
            } else {
                operation_ended(state);
            }
        } else if (e.abort_requested) {
            status_step = 0;
            if (!e.busy) finish_query(e);
            operation_ended(state);
        }
    }
    if (status_step == 5 && e.phase > 5) {
        complete_operation(state);
        if (!e.busy) finish_query(e);
        status_step = 0;
        operation_ended(state);
    }
}

void service_autosync(chronobel_state& state) {
    const settings_record& s = state.settings;
    if (state.due_period_ms == 0) {
        state.due_period_ms = auto_period_ms(s.autosync_count, s.autosync_unit);
        return;
    }
    const std::uint32_t now = tick_count();
    // A tick count that wrapped below the base counts as 10 s.
    const std::uint32_t elapsed = now > service_autosync_base ? now - service_autosync_base : 10'000;
    if (elapsed > state.due_period_ms.load()) {
        service_autosync_base = now;
        state.correct_requested = 1;
        state.due_period_ms = 0;
        start_operation(state);
    }
}

void idle_pass(chronobel_state& state) {
    if (state.status_hold_ticks > 0) {
        if (state.status_hold_ticks == 20) {
            std::string text = state.ui_text(9);
            if (state.server_state > 0) text += std::string(" (") + server_state_text(state) + ")";
            show_status(state, text);
        }
        if (!in_service()) --state.status_hold_ticks;
    }
    if (window_mode == window_shown) {
        state.view().set_text(control_local_time, clock_text(filetime_to_local(system_time_now())));
        if ((idle_refresh_counter == 0 || state.auto_due > 10) && state.status_hold_ticks == 0 && state.auto_due != 0) {
            std::string text = format_countdown(state);
            if (state.settings.time_server_enabled) text += std::string(" (") + server_state_text(state) + ")";
            show_status(state, text);
        }
        if (++idle_refresh_counter > 30) idle_refresh_counter = 0;
    } else if (in_service() && state.settings.autosync_enabled) {
        service_autosync(state);
    }
}

// The server's clock keeps running from the time the last operation found.
void advance_server_clock(chronobel_state& state) {
    if (!server_clock_running) return;
    const std::uint32_t now = tick_count();
    state.server_local_time += static_cast<filetime>(now - state.server_time_tick) * 10'000;
    state.server_time_tick = now;
    if (window_mode == window_shown) state.view().set_text(control_server_time, clock_text(state.server_local_time));
}

}  // namespace

void exit_after_operation(bool enabled) { exit_when_done = enabled; }

int start_operation(chronobel_state& state) {
    query_engine& e = state.engine;
    if (e.in_progress) return 0;
    if (int result = prepare_query(e); result != 0) return result;
    check_time_zone(state);
    if (server_list_unusable && e.server_source == source_list) e.server_source = source_manual_a;
    if (!in_service()) {
        main_view& view = state.view();
        view.set_text(control_check_button, state.ui_text(90));
        view.enable(control_correct_button, false);
        view.enable(control_options_button, false);
        view.set_tooltip(control_check_button, state.ui_text(154));
        view.set_text(control_status_line, "");
    }
    const int result = e.server_source == source_list ? select_current_server(state) : 0;
    saved_refresh_ms = status_refresh_ms.load();
    status_refresh_ms = 100;
    // Noted first: the worker may look at the time-out as soon as the query runs.
    note_query_started();
    start_query_thread(state);
    return result;
}

void restore_idle_controls(chronobel_state& state) {
    main_view& view = state.view();
    view.set_text(control_check_button, state.ui_text(0));
    view.enable(control_correct_button, true);
    view.enable(control_options_button, true);
    view.set_tooltip(control_check_button, state.ui_text(123));
    status_refresh_ms = saved_refresh_ms.load();
    status_step = 0;
}

int close_server_sockets(chronobel_state& state) {
    if (state.settings.time_server_enabled || state.time_server_socket != no_socket ||
        state.sntp_server_socket != no_socket) {
        stop_server_socket(state.time_server_socket);
        stop_server_socket(state.sntp_server_socket);
    }
    return 0;
}

void worker_loop(chronobel_state& state) {
    if (in_service()) service_start_message(state);
    idle_refresh_counter = 0;
    do {
        if (state.engine.in_progress)
            running_pass(state);
        else
            idle_pass(state);
        advance_server_clock(state);
        wait_event(state.worker_event, static_cast<std::uint32_t>(status_refresh_ms.load()));
        reset_event(state.worker_event);
    } while (!state.stop_requested);

    if (in_service()) {
        show_status(state, state.ui_text(208));
        close_server_sockets(state);
        release_winsock(state.engine);
        return;
    }
    if (state.settings.time_server_enabled && state.server_state != 0) {
        close_server_sockets(state);
        for (int i = 0; i < 20 && state.server_state != 0; ++i) sleep_ms(1000);
    }
    state.view().post_command(command_exit_after_stop);
}

}  // namespace orvane
