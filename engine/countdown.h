// The text that counts down to the next automatic operation.
#pragma once
#include <cstdint>
#include <string>
#include "core/state.h"

namespace orvane {

// "1 Hrs, 2 Mns until AutoSync": at most two units, largest first, the
// seconds whenever fewer than two units were written. Takes back a refresh
// request (auto_due above 10) once the text is made.
std::string format_countdown(chronobel_state& state);
std::string format_countdown(chronobel_state& state, std::uint64_t now);
// The same for a given number of milliseconds left.
std::string countdown_text(const chronobel_state& state, std::int64_t left_ms, bool autocheck);
// The milliseconds from `now` until due_start_tick + due_period_ms.
std::int64_t time_until_due(const chronobel_state& state, std::uint64_t now);

}  // namespace orvane
