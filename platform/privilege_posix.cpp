#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include "platform/privilege.h"

namespace orvane {
namespace {
constexpr unsigned capability_sys_time = 25;

// The effective capabilities of this process, from /proc.
bool holds_capability(unsigned bit) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return false;
    char line[256];
    unsigned long long effective = 0;
    bool found = false;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "CapEff:", 7) == 0) {
            effective = std::strtoull(line + 7, nullptr, 16);
            found = true;
            break;
        }
    }
    std::fclose(status);
    return found && (effective >> bit & 1);
}
}  // namespace

int enable_privilege(const wchar_t* name, bool) {
    if (std::wcscmp(name, L"SeSystemtimePrivilege") != 0) return privilege_error;
    return holds_capability(capability_sys_time) ? privilege_enabled : privilege_not_held;
}

}  // namespace orvane
