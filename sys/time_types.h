// Time values in the Windows layouts, shared by every platform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvane {

// 100 ns units since 1601-01-01 00:00 UTC, as a FILETIME holds them.
using filetime = std::uint64_t;

// The Windows SYSTEMTIME record, field for field.
struct system_time {
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day_of_week;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t milliseconds;
};
static_assert(sizeof(system_time) == 16);

constexpr filetime filetime_units_per_second = 10'000'000;
// 1900-01-01 00:00 UTC as a filetime: the epoch of TIME and SNTP seconds.
constexpr filetime E1900 = 94'354'848'000'000'000ULL;
static_assert(E1900 == 0x014F373BFDE04000ULL);

constexpr std::uint32_t high_word(filetime t) { return static_cast<std::uint32_t>(t >> 32); }
constexpr std::uint32_t low_word(filetime t) { return static_cast<std::uint32_t>(t); }
constexpr filetime make_filetime(std::uint32_t high, std::uint32_t low) {
    return (static_cast<filetime>(high) << 32) | low;
}

// Calendar conversions done by arithmetic alone (proleptic Gregorian, UTC),
// so both platforms and the test clock agree to the millisecond.
system_time filetime_to_system_time(filetime t);
// Returns false for a record that names no valid date and time.
bool system_time_to_filetime(const system_time& st, filetime& out);

// "YYYY-MM-DD HH:MM:SS", with ".mmm" when asked: the one way the program
// writes a date and time that is not for the user's locale (log, settings
// text, dry run).
std::string date_time_text(const system_time& t, bool with_milliseconds = false);

}  // namespace orvane
