// The line that names the built-in servers at work, shown beside "Ready", the
// countdown and in the tray icon's tip.
#pragma once
#include "core/state.h"

namespace orvane {

// "TIME Server Active" (server_state 1), "SNTP Server Active" (2), or "TIME
// and SNTP Server Active" (any other).
const char* server_state_text(const chronobel_state& state);

}  // namespace orvane
