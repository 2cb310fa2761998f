// The 32-bit seconds since 1900 of TIME and SNTP, their binary fractions, and
// how they map to filetimes. Client and servers share these so that both
// read the seconds' era the same way.
#pragma once
#include <cstdint>
#include "sys/time_types.h"

namespace orvane {

// Seconds (since 1900-01-01 00:00 UTC, modulo 2^32) and a binary fraction of
// a second (units of 2^-32 s), as TIME and SNTP carry them.
struct ntp_timestamp {
    std::uint32_t seconds = 0;
    std::uint32_t fraction = 0;
    friend bool operator==(const ntp_timestamp&, const ntp_timestamp&) = default;
};

// The length of one era of 32-bit seconds in filetime units; era 1 begins at
// 2036-02-07 06:28:16 UTC.
constexpr filetime ntp_era_length = (filetime{1} << 32) * filetime_units_per_second;

// The era rule of RFC 4330: seconds with the top bit set count from 1900
// (1968 to 2036), seconds with it clear from the start of era 1 (2036 to
// 2104). A reply after 2036 therefore never reads as a time in 1900.
constexpr filetime ntp_seconds_to_filetime(std::uint32_t seconds) {
    const filetime era_start = (seconds & 0x8000'0000u) ? E1900 : E1900 + ntp_era_length;
    return era_start + filetime{seconds} * filetime_units_per_second;
}

// A timestamp as a filetime: the era rule above, and the fraction converted
// exactly (× 10^7 / 2^32, rounded to the nearest 100 ns).
constexpr filetime ntp_timestamp_to_filetime(ntp_timestamp t) {
    return ntp_seconds_to_filetime(t.seconds) +
           ((filetime{t.fraction} * filetime_units_per_second + (filetime{1} << 31)) >> 32);
}

// The timestamp of a filetime: whole seconds modulo 2^32 and the rest as a
// rounded binary fraction. Times before 1900 give {0, 0}.
constexpr ntp_timestamp filetime_to_ntp_timestamp(filetime t) {
    if (t < E1900) return {};
    const filetime since = t - E1900;
    return {static_cast<std::uint32_t>(since / filetime_units_per_second),
            static_cast<std::uint32_t>(((since % filetime_units_per_second << 32) + filetime_units_per_second / 2) /
                                       filetime_units_per_second)};
}

// A signed span of 100 ns units in 2^-32 s units (high 32 bits whole
// seconds, low 32 bits the binary fraction), rounded to the nearest and held
// at the int64 limits for spans beyond about 68 years.
std::int64_t filetime_span_to_ntp_units(std::int64_t span);

// The SNTP clock offset (server minus local) of RFC 4330,
// ((T2 − T1) + (T3 − T4)) / 2, in 2^-32 s units, rounded, held at the limits.
// T1: request sent, T2: server received, T3: server sent, T4: reply arrived.
std::int64_t sntp_offset(filetime t1, filetime t2, filetime t3, filetime t4);

// Whole seconds of `server` minus whole seconds of `local`: what a TIME reply
// (truncated to the second) can say about a clock read when it arrived.
constexpr std::int64_t whole_seconds_difference(filetime server, filetime local) {
    return static_cast<std::int64_t>(server / filetime_units_per_second) -
           static_cast<std::int64_t>(local / filetime_units_per_second);
}

}  // namespace orvane
