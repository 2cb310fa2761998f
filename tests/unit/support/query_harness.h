// A shared state whose engine points at loopback servers, and ways to run
// one query on it: on the test's thread, or on a thread of its own while the
// test watches.
#pragma once
#include <cstdint>
#include <memory>
#include <thread>
#include "core/state.h"
#include "engine/query.h"

namespace orvane::testing {

class query_harness {
public:
    query_harness();
    ~query_harness();
    query_harness(const query_harness&) = delete;
    query_harness& operator=(const query_harness&) = delete;

    // Prepares and runs one query on this thread; returns its result code.
    int run();
    // Prepares one query and runs it on a thread of the harness.
    void start();
    // Waits for that thread (at most 5 s, then gives up and reports false).
    bool join();
    // True once the engine's phase has reached `phase` (waits at most 5 s).
    bool wait_for_phase(std::int32_t phase) const;

    std::shared_ptr<chronobel_state> state = std::make_shared<chronobel_state>();
    query_engine& engine = state->engine;

private:
    std::thread thread_;
};

}  // namespace orvane::testing
