#include "sys/timezone.h"
#include <atomic>

namespace orvane {
namespace {
std::atomic<time_zone_system*> g_test_zone{nullptr};

time_zone_system& zone_in_force() {
    time_zone_system* zone = g_test_zone.load();
    return zone ? *zone : system_time_zone();
}
}  // namespace

void install_time_zone(time_zone_system* zone) { g_test_zone.store(zone); }

zone_reading read_time_zone() { return zone_in_force().read(); }
zone_write write_time_zone(const time_zone_information& zone) { return zone_in_force().write(zone); }
void broadcast_time_zone_change() { zone_in_force().broadcast_change(); }
bool time_zone_display_name(std::u16string_view zone_name, std::u16string& out) {
    return zone_in_force().display_name(zone_name, out);
}

time_zone_information current_time_zone() {
    const zone_reading reading = read_time_zone();
    return reading.ok ? reading.zone : time_zone_information{};
}

std::u16string_view zone_name(const char16_t (&name)[32]) {
    std::size_t length = 0;
    while (length < 32 && name[length]) ++length;
    return {name, length};
}

}  // namespace orvane
