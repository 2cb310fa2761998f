#include "engine/failover_plan.h"
#include <algorithm>
#include "core/query_engine.h"

namespace orvane {

next_attempt plan_next_attempt(const failover_position& at) {
    if (at.elapsed_ms >= operation_timeouts * at.timeout_ms) return {};
    if (at.protocol == protocol_auto && at.auto_protocol == protocol_sntp)
        return {false, false, at.server_index, protocol_time};  // the same server once more, over TIME
    if (at.list_size <= 0) return {};
    const std::int32_t next = (at.server_index + 1) % at.list_size;
    // Back where the operation began (or, should the list have shrunk, at its start).
    if (next == at.first_index % at.list_size) return {};
    return {false, true, next, protocol_sntp};
}

std::uint32_t attempt_limit_ms(std::uint32_t timeout_ms, std::uint32_t elapsed_ms) {
    const std::uint32_t operation_ms = operation_timeouts * timeout_ms;
    return elapsed_ms >= operation_ms ? 0 : std::min(timeout_ms, operation_ms - elapsed_ms);
}

}  // namespace orvane
