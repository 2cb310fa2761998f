#include "sys/time_types.h"
#include <cstdio>

namespace orvane {
namespace {

// Days from 1601-01-01 to year/month/day (Gregorian), by the civil-from-days
// method shifted to a 1601 origin.
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + 134774;  // 134774: 1601→1970
}

bool leap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

system_time filetime_to_system_time(filetime t) {
    system_time st{};
    const std::uint64_t ms_total = t / 10'000;
    st.milliseconds = static_cast<std::uint16_t>(ms_total % 1000);
    std::uint64_t secs = ms_total / 1000;
    st.second = static_cast<std::uint16_t>(secs % 60);
    st.minute = static_cast<std::uint16_t>(secs / 60 % 60);
    st.hour = static_cast<std::uint16_t>(secs / 3600 % 24);
    const std::int64_t days = static_cast<std::int64_t>(secs / 86400);
    st.day_of_week = static_cast<std::uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    // civil-from-days, from a 1970 origin
    const std::int64_t z = days - 134774 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    st.year = static_cast<std::uint16_t>(y + (m <= 2));
    st.month = static_cast<std::uint16_t>(m);
    st.day = static_cast<std::uint16_t>(d);
    return st;
}

bool system_time_to_filetime(const system_time& st, filetime& out) {
    static const unsigned month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (st.year < 1601 || st.year > 30827 || st.month < 1 || st.month > 12 || st.day < 1 ||
        st.hour > 23 || st.minute > 59 || st.second > 59 || st.milliseconds > 999)
        return false;
    const unsigned limit = month_days[st.month - 1] + (st.month == 2 && leap(st.year) ? 1 : 0);
    if (st.day > limit) return false;
    const std::int64_t days = days_from_civil(st.year, st.month, st.day);
    const std::uint64_t secs = static_cast<std::uint64_t>(days) * 86400 + st.hour * 3600u +
                               st.minute * 60u + st.second;
    out = (secs * 1000 + st.milliseconds) * 10'000;
    return true;
}

std::string date_time_text(const system_time& t, bool with_milliseconds) {
    char text[48];
    int n = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                          t.minute, t.second);
    if (with_milliseconds) std::snprintf(text + n, sizeof text - n, ".%03u", t.milliseconds);
    return text;
}

}  // namespace orvane
