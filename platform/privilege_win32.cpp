#include <windows.h>
#include <cstdlib>
#include <cwchar>
#include "platform/privilege.h"

namespace orvane {

int enable_privilege(const wchar_t* name, bool enable) {
    // Test seam: the program behaves as a standard user's, without the
    // right to set the clock.
    if (std::wcscmp(name, L"SeSystemtimePrivilege") == 0 && enable && _wgetenv(no_time_privilege_variable))
        return privilege_not_held;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExW(&version) && version.dwPlatformId != VER_PLATFORM_WIN32_NT) return privilege_enabled;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return privilege_error;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    int result = privilege_error;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        if (AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
            result = GetLastError() == ERROR_NOT_ALL_ASSIGNED ? privilege_not_held : privilege_enabled;
    }
    CloseHandle(token);
    return result;
}

}  // namespace orvane
