#include <windows.h>
#include <cstring>
#include "sys/timezone.h"

namespace orvane {

time_zone_information current_time_zone() {
    static_assert(sizeof(TIME_ZONE_INFORMATION) == sizeof(time_zone_information));
    TIME_ZONE_INFORMATION tzi{};
    GetTimeZoneInformation(&tzi);
    time_zone_information out{};
    std::memcpy(&out, &tzi, sizeof out);
    return out;
}

}  // namespace orvane
