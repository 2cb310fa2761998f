#include "engine/health.h"
#include <atomic>
#include "engine/log.h"
#include "engine/service_events.h"

namespace orvane {
namespace {

constexpr std::uint64_t minute_ms = 60'000;
constexpr std::uint64_t hour_ms = 60 * minute_ms;
constexpr std::uint64_t day_ms = 24 * hour_ms;
// Twice the period without a success makes the icon stale.
constexpr std::int64_t stale_periods = 2;
// A TIME reply knows whole seconds: more than one of them is off.
constexpr std::int64_t time_off_limit_s = 1;

std::atomic<health_listener> listener{nullptr};

std::uint64_t magnitude(std::int64_t v) {
    return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// "just now", "5 min ago", "3 h ago", "2 d ago": the largest whole unit.
std::string ago_text(std::uint64_t elapsed_ms) {
    if (elapsed_ms < minute_ms) return "just now";
    if (elapsed_ms < hour_ms) return std::to_string(elapsed_ms / minute_ms) + " min ago";
    if (elapsed_ms < day_ms) return std::to_string(elapsed_ms / hour_ms) + " h ago";
    return std::to_string(elapsed_ms / day_ms) + " d ago";
}

}  // namespace

void health_begin(health_record& h, std::uint64_t now) { h.start_tick = now; }

void health_operation_started(health_record& h, auto_kind kind, bool correction) {
    h.running_kind = kind;
    h.running_correction = correction ? 1 : 0;
}

std::uint32_t health_operation_ended(health_record& h, operation_outcome outcome, bool off, std::uint64_t now) {
    const std::int32_t kind = h.running_kind.exchange(auto_none);
    if (outcome == operation_outcome::aborted) return health_none;
    std::uint32_t events = health_none;
    if (outcome == operation_outcome::failed) {
        // Operations by hand neither count nor end a streak of automatic failures.
        if (kind == auto_none) return health_none;
        if (h.failures_in_row < failing_streak) ++h.failures_in_row;
        if (h.failures_in_row >= failing_streak && !h.streak_told.exchange(1)) events |= health_failing;
        return events;
    }
    const bool check = h.running_correction == 0;
    h.last_good_tick = now;
    h.last_good_was_check = check ? 1 : 0;
    h.failures_in_row = 0;
    if (h.streak_told.exchange(0)) events |= health_recovered;
    // A correction sets the clock right; a check tells how far off it is.
    h.clock_off = check && off ? 1 : 0;
    if (check && off && kind == auto_check) events |= health_clock_off;
    return events;
}

tray_look current_tray_look(const health_record& h, std::int64_t period_ms, std::uint64_t now) {
    if (h.failures_in_row >= failing_streak) return tray_look::failing;
    if (h.clock_off) return tray_look::stale;
    const std::uint64_t good = h.last_good_tick, start = h.start_tick;
    const std::uint64_t since = good != 0 ? good : start;
    if (period_ms > 0 && since != 0 && now > since &&
        now - since > static_cast<std::uint64_t>(period_ms) * stale_periods)
        return tray_look::stale;
    return tray_look::in_sync;
}

std::string last_good_text(const health_record& h, std::uint64_t now) {
    const std::uint64_t good = h.last_good_tick;
    if (good == 0) return "Never synced";
    return std::string(h.last_good_was_check ? "Last checked " : "Last synced ") + ago_text(now > good ? now - good : 0);
}

const char* health_event_text(health_event event) {
    switch (event) {
        case health_failing: return "Automatic time updates failed three times in a row";
        case health_recovered: return "Automatic time updates work again";
        case health_clock_off: return "AutoCheck found the clock more than a second off";
        default: return "";
    }
}

std::int64_t health_period_ms(const chronobel_state& state) {
    const settings_record& s = state.settings;
    if (s.autosync_enabled) return auto_kind_period_ms(state, auto_sync);
    if (s.autocheck_enabled) return auto_kind_period_ms(state, auto_check);
    return 0;
}

bool result_off_by_more_than_a_second(const query_engine& e) {
    const std::int64_t seconds = e.time_difference_s;
    return magnitude(e.offset) > static_cast<std::uint64_t>(clock_off_limit) ||
           magnitude(seconds) > static_cast<std::uint64_t>(time_off_limit_s);
}

void note_health_start(chronobel_state& state, auto_kind kind) {
    health_operation_started(state.health, kind, state.correct_requested != 0);
}

void note_health_end(chronobel_state& state, operation_outcome outcome, std::uint64_t now) {
    const bool off = outcome == operation_outcome::succeeded && result_off_by_more_than_a_second(state.engine);
    const std::uint32_t events = health_operation_ended(state.health, outcome, off, now);
    if (events == health_none) return;
    for (health_event event : {health_failing, health_recovered, health_clock_off}) {
        if (!(events & event)) continue;
        if (!state.settings.log_disabled) write_log_line(state, health_event_text(event), "");
        report_health_event(state, event);
        if (const health_listener hear = listener.load()) hear(state, event);
    }
    state.health.pending |= events;
    state.view().post_command(command_health_changed);
}

void set_health_listener(health_listener hear) { listener = hear; }

}  // namespace orvane
