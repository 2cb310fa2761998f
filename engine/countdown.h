// The text that counts down to the next automatic operation.
#pragma once
#include <cstdint>
#include <string>
#include "core/state.h"

namespace orvane {

// "1 Hrs, 2 Mns until AutoSync": at most two units, largest first, the
// seconds whenever fewer than two units were written. Takes back a refresh
// request (auto_due above 10) once the text is made. While a failed
// operation's retry is armed, the retry's text (retry_countdown_text).
std::string format_countdown(chronobel_state& state);
std::string format_countdown(chronobel_state& state, std::uint64_t now);
// The same for a given number of milliseconds left.
std::string countdown_text(const chronobel_state& state, std::int64_t left_ms, bool autocheck);
// The same while the armed due time is a failed operation's retry
// ("AutoSync failed, retry in 1 Mns, 30 Scs").
std::string retry_countdown_text(const chronobel_state& state, std::int64_t left_ms, bool autocheck);
// The milliseconds from `now` until due_start_tick + due_period_ms.
std::int64_t time_until_due(const chronobel_state& state, std::uint64_t now);

}  // namespace orvane
