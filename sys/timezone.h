// The system's time zone, in the Windows TIME_ZONE_INFORMATION layout,
// behind one seam so that tests can put a test zone in front of it (as the
// clock has its test clock): reading it, writing it back, telling the other
// programs, and the zone's display name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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

// Which time is in force now, numbered as GetTimeZoneInformation numbers it.
enum zone_period : int {
    zone_period_none = 0,      // a zone without daylight saving
    zone_period_standard = 1,
    zone_period_daylight = 2,
};

struct zone_reading {
    bool ok = false;  // false: the system could not say
    zone_period period = zone_period_none;
    time_zone_information zone{};
};

enum zone_write_result : int {
    zone_written = 0,
    zone_write_failed = 1,       // the system refused; `error` says why
    zone_never_written_here = 2, // this system's zone is not the program's to change
};

struct zone_write {
    zone_write_result result = zone_write_failed;
    std::uint32_t error = 0;  // the system's error code when the write failed
};

// What the program asks of the system's zone. The real one is the
// platform's; tests install a test zone.
class time_zone_system {
public:
    virtual ~time_zone_system() = default;
    virtual zone_reading read() = 0;
    virtual zone_write write(const time_zone_information& zone) = 0;
    // Tells every top-level window that a system setting changed.
    virtual void broadcast_change() = 0;
    // The zone's display name ("(UTC+01:00) ..."); false when there is none.
    virtual bool display_name(std::u16string_view zone_name, std::u16string& out) = 0;
};

// The platform's own zone, which the seam uses when no test zone is installed.
time_zone_system& system_time_zone();
// Installs `zone` for the whole process (nullptr restores the system's).
void install_time_zone(time_zone_system* zone);

// The seam: the installed test zone, else the system's.
zone_reading read_time_zone();
zone_write write_time_zone(const time_zone_information& zone);
void broadcast_time_zone_change();
bool time_zone_display_name(std::u16string_view zone_name, std::u16string& out);
// The zone in force now (all zero when it cannot be read).
time_zone_information current_time_zone();

// A zone name as the narrow text functions show it (the ANSI code page on
// Windows, UTF-8 elsewhere); not part of the replaceable seam.
std::string zone_name_text(std::u16string_view name);
// The name up to its terminator (at most 32 units).
std::u16string_view zone_name(const char16_t (&name)[32]);

}  // namespace orvane
