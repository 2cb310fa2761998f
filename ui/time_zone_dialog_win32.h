// The time-zone dialog (1001): the zone in force, its two periods, and the
// box that locks it.
#pragma once
#include <windows.h>
#include "core/state.h"

namespace orvane {

// Checks the lock (so that the dialog shows the zone it would lock), then
// shows the dialog modally over `owner` until OK closes it, which stores the
// box in the settings. Returns 0 when OK closed it, -1 when it could not open.
int show_time_zone_dialog(HWND owner, chronobel_state& state);

}  // namespace orvane
