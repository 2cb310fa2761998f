#include "engine/failover.h"
#include <mutex>
#include <string>
#include "core/status_hold.h"
#include "data/server_list.h"
#include "engine/asked_operation.h"
#include "engine/average_texts.h"
#include "engine/log.h"
#include "engine/query.h"
#include "engine/sntp_packet.h"
#include "sys/clock.h"

namespace orvane {

int select_current_server(chronobel_state& state) {
    query_engine& e = state.engine;
    int result = read_server_list(state, nullptr, static_cast<unsigned>(e.server_index) + 1);
    if (result == list_too_short) {
        e.server_index = 0;
        result = read_server_list(state, nullptr, 1);
    }
    return result;
}

void begin_failover_round(query_engine& e) {
    e.first_index = e.server_index;
    e.operation_start_tick = tick_count();
    e.operation_aborted = 0;
}

failover_position failover_position_now(chronobel_state& state, bool single_address) {
    const query_engine& e = state.engine;
    const std::uint32_t elapsed_ms = tick_count() - e.operation_start_tick;
    const std::uint32_t timeout_ms = static_cast<std::uint32_t>(state.settings.sync_timeout_s) * 1000;
    if (single_address || e.server_source != source_list)
        return {e.protocol, e.auto_protocol, 0, 0, 1, elapsed_ms, timeout_ms};
    return {e.protocol, e.auto_protocol, e.server_index, e.first_index, count_server_list(state), elapsed_ms,
            timeout_ms};
}

int retry_next_server(chronobel_state& state) {
    query_engine& e = state.engine;
    if (int result = prepare_query(e); result != 0) return result;
    // A time-out's abort was for the attempt that failed, not for this one;
    // the user's Abort, even one that comes now, is seen by the flag or by
    // the new query.
    e.abort_requested = 0;
    const next_attempt next = plan_next_attempt(failover_position_now(state, false));
    int result = next.done || e.operation_aborted ? list_too_short : list_ok;
    if (result == list_ok) {
        e.auto_protocol = next.auto_protocol;
        if (next.next_server) {
            e.server_index = next.server_index;
            result = select_current_server(state);
        }
    }
    if (result != list_ok) {
        // Nothing to query: the prepared query is given back unrun and
        // failed; the caller ends the operation.
        std::lock_guard<std::mutex> lock(e.query_mutex);
        e.busy = 0;
        e.failed = 1;
        return result;
    }
    return start_query_thread(state) ? 0 : query_socket_failed;
}

namespace {

// The failure's text on the status line (none: the time-out's text stays),
// held for reading unless the user's Abort ended the operation, whose
// "Ready" follows at once.
void show_failure(chronobel_state& state, const std::string* text) {
    if (text) state.view().set_text(control_status_line, *text);
    if (text && running_as_service) keep_result_text(state, *text);
    if (!state.engine.operation_aborted) hold_status_text(state);
}

}  // namespace

void report_failed_query(chronobel_state& state, bool timed_out) {
    query_engine& e = state.engine;
    if (e.result_code == query_no_majority) {
        // The servers answered but disagree: the reason, and which they were.
        const std::string text = std::string(average_no_majority) + std::to_string(e.servers_agreeing) +
                                 average_servers_of + std::to_string(e.servers_asked) + average_no_majority_end;
        e.failure_text = text;
        show_failure(state, &text);
        if (!state.settings.log_disabled) write_log_line(state, text + ": ", e.server_name);
        return;
    }
    const std::string text = std::string(state.ui_text(text_id::unable_to_sync_from)) + e.server_name;
    show_failure(state, timed_out ? nullptr : &text);
    // A reply that came but failed a check says why: "(kiss-o'-death)".
    std::string reason;
    if (e.result_code == query_socket_error)
        if (const char* check = sntp_reply_check_reason(e.reply_check); *check) reason = std::string(" (") + check + ")";
    // After a time-out its text (set by the worker) stays the failure's.
    if (!timed_out) e.failure_text = text + reason;
    if (!state.settings.log_errors || state.settings.log_disabled) return;
    write_log_line(state, state.ui_text(text_id::no_response_from), e.server_name + reason);
}

bool handle_failed_query(chronobel_state& state, bool timed_out) {
    query_engine& e = state.engine;
    report_failed_query(state, timed_out);
    // The user's Abort and the program's end stop the operation; a time-out
    // only ends its attempt.
    if (e.operation_aborted || state.stop_requested) return false;
    // Failover is for automatic operations: those of the armed timer, and
    // every one of the service.
    const bool automatic = state.auto_due != 0 || running_as_service != 0;
    if (state.settings.default_server_only || e.server_source != source_list || !automatic) return false;
    // Several servers were asked together: one of them alone must not decide.
    if (!e.average_names.empty()) return false;
    return retry_next_server(state) == 0;
}

}  // namespace orvane
