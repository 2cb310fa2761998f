// How long the machine has slept since it started: the time that the boot
// clock counted and the monotonic clock did not. A jump of it between two
// looks means the machine was suspended and has resumed. POSIX only: the
// Windows program hears of a resume from the system itself.
#pragma once
#include <cstdint>

namespace orvane {

std::int64_t time_suspended_ms();

}  // namespace orvane
