#include "support/query_harness.h"
#include <chrono>
#include "sys/threads.h"

namespace orvane::testing {
namespace {
using namespace std::chrono_literals;

template <typename Ready>
bool wait_up_to_5s(Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}
}  // namespace

query_harness::query_harness() {
    state->worker_event = create_manual_event();
    engine.server_name = "127.0.0.1";
}

// The state closes its worker event when it ends.
query_harness::~query_harness() {
    if (thread_.joinable()) thread_.join();
}

int query_harness::run() {
    if (const int code = prepare_query(engine)) return code;
    run_query(*state);
    return engine.result_code.load();
}

void query_harness::start() {
    if (prepare_query(engine) != 0) return;
    thread_ = std::thread([this] { run_query(*state); });
}

bool query_harness::join() {
    const bool ended = wait_up_to_5s([this] { return engine.busy.load() == 0; });
    if (ended && thread_.joinable()) thread_.join();
    return ended;
}

bool query_harness::wait_for_phase(std::int32_t phase) const {
    return wait_up_to_5s([this, phase] { return engine.phase.load() >= phase; });
}

}  // namespace orvane::testing
