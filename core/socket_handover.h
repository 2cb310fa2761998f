// How another thread stops a socket that a server thread owns, without ever
// touching a closed handle (whose number a new socket may already reuse).
// The owner publishes its socket in an atomic; the stopper takes it from
// there and ends its blocked calls, both under the hand-over lock; the owner
// takes it back under the same lock before it closes it. Whoever comes
// second finds the handle gone, so no wait and no grace time is needed.
#pragma once
#include <atomic>
#include "sys/sockets_types.h"

namespace orvane {

// The stopper: takes the published socket and wakes its blocked calls.
void stop_published_socket(std::atomic<socket_handle>& published);
// The owner, before closing `own`: after this no stopper can reach it.
// False when a stopper had taken it already.
bool withdraw_published_socket(std::atomic<socket_handle>& published, socket_handle own);

}  // namespace orvane
