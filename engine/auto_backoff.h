// The backoff of failed automatic operations (core/auto_backoff.h) as the
// worker, the service's AutoSync and the window's timer use it.
#pragma once
#include <cstdint>
#include <limits>
#include "core/auto_backoff.h"
#include "core/state.h"

namespace orvane {

// What retry_left_ms says when no retry is pending.
constexpr std::int64_t no_retry_pending = std::numeric_limits<std::int64_t>::max();

// An operation starts: `kind` is the automatic operation it is, auto_none for
// one by hand. An automatic one takes up the pending retry.
void note_operation_start(chronobel_state& state, auto_kind kind);
enum class operation_outcome { succeeded, failed, aborted };
// An operation ended at tick `now`. An automatic one that succeeded ends the
// backoff; one that failed makes the next retry pending; the user's Abort
// changes nothing. Returns true when a retry became pending.
bool note_operation_end(chronobel_state& state, operation_outcome outcome, std::uint64_t now);
// The period of the given automatic operation from the settings.
std::int64_t auto_kind_period_ms(const chronobel_state& state, std::int32_t kind);
// The wait of the pending retry, 0 when none is pending.
std::int64_t pending_retry_delay_ms(const chronobel_state& state);
// Milliseconds from `now` until the pending retry (negative once due), or
// no_retry_pending.
std::int64_t retry_left_ms(const chronobel_state& state, std::uint64_t now);
// Whether the armed due time (auto_due, due_start_tick) is the pending retry.
bool retry_armed(const chronobel_state& state);

}  // namespace orvane
