#include "ui/time_zone_text.h"
#include "sys/clock.h"
#include "sys/time_format.h"

namespace orvane {
namespace {

bool leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap_year(year) ? 29 : days[month - 1];
}

// The record with its weekday filled in; nothing when it names no date.
std::optional<system_time> normalised(system_time date) {
    filetime t = 0;
    if (!system_time_to_filetime(date, t)) return std::nullopt;
    return filetime_to_system_time(t);
}

}  // namespace

std::optional<system_time> transition_date(const system_time& rule, const system_time& today) {
    if (rule.month < 1 || rule.month > 12) return std::nullopt;
    if (rule.year != 0) return normalised({rule.year, rule.month, 0, rule.day, 0, 0, 0, 0});

    // A transition in the current month counts as this year's, even when its day has passed.
    const int year = today.year + (rule.month < today.month ? 1 : 0);
    const int week = rule.day < 1 ? 1 : rule.day > 5 ? 5 : rule.day;
    // The last week begins six days before the month's end (February 23 in
    // every leap year); the others on days 1, 8, 15 and 22.
    const int start = week == 5 ? days_in_month(year, rule.month) - 6 : (week - 1) * 7 + 1;
    std::optional<system_time> date = normalised(
        {static_cast<std::uint16_t>(year), rule.month, 0, static_cast<std::uint16_t>(start), 0, 0, 0, 0});
    if (!date) return std::nullopt;
    for (int step = 0; step < 6 && date->day_of_week != rule.day_of_week; ++step) {
        ++date->day;
        date->day_of_week = static_cast<std::uint16_t>((date->day_of_week + 1) % 7);
    }
    return date;
}

std::string format_transition_date(const system_time& rule, std::string_view none_text) {
    if (!has_transition(rule)) return std::string(none_text);
    std::optional<system_time> date = transition_date(rule, local_time_now());
    if (!date) return std::string(none_text);
    date->hour = rule.hour;
    date->minute = rule.minute;
    date->second = rule.second;
    date->milliseconds = rule.milliseconds;
    return format_time(*date) + " " + format_short_date(*date);
}

std::string format_signed(std::int32_t value) {
    // The magnitude in 64 bits, so that the most negative value has one too.
    const std::int64_t wide = value;
    std::string text = std::to_string(wide < 0 ? -wide : wide);
    return wide < 0 ? "-" + text : text;
}

}  // namespace orvane
