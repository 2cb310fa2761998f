// AutoSync in the service: the start message, and a correction each time the
// AutoSync period has passed. The service has no window and so no timer of
// its own; the worker calls these from its loop.
#pragma once
#include "core/state.h"

namespace orvane {

// Shows "Started Service, ..." and starts the first period, after the
// service's own rules for its settings (service_settings_rules).
void service_start_message(chronobel_state& state);
// With neither AutoSync nor the built-in servers on, the service would do
// nothing, so AutoSync every 4 hours is switched on; AutoCheck has no place
// in a service.
void service_settings_rules(settings_record& s);

// Reads the service's settings again (the program's entry hands it over, as
// restarting the servers is above this layer). The worker calls it between
// operations when the reload control came.
using service_reloader = void (*)(chronobel_state& state);
void set_service_reloader(service_reloader reload);
// One idle pass of the service's worker: reads the settings again when the
// reload control came, arms the period, or starts a correction when it has
// passed.
void service_autosync(chronobel_state& state);

}  // namespace orvane
