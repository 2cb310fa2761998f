// The texts the time-zone dialog shows: transition dates and signed numbers.
// Portable, so that they are tested natively.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include "sys/time_types.h"

namespace orvane {

// A rule whose month is 0 names no transition.
inline bool has_transition(const system_time& rule) { return rule.month != 0; }

// The date a transition rule names, seen from the local date `today`: a rule
// with a year is that very date; a rule without one is the n-th (5: the last)
// given weekday of its month, this year, or next year when the month has
// passed. Nothing for a rule that names no valid date.
std::optional<system_time> transition_date(const system_time& rule, const system_time& today);
// "time date" of a rule in the user's formats, from today's local date;
// `none_text` (UI string 103, "None") for a rule that names no transition.
std::string format_transition_date(const system_time& rule, std::string_view none_text);
// Decimal text of a signed value: "-" before the digits when negative.
std::string format_signed(std::int32_t value);

}  // namespace orvane
