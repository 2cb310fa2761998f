#include <time.h>
#include <cerrno>
#include "sys/clock_raw.h"

namespace orvane::raw_clock {
namespace {
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t unix_epoch_seconds = 11'644'473'600ULL;
}

filetime utc_now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (static_cast<std::uint64_t>(ts.tv_sec) + unix_epoch_seconds) * 10'000'000 +
           static_cast<std::uint64_t>(ts.tv_nsec) / 100;
}

std::uint64_t ticks64() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec) / 1'000'000;
}

std::uint32_t ticks() { return static_cast<std::uint32_t>(ticks64()); }

std::int64_t local_shift_at(filetime utc) {
    const time_t t = static_cast<time_t>(utc / 10'000'000) - static_cast<time_t>(unix_epoch_seconds);
    tm local{};
    if (!localtime_r(&t, &local)) return 0;
    return static_cast<std::int64_t>(local.tm_gmtoff) * 10'000'000;
}

bool set_utc(const system_time& st) {
    filetime target = 0;
    if (!system_time_to_filetime(st, target)) return false;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(target / 10'000'000 - unix_epoch_seconds);
    ts.tv_nsec = static_cast<long>(target % 10'000'000 * 100);
    return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

void sleep(std::uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // namespace orvane::raw_clock
