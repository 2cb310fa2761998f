// The worker thread: starts operations, follows the running query on the
// status line, ends a query that takes too long, hands results on, and keeps
// the clocks and the countdown on screen.
#pragma once
#include <atomic>
#include "core/state.h"
#include "engine/auto_backoff.h"

namespace orvane {

// How many of the five step texts of the running operation have been shown.
extern std::atomic<int> status_step;

// The body of the worker thread; returns when stop_requested is set.
void worker_loop(chronobel_state& state);
// Starts a check or a correction (by correct_requested); `automatic` names
// the automatic operation it is (auto_none: one by hand). Returns 0 when one
// runs already, the query's refusal, or the server list's result.
int start_operation(chronobel_state& state, auto_kind automatic = auto_none);
// The user's Abort: the running query is stopped (abort_query) and the
// operation ends with it, without trying another server or protocol.
void abort_operation(chronobel_state& state);
// Gives the buttons back when an operation ends.
void restore_idle_controls(chronobel_state& state);
// The end of an operation whose query thread has finished: the controls
// are restored first, and the engine is marked idle as the very last step,
// so "idle" means the operation has ended. The outcome feeds the backoff of
// automatic operations; the window is told when a retry became pending.
void end_operation(chronobel_state& state, operation_outcome outcome = operation_outcome::failed);
// Test seam: called between those two steps (null: nothing).
using operation_end_pause = void (*)();
void set_operation_end_pause(operation_end_pause pause);
// Closes the built-in servers' sockets, which ends their threads.
int close_server_sockets(chronobel_state& state);
// Ends the program once the operation now starting has finished ("Auto
// Start, Sync, then Exit").
void exit_after_operation(bool enabled);

}  // namespace orvane
