// The AutoSync and AutoCheck periods: a count of minutes, hours or days, as
// the settings store them. One table for the worker, the window's timer and
// the options, in 64 bits: 99 days do not fit a 32-bit millisecond count.
#pragma once
#include <cstdint>
#include "core/text_id.h"

namespace orvane {

enum auto_period_unit : int { unit_minutes = 0, unit_hours = 1, unit_days = 2 };

// Milliseconds of one unit; 0 for a unit outside the table.
constexpr std::int64_t auto_unit_ms(int unit) {
    switch (unit) {
        case unit_minutes: return 60'000;
        case unit_hours: return 3'600'000;
        case unit_days: return 86'400'000;
        default: return 0;
    }
}

constexpr std::int64_t auto_period_ms(int count, int unit) { return static_cast<std::int64_t>(count) * auto_unit_ms(unit); }

// What is left at tick `now` of a period that began at tick `start`
// (negative once it has passed).
constexpr std::int64_t time_left_ms(std::uint64_t start, std::int64_t period, std::uint64_t now) {
    return period - static_cast<std::int64_t>(now - start);
}

// The UI string that names a unit after a count (" Mns", " Hrs", " Days").
constexpr text_id auto_unit_text(int unit) {
    return unit == unit_minutes ? text_id::minutes_short
           : unit == unit_hours ? text_id::hours_short
                                : text_id::days_short;
}

}  // namespace orvane
