// The threads that use the shared state: the worker, the two built-in
// servers and the query. The creating thread hands each new thread an owner
// of the state of its own, so a thread keeps the state alive however late it
// starts; the state keeps the threads' handles, and the program joins every
// one, with a time limit, before its globals go away.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>
#include "sys/threads.h"

namespace orvane {

class chronobel_state;

// `pipe`: the service's pipe server, or the desktop program's request to it.
enum class program_thread : int { worker = 0, time_server, sntp_server, query, pipe };
constexpr int program_thread_count = 5;

// The handles, one slot per kind. A thread replaced in its slot while it
// still runs (a query abandoned by an abort) waits in `replaced` for the end.
struct program_thread_set {
    std::mutex mutex;
    joinable_thread slots[program_thread_count];
    std::vector<joinable_thread> replaced;
    bool closing = false;  // set by join_program_threads: no more starts
};

// Starts body(state) on a new thread in `slot`. The thread holds an owner of
// `state` (which must be held by a shared_ptr) until body returns. False
// when no thread starts: the state has no owner left, the program is ending,
// or the system refused.
bool start_program_thread(chronobel_state& state, program_thread slot, std::function<void(chronobel_state&)> body);

// No thread starts after this (the program is ending).
void stop_starting_program_threads(chronobel_state& state);
// After this no thread starts; then every thread of the set is joined, all
// within `limit_ms`. Returns the names of the threads that are still
// running (empty when all have ended).
std::vector<const char*> join_program_threads(chronobel_state& state, std::uint32_t limit_ms);

const char* program_thread_name(program_thread slot);

}  // namespace orvane
