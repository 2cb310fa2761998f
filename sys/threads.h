// Threads and manual-reset events.
#pragma once
#include <cstdint>

namespace orvane {

using thread_proc = void (*)(void* parameter);
// An opaque thread handle; null when none.
using thread_handle = void*;
// An opaque manual-reset event; null when none.
using event_handle = void*;

// Starts a thread running proc(parameter). Returns its handle, or null when
// the thread could not be started. The handle must be given to
// close_thread_handle (threads are never joined).
thread_handle start_thread(thread_proc proc, void* parameter);
void close_thread_handle(thread_handle thread);

event_handle create_manual_event();
void set_event(event_handle event);
void reset_event(event_handle event);
// True when the event was signalled within `timeout_ms` (0xFFFFFFFF: forever).
bool wait_event(event_handle event, std::uint32_t timeout_ms);
void close_event(event_handle event);

}  // namespace orvane
