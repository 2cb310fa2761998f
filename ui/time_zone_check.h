// The time-zone lock: puts the locked zone back when it has been changed.
#pragma once
#include "core/state.h"

namespace orvane {

// Compares the zone in force with the locked one and restores it when the
// lock is on. Reads only, until the lock itself is built.
void check_time_zone(chronobel_state& state);

}  // namespace orvane
