#include "engine/resync.h"
#include <algorithm>
#include "engine/worker.h"
#include "sys/clock.h"
#include "sys/threads.h"

namespace orvane {

void ask_resync(chronobel_state& state, std::uint64_t now) {
    state.resync.asked_tick = now;
    state.resync.pending = 1;
    if (state.worker_event) set_event(state.worker_event);
}

void ask_resync(chronobel_state& state) { ask_resync(state, tick_count64()); }

std::int64_t resync_wait_ms(const chronobel_state& state, std::uint64_t now) {
    const resync_request& r = state.resync;
    if (!r.pending) return no_resync_pending;
    std::int64_t wait = resync_settle_ms - static_cast<std::int64_t>(now - r.asked_tick);
    if (r.started_tick != 0)
        wait = std::max(wait, resync_spacing_ms - static_cast<std::int64_t>(now - r.started_tick));
    return wait;
}

bool resync_if_due(chronobel_state& state, std::uint64_t now) {
    if (state.engine.in_progress || resync_wait_ms(state, now) > 0) return false;
    resync_request& r = state.resync;
    r.pending = 0;
    const settings_record& s = state.settings;
    if (!s.autosync_enabled && !s.autocheck_enabled) return false;
    r.started_tick = now;
    const bool sync = s.autosync_enabled != 0;
    state.correct_requested = sync ? 1 : 0;
    start_operation(state, sync ? auto_sync : auto_check);
    return true;
}

}  // namespace orvane
