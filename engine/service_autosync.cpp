#include "engine/service_autosync.h"
#include <algorithm>
#include <atomic>
#include <string>
#include "core/auto_period.h"
#include "engine/auto_backoff.h"
#include "engine/countdown.h"
#include "engine/worker.h"
#include "sys/clock.h"

namespace orvane {
namespace {

// The first AutoSync comes this long after the service starts, not a whole
// period later: a machine that was off for days is put right at once, and
// the system has settled by then.
constexpr std::int64_t first_autosync_delay_ms = 30'000;
// The service's worker looks in at least this often, and at most this
// often when an AutoSync is close.
constexpr std::int64_t service_pass_ms = 30'000;
constexpr std::int64_t shortest_pass_ms = 1'000;

// The first AutoSync since the start has not come yet; only the worker
// thread uses it.
bool first_autosync_pending = true;
std::atomic<service_reloader> reloader{nullptr};

void arm(chronobel_state& state, std::uint64_t start, std::int64_t period) {
    state.due_start_tick = start;
    state.due_period_ms = period;
}

std::int64_t autosync_period_ms(const chronobel_state& state) {
    return auto_period_ms(state.settings.autosync_count, state.settings.autosync_unit);
}

// The next AutoSync: the first one shortly after the start, else a period
// after the last.
void arm_next(chronobel_state& state, std::uint64_t now) {
    arm(state, now, first_autosync_pending ? first_autosync_delay_ms : autosync_period_ms(state));
}

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
    first_autosync_pending = true;
    service_settings_rules(s);
    arm_next(state, tick_count64());
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
    status_refresh_ms = service_pass_ms;
}

void service_autosync(chronobel_state& state) {
    const std::uint64_t now = tick_count64();
    if (state.reload_requested.exchange(0)) {
        if (const service_reloader reload = reloader.load()) reload(state);
        // The reload's own AutoSync counts as the first.
        if (state.engine.in_progress) first_autosync_pending = false;
        arm_next(state, now);
    }
    // The reload may have started an AutoSync of its own.
    if (!state.settings.autosync_enabled || state.engine.in_progress) return;
    if (state.due_period_ms == 0) arm_next(state, now);
    // A failed AutoSync is tried again sooner than the period.
    if (retry_left_ms(state, now) < time_until_due(state, now))
        arm(state, state.backoff.failed_tick, pending_retry_delay_ms(state));
    const std::int64_t left = time_until_due(state, now);
    if (left > 0) {
        status_refresh_ms = static_cast<std::int32_t>(std::clamp(left, shortest_pass_ms, service_pass_ms));
        return;
    }
    first_autosync_pending = false;
    arm_next(state, now);
    status_refresh_ms = service_pass_ms;
    state.correct_requested = 1;
    start_operation(state, auto_sync);
}

}  // namespace orvane
