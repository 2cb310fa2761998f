#include <time.h>
#include "sys/time_format.h"

namespace orvane {
namespace {

std::string format_with(const system_time& local, const char* pattern) {
    tm t{};
    t.tm_year = local.year - 1900;
    t.tm_mon = local.month - 1;
    t.tm_mday = local.day;
    t.tm_wday = local.day_of_week;
    t.tm_hour = local.hour;
    t.tm_min = local.minute;
    t.tm_sec = local.second;
    char buffer[600];
    const std::size_t n = strftime(buffer, sizeof buffer, pattern, &t);
    return std::string(buffer, n);
}

}  // namespace

std::string format_time(const system_time& local) { return format_with(local, "%X"); }
std::string format_long_date(const system_time& local) { return format_with(local, "%A, %e %B %Y"); }
std::string format_short_date(const system_time& local) { return format_with(local, "%x"); }

}  // namespace orvane
