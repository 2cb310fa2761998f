#include "engine/failover_plan.h"
#include "core/query_engine.h"

namespace orvane {

next_attempt plan_next_attempt(const failover_position& at) {
    if (at.protocol == protocol_auto && at.auto_protocol == protocol_sntp)
        return {false, false, at.server_index, protocol_time};  // the same server once more, over TIME
    if (at.list_size <= 0) return {};
    const std::int32_t next = (at.server_index + 1) % at.list_size;
    if (next == at.first_index) return {};  // back where the operation began
    return {false, true, next, protocol_sntp};
}

}  // namespace orvane
