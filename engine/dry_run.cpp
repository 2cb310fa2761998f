#include "engine/dry_run.h"
#include <cstdio>

namespace orvane {

bool report_dry_run_set(chronobel_state& state, const system_time& utc) {
    char text[96];
    std::snprintf(text, sizeof text, "Dry run: the clock would be set to %04u-%02u-%02u %02u:%02u:%02u.%03u UTC",
                  utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second, utc.milliseconds);
    state.view().set_text(control_status_line, text);
    return true;
}

}  // namespace orvane
