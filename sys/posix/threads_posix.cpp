#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include "sys/threads.h"

namespace orvane {
namespace {

struct posix_event {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

posix_event* as_event(event_handle e) { return static_cast<posix_event*>(e); }

// Set by the thread as its very last act. Waiting for it on the steady clock
// gives the join its limit (pthread_timedjoin_np would wait on the wall
// clock, which this program steps).
struct end_flag {
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
};

}  // namespace

struct joinable_thread::record {
    std::thread thread;
    std::shared_ptr<end_flag> end = std::make_shared<end_flag>();
};

bool joinable_thread::start(thread_proc proc, void* parameter) {
    if (record_) return false;
    auto* r = new (std::nothrow) record;
    if (!r) return false;
    try {
        r->thread = std::thread([proc, parameter, end = r->end] {
            proc(parameter);
            std::lock_guard<std::mutex> lock(end->mutex);
            end->ended = true;
            end->changed.notify_all();
        });
    } catch (const std::system_error&) {
        delete r;
        return false;
    }
    record_ = r;
    return true;
}

bool joinable_thread::join_for(std::uint32_t timeout_ms) {
    if (!record_) return true;
    {
        std::unique_lock<std::mutex> lock(record_->end->mutex);
        if (!record_->end->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                            [this] { return record_->end->ended; }))
            return false;
    }
    // The thread has done its last act; the join only waits for it to leave.
    record_->thread.join();
    delete std::exchange(record_, nullptr);
    return true;
}

// A thread that has ended is joined; one still running (or this very
// thread, when the last owner of what holds the object is the thread
// itself) goes on alone.
void joinable_thread::let_go() {
    if (!record_) return;
    bool ended;
    {
        std::lock_guard<std::mutex> lock(record_->end->mutex);
        ended = record_->end->ended;
    }
    if (ended && record_->thread.get_id() != std::this_thread::get_id())
        record_->thread.join();
    else
        record_->thread.detach();
    delete std::exchange(record_, nullptr);
}

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
