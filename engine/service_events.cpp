#include "engine/service_events.h"
#include "engine/sync_result.h"
#include "platform/event_log.h"

namespace orvane {

void report_automatic_failure(const chronobel_state& state) {
    const query_engine& e = state.engine;
    // An operation that ended without a text of its own failed as any other.
    const std::string text = e.failure_text.empty()
                                 ? std::string(state.ui_text(text_id::unable_to_sync_from)) + e.server_name
                                 : e.failure_text;
    report_event(event_message::auto_failed, {e.server_name, text});
}

void report_service_correction(const chronobel_state& state, std::int64_t moved) {
    if (!running_as_service || (moved <= logged_correction_units && moved >= -logged_correction_units)) return;
    report_event(event_message::clock_corrected, {state.engine.server_name, event_seconds_text(moved)});
}

void report_health_event(const chronobel_state& state, health_event event) {
    if (!running_as_service) return;
    const std::string& server = state.engine.server_name;
    switch (event) {
    case health_failing: report_event(event_message::auto_failed_three_times, {server}); break;
    case health_recovered: report_event(event_message::auto_works_again, {server}); break;
    case health_clock_off:
        report_event(event_message::autocheck_found_offset,
                     {server, event_seconds_text(offset_to_filetime_units(state.engine.offset))});
        break;
    default: break;
    }
}

}  // namespace orvane
