// What each platform provides underneath the clock seam of clock.h; only
// clock.cpp calls these, so the test clock can stand in front of them.
#pragma once
#include "sys/time_types.h"

namespace orvane::raw_clock {

filetime utc_now();
std::uint32_t ticks();
// The same count without the wrap (GetTickCount64); its low 32 bits are ticks().
std::uint64_t ticks64();
// Local time minus UTC at the given UTC instant, in 100 ns units.
std::int64_t local_shift_at(filetime utc);
bool set_utc(const system_time& utc);
void sleep(std::uint32_t ms);

}  // namespace orvane::raw_clock
