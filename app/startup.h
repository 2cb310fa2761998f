// Starting the worker thread and what goes with it, and ending every thread
// of the program; used by the window's deferred start-up, by the service and
// by the native program.
#pragma once
#include <cstdint>
#include "core/state.h"

namespace orvane {

// How long the program's threads together may take to end at its end.
constexpr std::uint32_t thread_end_limit_ms = 4000;
// The exit code of a program that had to end with a thread still running.
constexpr int threads_overran_exit_code = 70;

// Starts the worker (first pass at once), the "On Chronobel start" action,
// the built-in servers when enabled, and checks the time-zone lock. Each
// thread holds an owner of the state of its own. Returns 0, or
// worker_not_started when its event or its thread could not be made (then
// nothing else is started).
enum start_worker_result : int { worker_started = 0, worker_not_started = 20 };
int start_worker(chronobel_state& state);

// The program's end, before any global goes away: stops the worker, the
// servers and a running query, and joins their threads within
// thread_end_limit_ms. A thread that does not end in time is logged (under
// the error log switch) and the process ends at once with
// threads_overran_exit_code, so nothing is freed under the thread.
void end_program_threads(chronobel_state& state, std::uint32_t limit_ms = thread_end_limit_ms);

}  // namespace orvane
