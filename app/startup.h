// Starting the worker thread and what goes with it; used by the window's
// deferred start-up, by the service and by the native program.
#pragma once
#include <memory>
#include "core/state.h"

namespace orvane {

// Starts the worker (first pass at once), the "On Chronobel start" action,
// the built-in servers when enabled, and checks the time-zone lock. `owner`
// is the shared pointer whose address the threads start with. Returns 0, or
// worker_not_started when its event or its thread could not be made (then
// nothing else is started).
enum start_worker_result : int { worker_started = 0, worker_not_started = 20 };
int start_worker(chronobel_state& state, std::shared_ptr<chronobel_state>* owner = &g_thread_state);
// The worker thread's start routine; the parameter is the owner's address.
void worker_thread_entry(void* parameter);

}  // namespace orvane
