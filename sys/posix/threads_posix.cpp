#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include "sys/threads.h"

namespace orvane {
namespace {

struct posix_event {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

posix_event* as_event(event_handle e) { return static_cast<posix_event*>(e); }

// Handed to every thread so that a handle can be returned and closed like a
// Windows one; the thread itself runs detached.
struct started_marker {};
started_marker g_marker;

}  // namespace

thread_handle start_thread(thread_proc proc, void* parameter) {
    try {
        std::thread(proc, parameter).detach();
    } catch (...) {
        return nullptr;
    }
    return &g_marker;
}

void close_thread_handle(thread_handle) {}

event_handle create_manual_event() { return new (std::nothrow) posix_event; }

void set_event(event_handle e) {
    if (!e) return;
    std::lock_guard<std::mutex> lock(as_event(e)->mutex);
    as_event(e)->signalled = true;
    as_event(e)->changed.notify_all();
}

void reset_event(event_handle e) {
    if (!e) return;
    std::lock_guard<std::mutex> lock(as_event(e)->mutex);
    as_event(e)->signalled = false;
}

bool wait_event(event_handle e, std::uint32_t timeout_ms) {
    if (!e) return false;
    std::unique_lock<std::mutex> lock(as_event(e)->mutex);
    auto ready = [e] { return as_event(e)->signalled; };
    if (timeout_ms == 0xFFFFFFFFu) {
        as_event(e)->changed.wait(lock, ready);
        return true;
    }
    return as_event(e)->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready);
}

void close_event(event_handle e) { delete as_event(e); }

}  // namespace orvane
