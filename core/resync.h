// A resynchronisation asked for from outside the timers: after the machine
// resumed from sleep, or when a usable address appeared. Any thread asks;
// the worker starts the operation once things have settled.
#pragma once
#include <atomic>
#include <cstdint>

namespace orvane {

struct resync_request {
    // An ask is waiting; the tick (tick_count64) of the latest one.
    std::atomic<std::uint8_t> pending{0};
    std::atomic<std::uint64_t> asked_tick{0};
    // When the last resynchronisation started (0: never); only the worker
    // thread writes it.
    std::atomic<std::uint64_t> started_tick{0};
};

}  // namespace orvane
