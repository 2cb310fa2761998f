#include "sys/suspend.h"
#include <time.h>

namespace orvane {
namespace {

std::int64_t milliseconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

}  // namespace

std::int64_t time_suspended_ms() { return milliseconds(CLOCK_BOOTTIME) - milliseconds(CLOCK_MONOTONIC); }

}  // namespace orvane
