#include "ui/auto_timer.h"
#include <algorithm>
#include "core/auto_period.h"
#include "engine/auto_backoff.h"

namespace orvane {
namespace {

// A firing this close to the due time is the due time: timers and tick
// counts are only good to some milliseconds.
constexpr std::int64_t due_slack_ms = 1'000;

void choose(chronobel_state& state, std::int32_t which, std::int64_t period, std::uint64_t start) {
    state.auto_due.store(which);
    state.due_period_ms = period;
    state.due_start_tick = start;
}

}  // namespace

std::int64_t compute_next_due(chronobel_state& state, std::uint64_t now) {
    const settings_record& s = state.settings;
    const std::int64_t sync_period = auto_period_ms(s.autosync_count, s.autosync_unit);
    const std::int64_t check_period = auto_period_ms(s.autocheck_count, s.autocheck_unit);
    const std::uint64_t sync_start = state.autosync_start_tick, check_start = state.autocheck_start_tick;
    const bool check_first = time_left_ms(check_start, check_period, now) < time_left_ms(sync_start, sync_period, now);
    if (s.autosync_enabled && (!s.autocheck_enabled || !check_first))
        choose(state, 2, sync_period, sync_start);
    else if (s.autocheck_enabled)
        choose(state, 1, check_period, check_start);
    // A failed operation's retry comes first when it is due sooner.
    const std::int32_t retry = state.backoff.retry_kind;
    const bool retry_enabled = retry == auto_sync ? s.autosync_enabled : retry == auto_check && s.autocheck_enabled;
    if (retry_enabled && retry_left_ms(state, now) < time_until_due(state, now))
        choose(state, retry, pending_retry_delay_ms(state), state.backoff.failed_tick);
    return time_until_due(state, now);
}

std::int64_t next_auto_wait(chronobel_state& state, std::uint64_t now) {
    if (!state.settings.autosync_enabled && !state.settings.autocheck_enabled) return -1;
    if (state.autosync_start_tick == 0) state.autosync_start_tick = now;
    if (state.autocheck_start_tick == 0) state.autocheck_start_tick = now;
    std::int64_t wait = compute_next_due(state, now);
    if (wait < auto_restart_below_ms && !retry_armed(state)) {
        state.autosync_start_tick = now;
        state.autocheck_start_tick = now;
        wait = compute_next_due(state, now);
    }
    return wait;
}

std::uint32_t timer_step_ms(std::int64_t wait_ms) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(wait_ms, 0, longest_timer_ms));
}

auto_timer_action on_auto_timer(chronobel_state& state, std::uint64_t now, bool operation_running) {
    if (time_until_due(state, now) > due_slack_ms) return auto_timer_action::wait_more;
    if (operation_running) {
        state.due_start_tick = now;
        state.due_period_ms = auto_retry_ms;
        return auto_timer_action::retry_later;
    }
    const std::int32_t due = state.auto_due;
    if (due == 2 || due == 12) {
        state.correct_requested = 1;
        state.autosync_start_tick = 0;
    } else {
        // A check, whatever the last operation by hand was.
        state.correct_requested = 0;
        state.autocheck_start_tick = 0;
    }
    return auto_timer_action::start_operation;
}

}  // namespace orvane
