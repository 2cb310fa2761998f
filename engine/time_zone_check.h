// The time-zone lock: puts the locked zone back when someone has changed its
// bias, keeps a copy of the zone in force, and names it in the window title.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include "core/state.h"

namespace orvane {

// -1 unknown (the last reading failed or none was made), 0 standard time, 1 daylight time.
extern std::atomic<std::int32_t> time_zone_phase;
// The zone's display name from the last successful lookup (empty before one).
std::u16string time_zone_display_name_text();

// Runs at the end of start-up, before every operation and when the time-zone
// dialog opens. With the lock on and the bias changed it writes the locked
// zone back (or, where the zone is never written, reports the change); then
// stores the zone in force as the locked one, sets the phase, the title of
// the window (not in the service) and the display name.
void check_time_zone(chronobel_state& state);

}  // namespace orvane
