#include "engine/auto_backoff.h"
#include "core/auto_period.h"

namespace orvane {

void note_operation_start(chronobel_state& state, auto_kind kind) {
    auto_backoff& b = state.backoff;
    b.running = kind;
    if (kind != auto_none) b.retry_kind = auto_none;
}

bool note_operation_end(chronobel_state& state, operation_outcome outcome, std::uint64_t now) {
    auto_backoff& b = state.backoff;
    const std::int32_t kind = b.running.exchange(auto_none);
    if (kind == auto_none || outcome == operation_outcome::aborted) return false;
    if (outcome == operation_outcome::succeeded) {
        b.failures = 0;
        b.retry_kind = auto_none;
        return false;
    }
    if (b.failures < retry_doublings_max + 1) ++b.failures;
    b.failed_tick = now;
    b.retry_kind = kind;
    return true;
}

std::int64_t auto_kind_period_ms(const chronobel_state& state, std::int32_t kind) {
    const settings_record& s = state.settings;
    return kind == auto_check ? auto_period_ms(s.autocheck_count, s.autocheck_unit)
                              : auto_period_ms(s.autosync_count, s.autosync_unit);
}

std::int64_t pending_retry_delay_ms(const chronobel_state& state) {
    const std::int32_t kind = state.backoff.retry_kind;
    if (kind == auto_none) return 0;
    return retry_delay_ms(state.backoff.failures, auto_kind_period_ms(state, kind));
}

std::int64_t retry_left_ms(const chronobel_state& state, std::uint64_t now) {
    if (state.backoff.retry_kind == auto_none) return no_retry_pending;
    return time_left_ms(state.backoff.failed_tick, pending_retry_delay_ms(state), now);
}

bool retry_armed(const chronobel_state& state) {
    const std::int32_t kind = state.backoff.retry_kind;
    return kind != auto_none && state.auto_due % 10 == kind && state.due_start_tick == state.backoff.failed_tick &&
           state.due_period_ms == pending_retry_delay_ms(state);
}

}  // namespace orvane
