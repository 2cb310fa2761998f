#include "engine/countdown.h"
#include "core/auto_period.h"
#include "engine/auto_backoff.h"
#include "sys/clock.h"

namespace orvane {

namespace {

// A failed automatic operation's retry: "AutoSync failed, retry in 2 Mns, 0
// Scs". Like " Scs" they are the program's own fixed English: the numbered
// table of interface texts has no free lines.
constexpr char autosync_retry_text[] = "AutoSync failed, retry in ";
constexpr char autocheck_retry_text[] = "AutoCheck failed, retry in ";

// "1 Hrs, 2 Mns": at most two units, largest first, the seconds whenever
// fewer than two units were written.
std::string duration_text(const chronobel_state& state, std::int64_t left_ms) {
    std::int64_t seconds = left_ms / 1000;
    const std::int64_t days = left_ms / 86'400'000;
    std::string text;
    int parts = 0;
    auto append = [&](std::int64_t value, text_id unit_text) {
        if (parts > 0) text += ", ";
        text += std::to_string(value);
        text += state.ui_text(unit_text);
        ++parts;
    };
    if (days > 0) {
        append(days, text_id::days_short);
        seconds -= days * 86'400;
    }
    const std::int64_t hours = seconds / 3600;
    if (hours > 0) {
        append(hours, text_id::hours_short);
        seconds -= hours * 3600;
    }
    if (parts < 2) {
        const std::int64_t minutes = seconds / 60;
        if (minutes > 0) {
            append(minutes, text_id::minutes_short);
            seconds -= minutes * 60;
        }
        if (parts < 2) append(seconds, text_id::seconds_short);
    }
    return text;
}

}  // namespace

std::string countdown_text(const chronobel_state& state, std::int64_t left_ms, bool autocheck) {
    return duration_text(state, left_ms) + state.ui_text(autocheck ? text_id::until_autocheck : text_id::until_autosync);
}

std::string retry_countdown_text(const chronobel_state& state, std::int64_t left_ms, bool autocheck) {
    return (autocheck ? autocheck_retry_text : autosync_retry_text) + duration_text(state, left_ms);
}

std::int64_t time_until_due(const chronobel_state& state, std::uint64_t now) {
    return time_left_ms(state.due_start_tick, state.due_period_ms, now);
}

std::string format_countdown(chronobel_state& state, std::uint64_t now) {
    std::int32_t due = state.auto_due.load();
    while (due > 10 && !state.auto_due.compare_exchange_weak(due, due - 10)) {
    }
    const std::int32_t armed = state.auto_due.load();
    const bool autocheck = armed == 1 || armed == 11;
    const std::int64_t left = time_until_due(state, now);
    return retry_armed(state) ? retry_countdown_text(state, left, autocheck) : countdown_text(state, left, autocheck);
}

std::string format_countdown(chronobel_state& state) { return format_countdown(state, tick_count64()); }

}  // namespace orvane
