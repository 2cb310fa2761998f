#include "engine/sync_result.h"
#include <cinttypes>
#include <cstdio>
#include "core/status_hold.h"
#include "engine/asked_operation.h"
#include "engine/average_texts.h"
#include "engine/log.h"
#include "engine/dry_run.h"
#include "engine/service_events.h"
#include "sys/clock.h"
#include "sys/threads.h"
#include "sys/time_format.h"

namespace orvane {

std::atomic<std::uint8_t> server_clock_running{0};

namespace {

constexpr std::int64_t units_per_second = 10'000'000;
constexpr std::int64_t units_per_hour = 3600 * units_per_second;

std::uint64_t magnitude(std::int64_t v) {
    return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// Appends at most `limit` characters of `piece`, keeping the whole under 600.
void append_limited(std::string& text, std::string_view piece, std::size_t limit = 100) {
    constexpr std::size_t whole_limit = 599;
    if (piece.size() > limit) piece = piece.substr(0, limit);
    if (text.size() >= whole_limit) return;
    text.append(piece.substr(0, whole_limit - text.size()));
}

// The server's time as a filetime: the reply's time plus what has passed
// since it arrived, in whole seconds of 1024 ms.
filetime absolute_server_time(chronobel_state& state) {
    query_engine& e = state.engine;
    const std::uint32_t now_tick = tick_count();
    state.server_time_tick = now_tick;
    const std::uint32_t elapsed = (now_tick - e.reply_tick) >> 10;
    return e.server_time + static_cast<filetime>(elapsed) * units_per_second;
}

void log_correction(chronobel_state& state, const std::string& old_time) {
    const settings_record& s = state.settings;
    if (!s.log_syncs || s.log_disabled) return;
    std::string message;
    append_limited(message, state.ui_text(text_id::chronobeled));
    if (s.log_old_time) {
        append_limited(message, state.ui_text(text_id::old_time_was));
        append_limited(message, old_time, 600);
    }
    if (s.log_response || s.log_correction) {
        append_limited(message, ", ");
        std::string result;
        compose_result_text(state, result, result_in_log);
        append_limited(message, result, 600);
    }
    append_limited(message, state.ui_text(text_id::server_used_was));
    write_log_entry(state, message);
}

void log_check(chronobel_state& state) {
    const settings_record& s = state.settings;
    if (!s.log_checks || s.log_disabled) return;
    std::string message = operation_result_text(state, false);
    append_limited(message, state.ui_text(text_id::server_used_was));
    write_log_entry(state, message);
}

// TIME was asked, chosen or forced by an implausible clock: no SNTP offset.
bool answered_over_time(const query_engine& e) {
    return effective_protocol(e) == protocol_time || e.force_time_protocol.load() != 0;
}

}  // namespace

std::int64_t offset_to_filetime_units(std::int64_t offset) {
    // Whole seconds and the binary fraction separately, so nothing overflows
    // and nothing is lost: fraction × 10^7 < 2^56.
    const std::int64_t seconds = offset >> 32;  // floor, also for negative offsets
    const std::uint64_t fraction = static_cast<std::uint32_t>(offset);
    return seconds * units_per_second + static_cast<std::int64_t>((fraction * units_per_second + (1ULL << 31)) >> 32);
}

std::string offset_seconds_text(std::int64_t offset) {
    const std::uint64_t m = magnitude(offset);
    std::uint64_t seconds = m >> 32;
    // Five decimals of the binary fraction, rounded; 2^32 / 10^5 is not whole.
    std::uint64_t digits = ((m & 0xFFFFFFFFULL) * 100'000 + (1ULL << 31)) >> 32;
    if (digits == 100'000) {
        ++seconds;
        digits = 0;
    }
    // A tiny negative offset that rounds to nothing shows no sign.
    const bool negative = offset < 0 && (seconds != 0 || digits != 0);
    char text[48];
    std::snprintf(text, sizeof text, "%s%" PRIu64 ".%05" PRIu64, negative ? "-" : "", seconds, digits);
    return text;
}

std::int64_t user_offset_units(std::int32_t amount, std::int32_t multiplier) {
    // The options page offers seconds, minutes and hours.
    static const std::int64_t unit_seconds[] = {1, 60, 3600};
    if (multiplier < 0 || multiplier > 2) return 0;
    return std::int64_t{amount} * unit_seconds[multiplier] * units_per_second;
}

filetime minor_correction(filetime clock_now, filetime server_time) {
    std::int64_t difference = static_cast<std::int64_t>(server_time - clock_now);
    difference %= units_per_hour;
    if (difference > units_per_hour / 2) difference -= units_per_hour;
    if (difference < -units_per_hour / 2) difference += units_per_hour;
    return clock_now + static_cast<filetime>(difference);
}

filetime round_to_millisecond(filetime t) { return (t + 5'000) / 10'000 * 10'000; }

int compose_result_text(chronobel_state& state, std::string& text, result_text_mode mode) {
    const query_engine& e = state.engine;
    const settings_record& s = state.settings;
    append_limited(text,
                   state.ui_text(mode == result_after_check ? text_id::difference_found : text_id::time_corrected));
    if (e.offset != 0 && (s.log_correction || mode != result_in_log)) {
        append_limited(text, state.ui_text(mode == result_after_check ? text_id::as : text_id::by));
        append_limited(text, offset_seconds_text(e.offset));
        append_limited(text, state.ui_text(text_id::seconds_short));
        if (e.servers_asked > 1) {
            append_limited(text, average_servers_open);
            append_limited(text, std::to_string(e.servers_agreeing));
            append_limited(text, average_servers_of);
            append_limited(text, std::to_string(e.servers_asked));
            append_limited(text, average_servers_close);
        }
    } else if (e.offset == 0 && answered_over_time(e) && mode == result_after_check) {
        // A TIME check knows the difference to the whole second only, and
        // says so, also when it is none.
        append_limited(text, state.ui_text(text_id::as));
        append_limited(text, std::to_string(e.time_difference_s));
        append_limited(text, state.ui_text(text_id::seconds_short));
    }
    if (s.log_response || mode == result_after_correction) {
        append_limited(text, state.ui_text(text_id::in));
        append_limited(text, std::to_string(static_cast<std::uint32_t>(e.response_ms)));
        append_limited(text, "ms");
    }
    set_event(state.worker_event);
    return 0;
}

std::string operation_result_text(chronobel_state& state, bool correction) {
    std::string text;
    if (correction) {
        if (state.engine.failed) return state.ui_text(text_id::error_setting_privileges);
        compose_result_text(state, text, result_after_correction);
        return text;
    }
    text = state.ui_text(text_id::time_checked);
    text += ", ";
    compose_result_text(state, text, result_after_check);
    return text;
}

int apply_result(chronobel_state& state, bool correct) {
    query_engine& e = state.engine;
    const settings_record& s = state.settings;
    // The servers whose answers "Average" left out are named, whatever the log switches.
    if (!e.servers_left_out.empty() && !s.log_disabled) write_log_line(state, average_left_out, e.servers_left_out);
    const bool sntp = effective_protocol(e) == protocol_sntp;
    // The limit applies to the offset's size in either direction.
    if (sntp && !e.force_time_protocol && magnitude(e.offset) >> 32 > static_cast<std::uint64_t>(sntp_offset_limit_s))
        e.force_time_protocol = 1;

    // The server's time, and how far the clock is from it.
    filetime t;
    std::int64_t difference = 0;
    if (sntp && state.correct_requested && !e.force_time_protocol) {
        difference = offset_to_filetime_units(e.offset);
        t = system_time_now() + static_cast<filetime>(difference);
    } else {
        t = absolute_server_time(state);
        difference = static_cast<std::int64_t>(t - system_time_now());
    }
    state.server_local_time = filetime_to_local(t);
    if (!correct) {
        log_check(state);
        return 0;
    }

    const filetime server_time = t;
    if (s.offset_amount != 0) {
        const std::int64_t delta = user_offset_units(s.offset_amount, s.offset_multiplier);
        t += static_cast<filetime>(s.offset_direction == 1 ? -delta : delta);
    }
    const filetime clock_now = system_time_now();
    if (s.minor) t = minor_correction(clock_now, t);
    // The user's offset and "Minor" move the clock by more or less than the
    // difference (the millisecond's rounding is left out).
    const std::int64_t moved = difference + static_cast<std::int64_t>(t - server_time);
    t = round_to_millisecond(t);

    const std::string old_time = format_time(local_time_now());
    const system_time target = filetime_to_system_time(t);
    const bool changed = state.dry_run ? report_dry_run_set(state, target) : set_system_time(target);
    if (!changed) {
        e.failed = 1;
        e.failure_text = state.ui_text(text_id::error_setting_privileges);
    }

    state.server_time_tick = tick_count();
    if (s.offset_amount == 0) {
        // The display shows the clock as now set (in a dry run: as it would be).
        filetime shown = 0;
        if (state.dry_run)
            shown = filetime_to_local(t);
        else
            system_time_to_filetime(local_time_now(), shown);
        state.server_local_time = shown;
    }
    state.correct_requested = 0;
    if (changed) {
        log_correction(state, old_time);
        report_service_correction(state, moved);
    }
    return 0;
}

void reset_date_range(chronobel_state& state) { change_query_inputs(state.engine, set_default_date_range); }

namespace {

// The window shows the result; the service, which has none, keeps it for
// the one who asked over its pipe.
void show_result_text(chronobel_state& state, const std::string& text) {
    if (running_as_service)
        keep_result_text(state, text);
    else
        state.view().set_text(control_status_line, text);
}

}  // namespace

void complete_operation(chronobel_state& state) {
    query_engine& e = state.engine;
    const bool service = running_as_service != 0;
    if (!service) {
        state.view().set_text(control_server_name, e.server_name);
        hold_status_text(state);
    }
    bool clock_runs = true;
    if (state.correct_requested) {
        apply_result(state, true);
        if (e.date_range_enabled && e.date_range_auto_reset) reset_date_range(state);
        const std::string text = operation_result_text(state, true);
        clock_runs = !e.failed;
        show_result_text(state, text);
    } else {
        const std::string text = operation_result_text(state, false);
        show_result_text(state, text);
        apply_result(state, false);
    }
    if (clock_runs) server_clock_running = 1;
}

}  // namespace orvane
