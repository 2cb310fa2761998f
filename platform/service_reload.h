// What the service does when told that its settings changed.
#pragma once
#include "core/state.h"

namespace orvane {

// On the worker thread, between operations: reads the data files of the
// service's folder again, applies the service's rules, starts or stops the
// built-in servers as the new switch says, logs the reload and, with
// AutoSync on, corrects at once so that the new servers show at once
// whether they answer. The period starts again from here.
void reload_service_settings(chronobel_state& state);

}  // namespace orvane
