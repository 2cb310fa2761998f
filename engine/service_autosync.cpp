#include "engine/service_autosync.h"
#include <atomic>
#include <string>
#include "core/auto_period.h"
#include "engine/worker.h"
#include "sys/clock.h"

namespace orvane {
namespace {

// The tick at which the running period began; only the worker thread uses it.
// In tick_count64 ticks: periods of up to 99 days outlast a 32-bit count.
std::uint64_t service_autosync_base = 0;
std::atomic<service_reloader> reloader{nullptr};

}  // namespace

void set_service_reloader(service_reloader reload) { reloader = reload; }

void service_settings_rules(settings_record& s) {
    s.autocheck_enabled = 0;
    if (!s.autosync_enabled && !s.time_server_enabled) {
        s.autosync_unit = 1;
        s.autosync_count = 4;
        s.autosync_enabled = 1;
    }
}

void service_start_message(chronobel_state& state) {
    settings_record& s = state.settings;
    service_autosync_base = tick_count64();
    service_settings_rules(s);
    std::string message = state.ui_text(text_id::started_service);
    if (s.time_server_enabled) {
        message += state.ui_text(text_id::time_and_sntp_server_active);
        message += " ";
    }
    if (s.autosync_enabled) {
        message += std::to_string(s.autosync_count);
        message += state.ui_text(auto_unit_text(s.autosync_unit));
        message += state.ui_text(text_id::until_autosync);
    }
    state.view().set_text(control_status_line, message.substr(0, 599));
    status_refresh_ms = 30'000;
}

void service_autosync(chronobel_state& state) {
    if (state.reload_requested.exchange(0)) {
        if (const service_reloader reload = reloader.load()) reload(state);
        service_autosync_base = tick_count64();
        state.due_period_ms = 0;
    }
    if (!state.settings.autosync_enabled) return;
    const settings_record& s = state.settings;
    if (state.due_period_ms == 0) {
        state.due_period_ms = auto_period_ms(s.autosync_count, s.autosync_unit);
        return;
    }
    const std::uint64_t now = tick_count64();
    const auto elapsed = static_cast<std::int64_t>(now - service_autosync_base);
    if (elapsed > state.due_period_ms.load()) {
        service_autosync_base = now;
        state.correct_requested = 1;
        state.due_period_ms = 0;
        start_operation(state);
    }
}

}  // namespace orvane
