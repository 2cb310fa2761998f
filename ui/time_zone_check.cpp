#include "ui/time_zone_check.h"

namespace orvane {

void check_time_zone(chronobel_state&) {}

}  // namespace orvane
