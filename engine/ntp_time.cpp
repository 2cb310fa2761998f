#include "engine/ntp_time.h"
#include <limits>

namespace orvane {
namespace {

constexpr std::int64_t units_per_second = static_cast<std::int64_t>(filetime_units_per_second);

// round(span × 2^shift / 10^7), exactly: the whole seconds and the remainder
// are scaled separately (remainder × 2^32 < 2^56), so nothing overflows short
// of the limits, where the result is held.
std::int64_t scaled_to_binary(std::int64_t span, int shift) {
    std::int64_t seconds = span / units_per_second;
    std::int64_t rest = span % units_per_second;
    if (rest < 0) {  // floor, so that negative spans round like positive ones
        rest += units_per_second;
        --seconds;
    }
    const std::int64_t limit = std::numeric_limits<std::int64_t>::max() >> shift;
    if (seconds >= limit) return std::numeric_limits<std::int64_t>::max();
    if (seconds < -limit) return std::numeric_limits<std::int64_t>::min();
    const std::int64_t fraction = ((rest << shift) + units_per_second / 2) / units_per_second;
    return seconds * (std::int64_t{1} << shift) + fraction;
}

}  // namespace

std::int64_t filetime_span_to_ntp_units(std::int64_t span) { return scaled_to_binary(span, 32); }

namespace {

// b − a, held at the int64 limits: a local clock may read anything up to
// the year 30827, far beyond what a difference of 63 bits holds.
std::int64_t held_difference(filetime b, filetime a) {
    constexpr filetime top = static_cast<filetime>(std::numeric_limits<std::int64_t>::max());
    if (b >= a) return b - a > top ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(b - a);
    return a - b > top ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(a - b);
}

}  // namespace

std::int64_t sntp_offset(filetime t1, filetime t2, filetime t3, filetime t4) {
    // Halving is a shift by one less. A sum past the limits is held there, as
    // the result would be anyway.
    std::int64_t sum;
    const std::int64_t d1 = held_difference(t2, t1), d2 = held_difference(t3, t4);
    if (__builtin_add_overflow(d1, d2, &sum))
        sum = d1 < 0 ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
    return scaled_to_binary(sum, 31);
}

}  // namespace orvane
