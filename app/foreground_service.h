// The service runtime of the native program, in the foreground: the worker,
// its AutoSync and the built-in servers run until SIGTERM or SIGINT, which
// act as the service's stop control.
#pragma once
#include "core/state.h"

namespace orvane {

// Returns the exit code (0) once the worker and the servers have ended.
int run_foreground_service(chronobel_state& state);

}  // namespace orvane
