// The service's own entries in the system's event log (platform/event_log.h)
// about its operations: each failed AutoSync, each correction larger than
// a second and the notices of failing and recovering. The window writes none; the service's start and stop are
// written by its runtime. The engine reaches platform/ here alone, as the
// SNTP server reaches the service calls: the entries follow its operations.
#pragma once
#include <cstdint>
#include "core/health.h"
#include "core/state.h"

namespace orvane {

// Corrections by more than this (100 ns units) are entered.
constexpr std::int64_t logged_correction_units = 10'000'000;

// An automatic operation of the service failed (its worker calls this): the
// server last asked and the failure's text (failure_text).
void report_automatic_failure(const chronobel_state& state);
// The service moved the clock by `moved` (100 ns units): an entry with the
// server and the difference when it is more than a second either way.
void report_service_correction(const chronobel_state& state, std::int64_t moved);
// A notice of the service's automatic operations (three failures in a row,
// working again, a check that found the clock off), with the server asked.
void report_health_event(const chronobel_state& state, health_event event);

}  // namespace orvane
