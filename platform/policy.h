// The machine policy as this system keeps it: read afresh, checked, put on
// top of the settings just loaded, and what was ignored written to the log.
#pragma once
#include <vector>
#include "core/policy.h"
#include "core/state.h"

namespace orvane {

// Every value of the policy table that the system holds (Windows: the
// registry key policy_key under HKEY_LOCAL_MACHINE; POSIX: none).
std::vector<found_policy_value> read_machine_policy();

// After the settings are loaded (start, and the service's reload).
void apply_machine_policy(chronobel_state& state);
// The same from the values of another source (tests).
void apply_machine_policy(chronobel_state& state, const std::vector<found_policy_value>& found);

}  // namespace orvane
