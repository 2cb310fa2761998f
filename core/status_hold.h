// How long the status line keeps a text before the worker replaces it: a
// result, a failure or a server's message stays long enough to be read, then
// "Ready" is shown for a while, then the countdown comes back. Measured on
// the tick clock (sys/clock.h), not in worker passes, whose length varies
// from 100 ms to 30 s.
#pragma once
#include <cstdint>
#include <limits>
#include "core/state.h"

namespace orvane {

// A text someone should be able to read stays this long at least.
constexpr std::uint64_t status_text_hold_ms = 10'000;
// Then "Ready" stays this long before the countdown.
constexpr std::uint64_t status_ready_hold_ms = 10'000;
// The service's status line is never replaced by "Ready" or the countdown.
constexpr std::uint64_t status_hold_forever = std::numeric_limits<std::uint64_t>::max();

// The status line's current text stays for status_text_hold_ms from now.
void hold_status_text(chronobel_state& state);
// "Ready" is due at the worker's next pass, and stays for status_ready_hold_ms.
void show_ready_next(chronobel_state& state);
// No hold: the worker's next pass may show the countdown.
void release_status(chronobel_state& state);

// What the status line may show at tick `now` (tick_count64).
enum class status_hold_stage { text, ready, free };
status_hold_stage status_hold_at(const chronobel_state& state, std::uint64_t now);

}  // namespace orvane
