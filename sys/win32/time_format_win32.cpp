#include <windows.h>
#include "sys/time_format.h"

namespace orvane {
namespace {
SYSTEMTIME to_windows(const system_time& t) {
    return {t.year, t.month, t.day_of_week, t.day, t.hour, t.minute, t.second, t.milliseconds};
}
}  // namespace

std::string format_time(const system_time& local) {
    const SYSTEMTIME st = to_windows(local);
    char buffer[600];
    int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n - 1)) : std::string();
}

static std::string format_date(const system_time& local, DWORD flags) {
    const SYSTEMTIME st = to_windows(local);
    char buffer[600];
    int n = GetDateFormatA(LOCALE_USER_DEFAULT, flags, &st, nullptr, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n - 1)) : std::string();
}

std::string format_long_date(const system_time& local) { return format_date(local, DATE_LONGDATE); }
std::string format_short_date(const system_time& local) { return format_date(local, DATE_SHORTDATE); }

}  // namespace orvane
