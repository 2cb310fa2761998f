// The right to set the system clock.
#pragma once

namespace orvane {

// Test seam of the Windows program: while this environment variable is set
// (to anything), the clock-setting right counts as not held, as for a
// standard user. Nothing but enable_privilege reads it.
constexpr wchar_t no_time_privilege_variable[] = L"CHRONOBEL_TEST_NO_TIME_PRIVILEGE";

// Result codes of enable_privilege.
enum privilege_result : int { privilege_enabled = 0, privilege_not_held = 11, privilege_error = 20 };

// Enables (or disables) a privilege of this process by name. On POSIX only
// the clock-setting right is known: the result says whether the process
// holds it.
int enable_privilege(const wchar_t* name, bool enable);

}  // namespace orvane
