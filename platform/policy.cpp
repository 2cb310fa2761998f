#include "platform/policy.h"
#include "core/settings_file.h"
#include "engine/log.h"

namespace orvane {

void apply_machine_policy(chronobel_state& state) { apply_machine_policy(state, read_machine_policy()); }

void apply_machine_policy(chronobel_state& state, const std::vector<found_policy_value>& found) {
    policy_check check = check_policy(found);
    if (!state.settings.log_disabled)
        for (const std::string& line : check.ignored) write_log_line(state, line, "");
    state.policy = std::move(check.policy);
    put_policy_on_top(state);
}

}  // namespace orvane
