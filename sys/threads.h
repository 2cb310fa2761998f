// Threads and manual-reset events.
#pragma once
#include <cstdint>

namespace orvane {

using thread_proc = void (*)(void* parameter);
// An opaque manual-reset event; null when none.
using event_handle = void*;

// A thread that its starter joins with a time limit. A thread that misses
// its limit is still running: the caller decides what follows (the program
// ends the process rather than free what the thread may still use). The
// object may be moved, not copied. Destroyed while its thread still runs, it
// lets the thread go on alone, so such a thread must own what it uses.
class joinable_thread {
public:
    joinable_thread() = default;
    ~joinable_thread();
    joinable_thread(joinable_thread&& other) noexcept;
    joinable_thread& operator=(joinable_thread&& other) noexcept;
    joinable_thread(const joinable_thread&) = delete;
    joinable_thread& operator=(const joinable_thread&) = delete;

    // Starts proc(parameter) (when no thread is held). False when no
    // thread could be started; proc then never runs.
    bool start(thread_proc proc, void* parameter);
    // A thread was started and has not been joined yet.
    bool joinable() const { return record_ != nullptr; }
    // Waits at most `timeout_ms` for the thread to end and joins it. True
    // when it has ended (or none was held); false when it still runs.
    bool join_for(std::uint32_t timeout_ms);

private:
    struct record;
    void let_go();
    record* record_ = nullptr;
};

event_handle create_manual_event();
void set_event(event_handle event);
void reset_event(event_handle event);
// True when the event was signalled within `timeout_ms` (0xFFFFFFFF: forever).
bool wait_event(event_handle event, std::uint32_t timeout_ms);
void close_event(event_handle event);

}  // namespace orvane
