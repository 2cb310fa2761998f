#include "platform/policy.h"

namespace orvane {

// No administrator's policy on POSIX systems: the settings file alone.
std::vector<found_policy_value> read_machine_policy() { return {}; }

}  // namespace orvane
