#include <time.h>
#include <cstring>
#include "sys/timezone.h"

namespace orvane {
namespace {

struct local_view {
    long gmtoff;
    bool dst;
};

local_view view_at(time_t t) {
    tm local{};
    localtime_r(&t, &local);
    return {local.tm_gmtoff, local.tm_isdst > 0};
}

// The first second at or after `from` whose offset differs from the one at `from`,
// known to lie before `to`.
time_t find_change(time_t from, time_t to) {
    const long start = view_at(from).gmtoff;
    while (to - from > 1) {
        time_t mid = from + (to - from) / 2;
        if (view_at(mid).gmtoff == start) from = mid; else to = mid;
    }
    return to;
}

void copy_name(char16_t (&target)[32], const char* name) {
    for (std::size_t i = 0; i < 31 && name && name[i]; ++i) target[i] = static_cast<unsigned char>(name[i]);
}

// A transition written as Windows writes recurring rules: month, weekday,
// week of the month (5 = last), and the local wall-clock time it happens at
// (taken in the time that was in force just before it).
system_time rule_for(time_t change, long offset_before) {
    time_t wall = change + offset_before;
    tm t{};
    gmtime_r(&wall, &t);
    system_time rule{};
    rule.month = static_cast<std::uint16_t>(t.tm_mon + 1);
    rule.day_of_week = static_cast<std::uint16_t>(t.tm_wday);
    // A change in the month's last seven days is written as week 5, "the last".
    static const int month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = t.tm_year + 1900;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days = month_days[t.tm_mon] + (t.tm_mon == 1 && leap ? 1 : 0);
    rule.day = static_cast<std::uint16_t>(t.tm_mday + 7 > days ? 5 : (t.tm_mday - 1) / 7 + 1);
    rule.hour = static_cast<std::uint16_t>(t.tm_hour);
    rule.minute = static_cast<std::uint16_t>(t.tm_min);
    return rule;
}

zone_reading read_system_zone() {
    tzset();
    zone_reading reading;
    reading.ok = true;
    time_zone_information& out = reading.zone;
    const time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    tm year_start_tm{};
    year_start_tm.tm_year = utc.tm_year;
    year_start_tm.tm_mday = 1;
    const time_t year_start = timegm(&year_start_tm);
    year_start_tm.tm_year += 1;
    const time_t year_end = timegm(&year_start_tm);

    // Walk the year for the (at most two) changes of offset.
    time_t changes[2]{};
    int found = 0;
    for (time_t t = year_start; t < year_end && found < 2; t += 86400) {
        time_t next = t + 86400;
        if (view_at(t).gmtoff != view_at(next).gmtoff) changes[found++] = find_change(t, next);
    }

    const local_view now_view = view_at(now);
    long standard_off = now_view.gmtoff, daylight_off = now_view.gmtoff;
    if (found == 2) {
        const local_view a = view_at(changes[0]), b = view_at(changes[1]);
        const local_view& dst = a.dst ? a : b;
        const local_view& std_view = a.dst ? b : a;
        standard_off = std_view.gmtoff;
        daylight_off = dst.gmtoff;
        const time_t to_daylight = a.dst ? changes[0] : changes[1];
        const time_t to_standard = a.dst ? changes[1] : changes[0];
        out.daylight_date = rule_for(to_daylight, standard_off);
        out.standard_date = rule_for(to_standard, daylight_off);
        reading.period = now_view.dst ? zone_period_daylight : zone_period_standard;
    } else if (now_view.dst) {
        standard_off = now_view.gmtoff - 3600;
    }
    out.bias = static_cast<std::int32_t>(-standard_off / 60);
    out.standard_bias = 0;
    out.daylight_bias = static_cast<std::int32_t>(-(daylight_off - standard_off) / 60);
    copy_name(out.standard_name, tzname[0]);
    copy_name(out.daylight_name, tzname[1]);
    return reading;
}

// This machine's zone belongs to its administrator: the native program reads
// it and never writes it (a changed zone is reported by the lock instead).
class posix_time_zone final : public time_zone_system {
public:
    zone_reading read() override { return read_system_zone(); }
    zone_write write(const time_zone_information&) override { return {zone_never_written_here, 0}; }
    void broadcast_change() override {}
    // No table of display names here: a zone shows its own name.
    bool display_name(std::u16string_view zone_name, std::u16string& out) override {
        out = zone_name;
        return true;
    }
};

}  // namespace

time_zone_system& system_time_zone() {
    static posix_time_zone zone;
    return zone;
}

std::string zone_name_text(std::u16string_view name) {
    std::string out;
    for (char16_t unit : name) {
        const std::uint32_t c = unit;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace orvane
