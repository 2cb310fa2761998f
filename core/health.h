// How well the clock is being kept, as the user is told it: the tray icon's
// look, "Last synced 3 h ago", and the notices (balloons in the window,
// log lines in the service). Written by the worker thread at the start and
// end of each operation, read by the window thread.
#pragma once
#include <atomic>
#include <cstdint>
#include "core/auto_backoff.h"

namespace orvane {

// Notices, one bit each so that several can wait for the window at once.
enum health_event : std::uint32_t {
    health_none = 0,
    // Automatic operations failed three times in a row (once per streak).
    health_failing = 1,
    // The first success after such a streak.
    health_recovered = 2,
    // An AutoCheck found the clock more than a second off.
    health_clock_off = 4,
};

struct health_record {
    // The tick (tick_count64) at which watching began; 0: not yet.
    std::atomic<std::uint64_t> start_tick{0};
    // The tick of the last operation that succeeded; 0: none yet.
    std::atomic<std::uint64_t> last_good_tick{0};
    // That operation was a check, not a correction.
    std::atomic<std::uint8_t> last_good_was_check{0};
    // Automatic operations that failed in a row; a success of any kind ends
    // the streak.
    std::atomic<std::int32_t> failures_in_row{0};
    // The streak's notice has been given.
    std::atomic<std::uint8_t> streak_told{0};
    // The last check found the clock more than a second off, and no
    // correction or closer check has come since.
    std::atomic<std::uint8_t> clock_off{0};
    // The operation now running: its automatic kind, and whether it corrects.
    std::atomic<std::int32_t> running_kind{auto_none};
    std::atomic<std::uint8_t> running_correction{0};
    // Notices the window has still to show (health_event bits).
    std::atomic<std::uint32_t> pending{health_none};
};

}  // namespace orvane
