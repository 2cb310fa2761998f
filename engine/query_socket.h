// Who may touch query_socket, and when. The query thread creates the socket
// and publishes it in query_socket under query_mutex (only while its query
// is the engine's); before closing it, the query thread takes it out again
// under query_mutex. Other threads (abort, time-out) only end the blocked
// calls of the handle they find in query_socket, and only while they hold
// query_mutex; an abort that gives up on a query takes the handle out under
// the same lock. So no thread shuts down a handle after its close, and a
// handle number that a later socket reuses is never touched by an abort.
#pragma once
#include "core/query_engine.h"

namespace orvane {

// Any thread: wakes the running query's blocked receive, connect or send.
void end_query_socket_calls(query_engine& engine);
// The query thread at its end: takes its socket `own` out of query_socket
// (when it is still there) and closes it.
void close_query_socket(query_engine& engine, socket_handle own);

}  // namespace orvane
