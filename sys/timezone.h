// The system's current time zone, in the Windows TIME_ZONE_INFORMATION layout.
#pragma once
#include <cstddef>
#include <cstdint>
#include "sys/time_types.h"

namespace orvane {

#pragma pack(push, 1)
struct time_zone_information {
    std::int32_t bias;              // minutes: UTC = local + bias
    char16_t standard_name[32];
    system_time standard_date;      // when standard time begins (month 0: no change)
    std::int32_t standard_bias;
    char16_t daylight_name[32];
    system_time daylight_date;
    std::int32_t daylight_bias;
};
#pragma pack(pop)
static_assert(sizeof(time_zone_information) == 172);
static_assert(offsetof(time_zone_information, standard_name) == 4);
static_assert(offsetof(time_zone_information, standard_date) == 68);
static_assert(offsetof(time_zone_information, standard_bias) == 84);
static_assert(offsetof(time_zone_information, daylight_name) == 88);
static_assert(offsetof(time_zone_information, daylight_date) == 152);
static_assert(offsetof(time_zone_information, daylight_bias) == 168);

// Reads the zone in force now. Never changes anything.
time_zone_information current_time_zone();

}  // namespace orvane
