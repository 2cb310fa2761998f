#include "core/program_threads.h"
#include <chrono>
#include <memory>
#include <utility>
#include "core/state.h"

namespace orvane {
namespace {

// What a new thread is handed: its own owner of the state and its work.
struct thread_start {
    std::shared_ptr<chronobel_state> owner;
    std::function<void(chronobel_state&)> body;
};

void run_program_thread(void* parameter) {
    // The owner goes when the body has returned, and with it (for the last
    // owner) the state.
    const std::unique_ptr<thread_start> start(static_cast<thread_start*>(parameter));
    start->body(*start->owner);
}

// Joins the threads of `replaced` that have ended; the others stay.
void drop_ended(std::vector<joinable_thread>& replaced) {
    std::erase_if(replaced, [](joinable_thread& t) { return t.join_for(0); });
}

}  // namespace

const char* program_thread_name(program_thread slot) {
    switch (slot) {
        case program_thread::worker: return "worker";
        case program_thread::time_server: return "TIME server";
        case program_thread::sntp_server: return "SNTP server";
        case program_thread::query: return "query";
        case program_thread::pipe: return "pipe";
    }
    return "thread";
}

bool start_program_thread(chronobel_state& state, program_thread slot, std::function<void(chronobel_state&)> body) {
    // Made here, before the thread exists: a thread never copies an owner
    // from somewhere that may already be gone.
    auto start = std::make_unique<thread_start>(thread_start{state.weak_from_this().lock(), std::move(body)});
    if (!start->owner) return false;
    program_thread_set& set = state.threads;
    std::lock_guard<std::mutex> lock(set.mutex);
    if (set.closing) return false;
    joinable_thread& held = set.slots[static_cast<int>(slot)];
    drop_ended(set.replaced);
    if (!held.join_for(0)) set.replaced.push_back(std::move(held));
    joinable_thread thread;
    if (!thread.start(run_program_thread, start.get())) return false;
    start.release();  // the thread's now
    held = std::move(thread);
    return true;
}

void stop_starting_program_threads(chronobel_state& state) {
    std::lock_guard<std::mutex> lock(state.threads.mutex);
    state.threads.closing = true;
}

std::vector<const char*> join_program_threads(chronobel_state& state, std::uint32_t limit_ms) {
    program_thread_set& set = state.threads;
    std::vector<std::pair<program_thread, joinable_thread>> threads;
    {
        // Taken out, and joined without the lock: a thread that ends may
        // still try to start another (and is refused).
        std::lock_guard<std::mutex> lock(set.mutex);
        set.closing = true;
        for (int i = 0; i < program_thread_count; ++i)
            threads.emplace_back(static_cast<program_thread>(i), std::move(set.slots[i]));
        for (joinable_thread& t : set.replaced) threads.emplace_back(program_thread::query, std::move(t));
        set.replaced.clear();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    std::vector<const char*> still_running;
    for (auto& [slot, thread] : threads) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!thread.join_for(left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0))
            still_running.push_back(program_thread_name(slot));
    }
    return still_running;
}

}  // namespace orvane
