// The time-zone lock: puts the locked zone back when it has been changed.
#pragma once
#include "core/state.h"

namespace orvane {

// Called before every operation and at start-up. The lock itself is not
// built yet, so for now this does nothing.
void check_time_zone(chronobel_state& state);

}  // namespace orvane
