// Machine policy: values an administrator sets (Group Policy) that override
// the user's stored settings. One table names them, with their type and
// range; the values a source found are checked against it whole, and only
// valid ones are put on top of the settings. The user's own choices stay in
// the settings file (see keep_user_choices).
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include "core/settings_record.h"

namespace orvane {

struct query_engine;

// Where the values live in the registry (under HKEY_LOCAL_MACHINE).
inline constexpr wchar_t policy_key[] = L"SOFTWARE\\Policies\\Orvane\\Chronobel";

// The tooltip of a control whose setting a policy value decides.
inline constexpr char set_by_administrator_text[] = "Set by your administrator";

enum class policy_id : int { servers, protocol, autosync_minutes, server, lock_time_zone, average, lock_settings };
constexpr int policy_count = 7;

enum class policy_type : int { dword, multi_string };

struct policy_entry {
    policy_id id;
    const char* value_name;
    policy_type type;
    // The range of a DWORD (inclusive); for a string list, the number of entries.
    std::uint32_t low;
    std::uint32_t high;
    // The setting it overrides, in words (for the log and the templates' readers).
    const char* overrides;
};

// Every policy value the program reads, in the order of policy_id.
std::span<const policy_entry> policy_table();
const policy_entry& policy_entry_of(policy_id id);

// The longest AutoSync period a policy may set: 99 days, in minutes.
constexpr std::uint32_t longest_autosync_minutes = 99u * 24u * 60u;
// Most entries a Servers value may hold.
constexpr std::uint32_t most_policy_servers = 100;

// A value as a source found it: its registry type and its data.
enum class found_type : int { dword, multi_string, other };
struct found_policy_value {
    std::string name;
    found_type type = found_type::other;
    std::uint32_t number = 0;
    std::vector<std::string> texts;
};

// The policy values in force, each only when present and valid.
struct machine_policy {
    std::optional<std::vector<std::string>> servers;
    std::optional<std::int32_t> protocol;
    std::optional<std::uint32_t> autosync_minutes;
    std::optional<bool> server;
    std::optional<bool> lock_time_zone;
    std::optional<bool> average;
    bool lock_settings = false;

    bool governs(policy_id id) const;
    bool any() const;
};

struct policy_check {
    machine_policy policy;
    // One line per value ignored (wrong type or out of range), for the log.
    std::vector<std::string> ignored;
};

// Checks what a source found: a value of the wrong type or out of range is
// ignored whole; names the table does not know are not looked at.
policy_check check_policy(const std::vector<found_policy_value>& found);

// An AutoSync period of whole minutes as the settings store it (a count of
// 1-99 minutes, hours or days); false when it has no such form.
bool autosync_period_of(std::uint32_t minutes, std::int32_t& count, std::int32_t& unit);

// Puts the policy on top of the settings and the engine's query inputs.
void apply_policy(const machine_policy& policy, settings_record& settings, query_engine& engine);

// The record to save: `out` as it is now, except that every field a
// policy governs takes the user's own value from `user`.
void keep_user_choices(const machine_policy& policy, const settings_record& user, settings_record& out);

}  // namespace orvane
