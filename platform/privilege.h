// The right to set the system clock.
#pragma once

namespace orvane {

// Result codes of enable_privilege.
enum privilege_result : int { privilege_enabled = 0, privilege_not_held = 11, privilege_error = 20 };

// Enables (or disables) a privilege of this process by name. On POSIX only
// the clock-setting right is known: the result says whether the process
// holds it.
int enable_privilege(const wchar_t* name, bool enable);

}  // namespace orvane
