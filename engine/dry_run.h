// Dry-run mode: the clock is never set; what would be set is reported.
#pragma once
#include "core/state.h"
#include "sys/time_types.h"

namespace orvane {

// Shows the time that would be set (UTC) on the status line and counts it
// as set.
bool report_dry_run_set(chronobel_state& state, const system_time& utc);

}  // namespace orvane
