#include "engine/time_zone_check.h"
#include <cstdio>
#include <mutex>
#include "engine/log.h"
#include "sys/files.h"
#include "sys/timezone.h"

namespace orvane {

std::atomic<std::int32_t> time_zone_phase{-1};

namespace {

// One check at a time (the window thread and, in the service, the worker),
// and the display name is read whole.
std::mutex g_zone_mutex;
std::u16string g_display_name;

bool logging(const chronobel_state& state, std::uint8_t log_switch) {
    return log_switch && !state.settings.log_disabled;
}

std::string name_of(const time_zone_information& zone) { return zone_name_text(zone_name(zone.standard_name)); }

// Where the zone is never written (the native program, a dry run) the change
// is shown and logged instead, and the lock keeps guarding its zone.
void report_not_restored(chronobel_state& state, const time_zone_information& now,
                         const time_zone_information& locked) {
    char text[200];
    if (state.dry_run)
        std::snprintf(text, sizeof text, "Dry run: the time zone would be restored from %s (bias %d) to %s (bias %d)",
                      name_of(now).c_str(), now.bias, name_of(locked).c_str(), locked.bias);
    else
        std::snprintf(text, sizeof text, "Time Zone changed from %s (bias %d) to %s (bias %d), not restored here",
                      name_of(locked).c_str(), locked.bias, name_of(now).c_str(), now.bias);
    state.view().set_text(control_status_line, text);
    if (logging(state, state.settings.log_syncs)) write_log_line(state, text, "");
}

// Puts the locked zone back when the bias in force differs from it. Returns
// false when it is still not in force, so that it stays the locked one.
bool enforce_lock(chronobel_state& state) {
    const time_zone_information locked = state.settings.locked_time_zone;
    const zone_reading now = read_time_zone();
    if (!now.ok || now.zone.bias == locked.bias) return true;  // only the bias is compared
    const zone_write written = state.dry_run ? zone_write{zone_never_written_here, 0} : write_time_zone(locked);
    switch (written.result) {
        case zone_written:
            broadcast_time_zone_change();
            if (logging(state, state.settings.log_syncs))
                write_log_line(state, state.ui_text(text_id::time_zone_restored), "");
            return true;
        case zone_write_failed:
            if (logging(state, state.settings.log_errors)) {
                char text[160];
                std::snprintf(text, sizeof text, "Unable to restore Time Zone %s, error %u", name_of(locked).c_str(),
                              static_cast<unsigned>(written.error));
                write_log_line(state, text, "");
            }
            return false;
        case zone_never_written_here:
            report_not_restored(state, now.zone, locked);
            return false;
    }
    return false;
}

}  // namespace

std::u16string time_zone_display_name_text() {
    std::lock_guard<std::mutex> lock(g_zone_mutex);
    return g_display_name;
}

void check_time_zone(chronobel_state& state) {
    std::lock_guard<std::mutex> lock(g_zone_mutex);
    time_zone_phase = -1;
    const bool in_force = !state.settings.time_zone_locked || enforce_lock(state);

    const zone_reading reading = read_time_zone();
    if (!reading.ok) return;
    // A zone that could not be put back stays the locked one: the next check tries again.
    if (in_force) state.settings.locked_time_zone = reading.zone;
    const bool daylight = reading.period == zone_period_daylight;
    time_zone_phase = daylight ? 1 : 0;
    const std::u16string_view name = zone_name(daylight ? reading.zone.daylight_name : reading.zone.standard_name);
    if (!running_as_service) state.view().set_title(narrow(state.program_name) + " - " + zone_name_text(name));
    // The display names are kept under the zones' standard names, so a zone
    // is found in daylight time too.
    std::u16string display;
    if (time_zone_display_name(zone_name(reading.zone.standard_name), display)) g_display_name = display;
}

}  // namespace orvane
