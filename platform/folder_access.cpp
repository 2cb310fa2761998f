#include "platform/folder_access.h"
#include <algorithm>
#include <array>

namespace orvane {
namespace {

constexpr std::array<const wchar_t*, 4> standard_user_groups = {sid_users, sid_authenticated_users, sid_everyone,
                                                                sid_interactive};

bool is_standard_user_group(const std::wstring& sid) {
    return std::any_of(standard_user_groups.begin(), standard_user_groups.end(),
                       [&](const wchar_t* group) { return sid == group; });
}

}  // namespace

bool changeable_by_standard_users(const object_access& access) {
    if (!access.has_list || is_standard_user_group(access.owner)) return true;
    std::uint32_t granted = 0, denied = 0;
    for (const access_entry& entry : access.entries) {
        if (entry.inherit_only || !is_standard_user_group(entry.sid)) continue;
        if (entry.allow)
            granted |= entry.mask & ~denied;
        else
            denied |= entry.mask & ~granted;
    }
    return (granted & changing_access) != 0;
}

}  // namespace orvane
