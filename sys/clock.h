// The system clock, the tick count and local time, behind one seam so that
// tests can replace them with a test clock (see test_clock.h).
#pragma once
#include "sys/time_types.h"

namespace orvane {

// The current UTC time at the best resolution the system offers.
filetime system_time_now();
system_time system_time_now_record();
// The current local time as a record (GetLocalTime).
system_time local_time_now();
// UTC filetime to local filetime with the zone rules in force at that time.
filetime filetime_to_local(filetime utc);
// Milliseconds since start-up, wrapping at 2^32 (GetTickCount).
std::uint32_t tick_count();
// The same count in 64 bits, which never wraps; what long periods (the
// automatic operations of up to 99 days) are measured with.
std::uint64_t tick_count64();
void sleep_ms(std::uint32_t ms);

// Sets the system clock (UTC). Returns false when the system refuses
// (typically for want of the right to set the clock).
bool set_system_time(const system_time& utc);

}  // namespace orvane
