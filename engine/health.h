// The rules behind the tray icon's look, "Last synced ... ago" and the
// notices (core/health.h): pure functions on the record with ticks given,
// and the worker's calls at each operation's start and end.
#pragma once
#include <cstdint>
#include <string>
#include "core/health.h"
#include "core/state.h"
#include "engine/auto_backoff.h"

namespace orvane {

// Automatic operations failed this many times in a row: the icon turns to
// "failing" and the notice is given.
constexpr int failing_streak = 3;
// A check that finds more than this is "off" (2^-32 s units, one second).
constexpr std::int64_t clock_off_limit = std::int64_t{1} << 32;

enum class tray_look { in_sync, stale, failing };

// Watching begins at tick `now` (the worker's start).
void health_begin(health_record& h, std::uint64_t now);
void health_operation_started(health_record& h, auto_kind kind, bool correction);
// The running operation ended at tick `now`; `off` says a check found more
// than a second. Returns the notices it raises (health_event bits); an
// aborted operation changes nothing.
std::uint32_t health_operation_ended(health_record& h, operation_outcome outcome, bool off, std::uint64_t now);
// Failing after the streak; stale when the clock was found off or the last
// success (or, without one, the start) is older than twice `period_ms`
// (0: no automatic operation, no such age); else in sync.
tray_look current_tray_look(const health_record& h, std::int64_t period_ms, std::uint64_t now);
// "Last synced 3 h ago", "Last checked 5 min ago", "Never synced".
std::string last_good_text(const health_record& h, std::uint64_t now);
// The notice's text, for the balloon and the log.
const char* health_event_text(health_event event);

// The period that the age rule uses: AutoSync's when on, else AutoCheck's,
// else 0.
std::int64_t health_period_ms(const chronobel_state& state);
// Whether the engine's last result is more than a second off.
bool result_off_by_more_than_a_second(const query_engine& e);

// The worker's calls. At the end the notices are logged (unless the log is
// off), handed to the listener, and left in `pending` for the window.
void note_health_start(chronobel_state& state, auto_kind kind);
void note_health_end(chronobel_state& state, operation_outcome outcome, std::uint64_t now);
// Hears each notice on the worker thread (the service's Event Log, say).
using health_listener = void (*)(chronobel_state& state, health_event event);
void set_health_listener(health_listener listener);

}  // namespace orvane
