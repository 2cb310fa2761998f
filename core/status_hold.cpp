#include "core/status_hold.h"
#include "sys/clock.h"

namespace orvane {

// One 64-bit deadline, written whole, so that the worker, the window and the
// server threads never see half of another's hold: the text stage ends
// status_ready_hold_ms before it, the "Ready" stage at it.

void hold_status_text(chronobel_state& state) {
    state.status_hold_until = tick_count64() + status_text_hold_ms + status_ready_hold_ms;
}

void show_ready_next(chronobel_state& state) { state.status_hold_until = tick_count64() + status_ready_hold_ms; }

void release_status(chronobel_state& state) { state.status_hold_until = 0; }

status_hold_stage status_hold_at(const chronobel_state& state, std::uint64_t now) {
    const std::uint64_t until = state.status_hold_until;
    if (until == status_hold_forever) return status_hold_stage::text;
    if (now >= until) return status_hold_stage::free;
    return until - now > status_ready_hold_ms ? status_hold_stage::text : status_hold_stage::ready;
}

}  // namespace orvane
