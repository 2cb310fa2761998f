#include "engine/quick_sync.h"
#include <string>
#include "data/server_list.h"
#include "engine/failover.h"
#include "engine/query.h"
#include "engine/sync_result.h"
#include "sys/clock.h"
#include "sys/threads.h"

namespace orvane {
namespace {

// Waits up to `sync_timeout_s` (less when the operation's time ends first)
// for the query to end, woken at each phase change; a query still running
// then is aborted.
void await_query(chronobel_state& state) {
    query_engine& e = state.engine;
    const std::uint32_t start = tick_count();
    const std::uint32_t limit_ms = attempt_limit_ms(static_cast<std::uint32_t>(state.settings.sync_timeout_s) * 1000,
                                                    start - e.operation_start_tick);
    while (!e.failed && e.phase < 6 && e.busy) {
        const std::uint32_t waited = tick_count() - start;
        if (waited >= limit_ms) {
            abort_query(e);
            e.failed = 1;
            return;
        }
        wait_event(state.worker_event, limit_ms - waited < 100 ? limit_ms - waited : 100);
        reset_event(state.worker_event);
    }
    // A query that ended without a valid result has failed.
    if (e.phase < 6) e.failed = 1;
}

enum class attempt_outcome { done, clock_refused, no_answer };

// One query against the current server with the current protocol; a list
// entry is read afresh unless a host was given.
attempt_outcome try_current_server(chronobel_state& state, bool correct, bool given_host) {
    query_engine& e = state.engine;
    state.correct_requested = correct ? 1 : 0;
    e.failed = 0;
    e.offset = 0;
    e.reply_check = 0;  // no reason left over from an earlier attempt
    const bool selected = given_host || e.server_source != source_list || select_current_server(state) == list_ok;
    if (!selected || prepare_query(e) != 0) {
        e.failed = 1;
    } else {
        start_query_thread(state);
        await_query(state);
    }
    while (e.busy) sleep_ms(10);

    const bool answered = !e.failed && e.server_seconds != 0;
    if (!answered) {
        report_failed_query(state);
        finish_query(e);
        return attempt_outcome::no_answer;
    }
    if (correct) apply_result(state, true);
    const attempt_outcome outcome = e.failed ? attempt_outcome::clock_refused : attempt_outcome::done;
    state.view().set_text(control_status_line, operation_result_text(state, correct));
    if (!correct) apply_result(state, false);
    finish_query(e);
    return outcome;
}

// Another server cannot help when the clock itself refused the change.
bool ends_the_round(attempt_outcome outcome, int& exit_code) {
    if (outcome == attempt_outcome::no_answer) return false;
    exit_code = outcome == attempt_outcome::done ? 0 : 1;
    return true;
}

int quick_operation(chronobel_state& state, bool correct, const std::string& host) {
    query_engine& e = state.engine;
    state.correct_requested = correct ? 1 : 0;
    e.force_time_protocol = 0;
    const bool given_host = !host.empty();
    if (given_host) {
        // Looked up like a list entry, for this run only.
        e.server_source = source_list;
        e.server_name = host;
    } else if (server_list_unusable && e.server_source == source_list) {
        e.server_source = source_manual_a;
    }

    // A failure moves on as failover_plan.h says, once round the list at most.
    if (!given_host && e.server_source == source_list) select_current_server(state);  // past the end wraps to 0
    begin_failover_round(e);
    e.auto_protocol = protocol_sntp;
    int exit_code = 1;
    for (;;) {
        if (ends_the_round(try_current_server(state, correct, given_host), exit_code)) return exit_code;
        // "Average" asked several servers together: one alone must not decide.
        if (!e.average_names.empty()) break;
        const next_attempt next = plan_next_attempt(failover_position_now(state, given_host));
        if (next.done) break;
        e.auto_protocol = next.auto_protocol;
        if (next.next_server) e.server_index = next.server_index;
    }
    return exit_code;
}

}  // namespace

int run_quick_sync(chronobel_state& state, bool correct, const std::string& host) {
    // The query thread wakes this one through the worker's event, which the
    // state closes when it ends (the query may still signal it as it ends).
    if (!state.worker_event) state.worker_event = create_manual_event();
    return quick_operation(state, correct, host);
}

}  // namespace orvane
