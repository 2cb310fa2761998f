// AutoSync in the service: the start message, and a correction each time the
// AutoSync period has passed. The service has no window and so no timer of
// its own; the worker calls these from its loop.
#pragma once
#include "core/state.h"

namespace orvane {

// Shows "Started Service, ..." and starts the first period. With neither
// AutoSync nor the built-in servers on, the service would do nothing, so
// AutoSync every 4 hours is switched on; AutoCheck has no place in a service.
void service_start_message(chronobel_state& state);
// One idle pass of the service's worker: arms the period, or starts a
// correction when it has passed.
void service_autosync(chronobel_state& state);

}  // namespace orvane
