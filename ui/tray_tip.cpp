#include "ui/tray_tip.h"
#include "core/status_hold.h"
#include "engine/countdown.h"
#include "engine/health.h"
#include "engine/server_state_text.h"

namespace orvane {

std::string tray_tip_text(chronobel_state& state, std::uint64_t now, std::string_view status_line) {
    std::string tip;
    if (!status_line.empty() && status_hold_at(state, now) == status_hold_stage::text)
        tip = status_line;
    else
        tip = state.auto_due != 0 ? format_countdown(state, now) : std::string("Chronobel");
    // Once the worker watches: when the clock was last set or checked.
    if (state.health.start_tick != 0) {
        tip += "\r\n";
        tip += last_good_text(state.health, now);
    }
    if (state.server_state != 0) {
        tip += "\r\n";
        tip += server_state_text(state);
    }
    if (tip.size() > tray_tip_limit) tip.resize(tray_tip_limit);
    return tip;
}

}  // namespace orvane
