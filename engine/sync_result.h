// Turning a valid reply into a clock setting or a check result.
#pragma once
#include <cstdint>
#include <string>
#include "core/state.h"

namespace orvane {

// Modes of compose_result_text.
enum result_text_mode : int { result_in_log = 0, result_after_correction = 1, result_after_check = 2 };

// Offsets up to this many whole seconds are applied as offsets; larger ones
// take the server's absolute time.
constexpr std::int64_t sntp_offset_limit_s = 1'500'000;

// Computes the server's time and, for a correction, sets the clock; writes
// the log entry. Sets the engine's `failed` when the clock cannot be set.
int apply_result(chronobel_state& state, bool correct);
// Appends the result description ("Time Corrected by 2.50000 Scs in 48ms")
// to `text`, and wakes the worker.
int compose_result_text(chronobel_state& state, std::string& text, result_text_mode mode);
// The status line once an operation has its result: after a correction
// (apply_result done) the result, or "Error setting Time Change Privileges"
// when the clock refused; after a check "Time Checked, " and the difference.
std::string operation_result_text(chronobel_state& state, bool correction);
// Moves the accepted date range to about a month before and a year after now.
void reset_date_range(chronobel_state& state);
// The worker's handling of a query that reached phase 6.
void complete_operation(chronobel_state& state);

// Whether the built-in clock display has a server time to run (set after the
// first completed check or successful correction).
extern std::atomic<std::uint8_t> server_clock_running;

// Exact conversions behind the above, for tests.
// An offset in 2^-32 s to 100 ns units, rounded to the nearest.
std::int64_t offset_to_filetime_units(std::int64_t offset);
// The offset's magnitude as seconds and five decimal digits, with its sign
// (none when the digits shown are all zero).
std::string offset_seconds_text(std::int64_t offset);
// The user's offset (amount × unit) in 100 ns units; 0 for an unknown unit.
std::int64_t user_offset_units(std::int32_t amount, std::int32_t multiplier);
// What "Minor" sets: the clock moved by the server's difference reduced to
// within half an hour, so whole hours between the two are kept.
filetime minor_correction(filetime clock_now, filetime server_time);
// A filetime rounded to the nearest millisecond.
filetime round_to_millisecond(filetime t);

}  // namespace orvane
