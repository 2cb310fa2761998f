#include "engine/worker.h"
#include <algorithm>
#include <string>
#include "core/socket_handover.h"
#include "core/status_hold.h"
#include "engine/asked_operation.h"
#include "data/server_list.h"
#include "engine/countdown.h"
#include "engine/failover.h"
#include "engine/health.h"
#include "engine/query.h"
#include "engine/resync.h"
#include "engine/server_state_text.h"
#include "engine/service_autosync.h"
#include "engine/service_events.h"
#include "engine/sync_result.h"
#include "engine/time_zone_check.h"
#include "sys/sockets.h"
#include "sys/clock.h"
#include "sys/threads.h"
#include "sys/time_format.h"

namespace orvane {

std::atomic<int> status_step{0};

namespace {

// The worker never waits less between passes.
constexpr std::int64_t shortest_wait_ms = 10;

std::atomic<std::int32_t> saved_refresh_ms{0};
int idle_refresh_counter = 0;
std::atomic<std::uint32_t> query_start_tick{0};
std::atomic<bool> exit_when_done{false};
// The hold whose "Ready" has been shown: once per hold.
std::uint64_t ready_shown_for = 0;
// status_step after a time-out: the attempt shows no more steps, so that
// none replays over the time-out's text.
constexpr int steps_stopped = 6;
// Between the countdown and "Last synced 3 h ago" on the idle status line.
constexpr char idle_status_separator[] = " - ";
std::atomic<operation_end_pause> end_pause{nullptr};
// The tray look the window was last told of; only the worker thread uses it.
tray_look told_look = tray_look::in_sync;

bool in_service() { return running_as_service != 0; }

void show_status(chronobel_state& state, const std::string& text) {
    state.view().set_text(control_status_line, text);
}

std::string clock_text(filetime local) {
    const system_time t = filetime_to_system_time(local);
    return format_time(t) + "\r\n" + format_long_date(t);
}

void note_query_started() { query_start_tick = tick_count(); }

enum class step_shown { none, step, converting };

// The step text due at this pass, if any. "Converting..." is followed by the
// result in the same pass.
step_shown show_next_step(chronobel_state& state) {
    const query_engine& e = state.engine;
    const int step = status_step, phase = e.phase;
    std::string text;
    if (step == 0 && phase > 0) text = state.ui_text(text_id::initialising);
    else if (step == 1 && phase > 1) text = state.ui_text(text_id::creating_socket);
    else if (step == 2 && phase > 2) text = std::string(state.ui_text(text_id::looking_for_server_at)) + e.server_address_text;
    else if (step == 3 && phase > 3) text = std::string(state.ui_text(text_id::waiting_for_reply_from)) + e.server_name;
    else if (step == 4 && phase > 4) text = state.ui_text(text_id::converting);
    else return step_shown::none;
    status_step = step + 1;
    if (!in_service()) show_status(state, text);
    return step == 4 ? step_shown::converting : step_shown::step;
}

void running_pass(chronobel_state& state) {
    query_engine& e = state.engine;
    // Only a query still waiting can time out: once aborted it ends by itself,
    // and the steps shown again on the way to its failure must not strike anew.
    // An attempt late in its operation gets what is left of the operation's time.
    const std::uint32_t timeout_ms = static_cast<std::uint32_t>(state.settings.sync_timeout_s) * 1000;
    const std::uint32_t started = query_start_tick;
    if (status_step != 0 && e.busy && !e.abort_requested &&
        tick_count() - started > attempt_limit_ms(timeout_ms, started - e.operation_start_tick)) {
        e.failure_text = std::string(state.ui_text(text_id::time_out_on)) + e.server_name;
        if (in_service())
            keep_result_text(state, e.failure_text);
        else
            show_status(state, e.failure_text);
        abort_query(e);
        status_step = steps_stopped;
    }
    const bool timed_out = status_step == steps_stopped;
    // The phase read once: read twice, a reply that came in between would make
    // the step count 6, which reads as a time-out, and the operation would
    // never end.
    const int phase = e.phase;
    if (in_service() && !timed_out && !e.failed && phase < phase_result_valid) status_step = phase;

    const step_shown shown = show_next_step(state);
    if (shown == step_shown::step) return;
    if (shown == step_shown::none) {
        if (e.failed) {
            // Noted before a retry's thread starts, so a pass never measures
            // the new query from the old one's start.
            note_query_started();
            if (handle_failed_query(state, timed_out))
                status_step = 0;
            else
                end_operation(state);
        } else if (e.abort_requested && !e.busy) {
            // Ended without a failure, as a time-out whose reply came late:
            // its text is the outcome.
            if (timed_out) hold_status_text(state);
            end_operation(state);
        }
    }
    if (status_step == 5 && e.phase > 5) {
        complete_operation(state);
        end_operation(state, e.failed ? operation_outcome::failed : operation_outcome::succeeded);
    }
}

// The window hears when the tray icon's look changes, as when a success
// grows old (notices are posted as they come, by note_health_end).
void tell_window_of_health(chronobel_state& state) {
    const tray_look look = current_tray_look(state.health, health_period_ms(state), tick_count64());
    if (look == told_look) return;
    told_look = look;
    state.view().post_command(command_health_changed);
}

void idle_pass(chronobel_state& state) {
    if (in_service()) {
        service_autosync(state);
        resync_if_due(state, tick_count64());
        start_asked_operation(state);
        return;
    }
    const status_hold_stage hold = status_hold_at(state, tick_count64());
    const std::uint64_t hold_until = state.status_hold_until;
    if (hold == status_hold_stage::ready && ready_shown_for != hold_until) {
        ready_shown_for = hold_until;
        std::string text = state.ui_text(text_id::ready);
        if (state.server_state > 0) text += std::string(" (") + server_state_text(state) + ")";
        show_status(state, text);
    }
    if (window_mode == window_shown) {
        state.view().set_text(control_local_time, clock_text(filetime_to_local(system_time_now())));
        if ((idle_refresh_counter == 0 || state.auto_due > 10) && hold == status_hold_stage::free &&
            state.auto_due != 0) {
            std::string text = format_countdown(state);
            if (state.settings.time_server_enabled) text += std::string(" (") + server_state_text(state) + ")";
            text += idle_status_separator + last_good_text(state.health, tick_count64());
            show_status(state, text);
        }
        if (++idle_refresh_counter > 30) idle_refresh_counter = 0;
    }
    tell_window_of_health(state);
    resync_if_due(state, tick_count64());
}

// The wait before the next pass: the refresh rate, or less when a
// resynchronisation falls due sooner.
std::uint32_t pass_wait_ms(const chronobel_state& state) {
    const std::int64_t refresh = status_refresh_ms.load();
    return static_cast<std::uint32_t>(std::clamp(resync_wait_ms(state, tick_count64()), shortest_wait_ms, refresh));
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

void abort_operation(chronobel_state& state) {
    state.engine.operation_aborted = 1;
    abort_query(state.engine);
}

void set_operation_end_pause(operation_end_pause pause) { end_pause = pause; }

void end_operation(chronobel_state& state, operation_outcome outcome) {
    if (state.engine.operation_aborted) outcome = operation_outcome::aborted;
    const std::uint64_t now = tick_count64();
    // A retry became pending: an automatic operation failed.
    if (note_operation_end(state, outcome, now)) {
        if (in_service())
            report_automatic_failure(state);
        else
            state.view().post_command(command_arm_auto_retry);
    }
    note_health_end(state, outcome, now);
    note_asked_operation_end(state, outcome == operation_outcome::succeeded);
    // Here on the worker's thread, which alone writes it, for the next operation.
    state.engine.failure_text.clear();
    restore_idle_controls(state);
    if (exit_when_done.exchange(false)) state.stop_requested = 1;
    if (const operation_end_pause pause = end_pause.load()) pause();
    // The very last step: a start seen from now on finds the buttons, the
    // refresh rate and the step count of an ended operation.
    finish_query(state.engine);
}

int start_operation(chronobel_state& state, auto_kind automatic) {
    query_engine& e = state.engine;
    if (e.in_progress) return 0;
    if (int result = prepare_query(e); result != 0) return result;
    note_health_start(state, automatic);
    note_operation_start(state, automatic);
    check_time_zone(state);
    if (server_list_unusable && e.server_source == source_list) e.server_source = source_manual_a;
    // Auto begins every operation with SNTP, which knows the time to the
    // millisecond; the failover turns to TIME after it.
    e.auto_protocol = protocol_sntp;
    if (!in_service()) {
        main_view& view = state.view();
        view.set_text(control_check_button, state.ui_text(text_id::abort));
        view.enable(control_correct_button, false);
        view.enable(control_options_button, false);
        view.set_tooltip(control_check_button, state.ui_text(text_id::cancel_operation));
        view.set_text(control_status_line, "");
    }
    // The last outcome gives way to this operation at once.
    release_status(state);
    const int result = e.server_source == source_list ? select_current_server(state) : 0;
    begin_failover_round(e);
    saved_refresh_ms = status_refresh_ms.load();
    status_refresh_ms = 100;
    // Its steps from the first: a step count left by an operation that a stop
    // cut short would read as a time-out and hold this one for ever.
    status_step = 0;
    // Before the thread exists: its first phase wakes the worker, whose
    // time-out must measure from this query's start.
    note_query_started();
    start_query_thread(state);
    return result;
}

void restore_idle_controls(chronobel_state& state) {
    main_view& view = state.view();
    view.set_text(control_check_button, state.ui_text(text_id::check));
    view.enable(control_correct_button, true);
    view.enable(control_options_button, true);
    view.set_tooltip(control_check_button, state.ui_text(text_id::check_dont_change));
    status_refresh_ms = saved_refresh_ms.load();
    status_step = 0;
}

int close_server_sockets(chronobel_state& state) {
    if (state.settings.time_server_enabled || state.time_server_socket != no_socket ||
        state.sntp_server_socket != no_socket || state.time_server_socket6 != no_socket ||
        state.sntp_server_socket6 != no_socket) {
        // The server threads close the sockets themselves.
        for (auto* published : {&state.time_server_socket, &state.sntp_server_socket, &state.time_server_socket6,
                                &state.sntp_server_socket6})
            stop_published_socket(*published);
    }
    return 0;
}

void worker_loop(chronobel_state& state) {
    if (in_service()) service_start_message(state);
    status_step = 0;
    idle_refresh_counter = 0;
    ready_shown_for = 0;
    told_look = tray_look::in_sync;
    health_begin(state.health, tick_count64());
    do {
        if (state.engine.in_progress)
            running_pass(state);
        else
            idle_pass(state);
        advance_server_clock(state);
        wait_event(state.worker_event, pass_wait_ms(state));
        reset_event(state.worker_event);
    } while (!state.stop_requested);

    if (in_service()) {
        show_status(state, state.ui_text(text_id::service_stopped));
        // The servers give back their own use of the socket library as they end.
        close_server_sockets(state);
        return;
    }
    if (state.settings.time_server_enabled && state.server_state != 0) {
        close_server_sockets(state);
        // At most 20 s, looked at every 100 ms so that a quick stop is not
        // held up.
        for (int i = 0; i < 200 && state.server_state != 0; ++i) sleep_ms(100);
    }
    state.view().post_command(command_exit_after_stop);
}

}  // namespace orvane
