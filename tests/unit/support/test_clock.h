// A clock for tests, installed in front of the system's (sys/clock.h): time
// and ticks follow the real clock shifted by a chosen amount (or stand
// still), and every attempt to set the clock is recorded instead of reaching
// the system.
#pragma once
#include <atomic>
#include <mutex>
#include <vector>
#include "sys/clock.h"

namespace orvane {

struct test_clock final : clock_source {
    // When non-zero, the time stands still at this value; otherwise the real
    // clock plus `utc_shift` (100 ns units, may be negative).
    std::atomic<filetime> frozen_utc{0};
    std::atomic<std::int64_t> utc_shift{0};
    // Ticks: real ticks plus `tick_shift`, or `frozen_tick` when `tick_frozen`.
    std::atomic<bool> tick_frozen{false};
    std::atomic<std::uint32_t> frozen_tick{0};
    std::atomic<std::uint32_t> tick_shift{0};
    // Local time = UTC + this many minutes (fixed, so tests need no zone data).
    std::atomic<int> local_offset_minutes{0};
    // When set, set_system_time fails as without the right to set the clock.
    std::atomic<bool> refuse_sets{false};
    // Sleeps advance frozen ticks and time instead of waiting, when set.
    std::atomic<bool> instant_sleep{false};

    std::mutex sets_mutex;
    std::vector<system_time> sets;  // every accepted set, in order

    // Convenience: freeze the time at `utc` (and keep ticks real).
    void freeze_at(filetime utc) { frozen_utc = utc; }
    std::vector<system_time> recorded_sets() {
        std::lock_guard<std::mutex> lock(sets_mutex);
        return sets;
    }

    filetime utc_now() override;
    std::int64_t local_shift_at(filetime utc) override;
    std::uint32_t ticks() override;
    std::uint64_t ticks64() override;
    void sleep(std::uint32_t ms) override;
    bool set_utc(const system_time& utc) override;
};

// Installs `clock` for the whole process (nullptr restores the real clock).
inline void install_test_clock(test_clock* clock) { install_clock_source(clock); }

// Scoped installation for a test body.
struct scoped_test_clock {
    test_clock clock;
    scoped_test_clock() { install_test_clock(&clock); }
    ~scoped_test_clock() { install_test_clock(nullptr); }
    scoped_test_clock(const scoped_test_clock&) = delete;
    scoped_test_clock& operator=(const scoped_test_clock&) = delete;
};

}  // namespace orvane
