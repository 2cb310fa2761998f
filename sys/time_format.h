// Times and dates as the user's locale writes them.
#pragma once
#include <string>
#include "sys/time_types.h"

namespace orvane {

// The time of day of a local time record (GetTimeFormat with the user's defaults).
std::string format_time(const system_time& local);
// The long date of a local time record (GetDateFormat, DATE_LONGDATE).
std::string format_long_date(const system_time& local);
// The short date of a local time record (GetDateFormat, DATE_SHORTDATE).
std::string format_short_date(const system_time& local);

}  // namespace orvane
