#include "engine/dry_run.h"
#include <string>

namespace orvane {

bool report_dry_run_set(chronobel_state& state, const system_time& utc) {
    const std::string text = "Dry run: the clock would be set to " + date_time_text(utc, true) + " UTC";
    state.view().set_text(control_status_line, text);
    return true;
}

}  // namespace orvane
