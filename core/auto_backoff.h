// Retries of a failed automatic operation (AutoSync or AutoCheck, in the
// window and in the service): after 1, 2, 4, 8 ... minutes, never later than
// the operation's own period, until one succeeds. Operations by hand neither
// count nor reset.
#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>

namespace orvane {

// The kinds of automatic operation, as auto_due numbers them.
enum auto_kind : std::int32_t { auto_none = 0, auto_check = 1, auto_sync = 2 };

// The wait after the first failure; each further failure doubles it.
constexpr std::int64_t first_retry_ms = 60'000;
// Doubling stops here: 2^20 minutes are far beyond the longest period.
constexpr int retry_doublings_max = 20;

struct auto_backoff {
    // The automatic operation now running (auto_none for one by hand or none).
    std::atomic<std::int32_t> running{auto_none};
    // Automatic operations that failed in a row; 0 after one succeeded.
    std::atomic<std::int32_t> failures{0};
    // The kind whose retry is pending (auto_none: none), and the tick
    // (tick_count64) at which it failed.
    std::atomic<std::int32_t> retry_kind{auto_none};
    std::atomic<std::uint64_t> failed_tick{0};
};

// The wait before the retry after `failures` failures in a row (at least
// one), at most `period_ms`.
constexpr std::int64_t retry_delay_ms(int failures, std::int64_t period_ms) {
    const int doublings = std::clamp(failures - 1, 0, retry_doublings_max);
    return std::min(first_retry_ms << doublings, period_ms);
}

}  // namespace orvane
