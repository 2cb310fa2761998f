// Resynchronisation after resume and when the network returns: the automatic
// operation (AutoSync when on, else AutoCheck) starts about 10 s after the
// latest ask, at most once a minute, never during an operation.
#pragma once
#include <cstdint>
#include <limits>
#include "core/state.h"

namespace orvane {

// Time for the network to come up after the event.
constexpr std::int64_t resync_settle_ms = 10'000;
// Events come in bursts (several addresses, resume then address): one
// operation a minute at most.
constexpr std::int64_t resync_spacing_ms = 60'000;
// A jump of the time slept (sys/suspend.h) this large is a resume; below it,
// the two clocks' reading jitter.
constexpr std::int64_t resume_jump_ms = 2'000;
constexpr std::int64_t no_resync_pending = std::numeric_limits<std::int64_t>::max();

// Asks for a resynchronisation at tick `now` and wakes the worker; any thread.
void ask_resync(chronobel_state& state, std::uint64_t now);
void ask_resync(chronobel_state& state);
// Milliseconds until the asked resynchronisation may start (0 or less: now),
// or no_resync_pending.
std::int64_t resync_wait_ms(const chronobel_state& state, std::uint64_t now);
// Between two looks at the time slept: true when the machine slept between.
constexpr bool resumed_between(std::int64_t slept_before_ms, std::int64_t slept_now_ms) {
    return slept_now_ms - slept_before_ms >= resume_jump_ms;
}
// The worker's idle pass: starts the automatic operation when an ask is due
// and none runs. Returns true when one was started.
bool resync_if_due(chronobel_state& state, std::uint64_t now);

}  // namespace orvane
