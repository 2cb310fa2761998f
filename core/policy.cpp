#include "core/policy.h"
#include <algorithm>
#include <cstring>
#include "core/auto_period.h"
#include "core/query_engine.h"

namespace orvane {
namespace {

constexpr std::uint32_t off = 0, on = 1;
// A host name (or an address, IPv6 in brackets) is at most this long.
constexpr std::size_t longest_host = 255;
// As in the server list file, shorter lines are no entry.
constexpr std::size_t shortest_host = 3;
constexpr std::int32_t largest_count = 99;

constexpr policy_entry table[] = {
    {policy_id::servers, "Servers", policy_type::multi_string, 1, most_policy_servers, "the server list"},
    {policy_id::protocol, "Protocol", policy_type::dword, protocol_time, protocol_auto, "the protocol"},
    {policy_id::autosync_minutes, "AutoSyncMinutes", policy_type::dword, 0, longest_autosync_minutes, "AutoSync"},
    {policy_id::server, "Server", policy_type::dword, off, on, "the built-in TIME and SNTP server"},
    {policy_id::lock_time_zone, "LockTimeZone", policy_type::dword, off, on, "the time-zone lock"},
    {policy_id::average, "Average", policy_type::dword, off, on, "Average"},
    {policy_id::lock_settings, "LockSettings", policy_type::dword, off, on, "every setting"},
};
static_assert(std::size(table) == policy_count);

bool valid_host(const std::string& host) {
    if (host.size() < shortest_host || host.size() > longest_host) return false;
    // Printable ASCII without blanks and without the list's comment sign.
    return std::all_of(host.begin(), host.end(), [](char c) { return c > ' ' && c < 0x7F && c != '#'; });
}

// Why a value is refused; empty when it is valid.
std::string refusal(const policy_entry& entry, const found_policy_value& value) {
    if (entry.type == policy_type::multi_string) {
        if (value.type != found_type::multi_string) return "is not a list of strings (REG_MULTI_SZ)";
        if (value.texts.size() < entry.low || value.texts.size() > entry.high)
            return "holds " + std::to_string(value.texts.size()) + " entries, not " + std::to_string(entry.low) +
                   " to " + std::to_string(entry.high);
        for (const std::string& text : value.texts)
            if (!valid_host(text)) return "holds an entry that is not a server name: \"" + text + "\"";
        return {};
    }
    if (value.type != found_type::dword) return "is not a number (REG_DWORD)";
    if (value.number < entry.low || value.number > entry.high)
        return "is " + std::to_string(value.number) + ", outside " + std::to_string(entry.low) + " to " +
               std::to_string(entry.high);
    std::int32_t count = 0, unit = 0;
    if (entry.id == policy_id::autosync_minutes && value.number != 0 && !autosync_period_of(value.number, count, unit))
        return "is " + std::to_string(value.number) + " minutes, which is not 1 to 99 minutes, hours or days";
    return {};
}

void take(machine_policy& policy, policy_id id, const found_policy_value& value) {
    switch (id) {
        case policy_id::servers: policy.servers = value.texts; break;
        case policy_id::protocol: policy.protocol = static_cast<std::int32_t>(value.number); break;
        case policy_id::autosync_minutes: policy.autosync_minutes = value.number; break;
        case policy_id::server: policy.server = value.number != 0; break;
        case policy_id::lock_time_zone: policy.lock_time_zone = value.number != 0; break;
        case policy_id::average: policy.average = value.number != 0; break;
        case policy_id::lock_settings: policy.lock_settings = value.number != 0; break;
    }
}

}  // namespace

std::span<const policy_entry> policy_table() { return table; }

const policy_entry& policy_entry_of(policy_id id) { return table[static_cast<int>(id)]; }

bool machine_policy::governs(policy_id id) const {
    switch (id) {
        case policy_id::servers: return servers.has_value();
        case policy_id::protocol: return protocol.has_value();
        case policy_id::autosync_minutes: return autosync_minutes.has_value();
        case policy_id::server: return server.has_value();
        case policy_id::lock_time_zone: return lock_time_zone.has_value();
        case policy_id::average: return average.has_value();
        case policy_id::lock_settings: return lock_settings;
    }
    return false;
}

bool machine_policy::any() const {
    return std::any_of(table, table + policy_count, [this](const policy_entry& e) { return governs(e.id); });
}

policy_check check_policy(const std::vector<found_policy_value>& found) {
    policy_check check;
    for (const found_policy_value& value : found) {
        const policy_entry* entry = std::find_if(table, table + policy_count, [&](const policy_entry& e) {
            return std::strcmp(e.value_name, value.name.c_str()) == 0;
        });
        if (entry == table + policy_count) continue;
        if (std::string why = refusal(*entry, value); !why.empty())
            check.ignored.push_back("Policy " + value.name + " ignored: it " + why);
        else
            take(check.policy, entry->id, value);
    }
    return check;
}

bool autosync_period_of(std::uint32_t minutes, std::int32_t& count, std::int32_t& unit) {
    constexpr std::int64_t minute_ms = 60'000;
    for (int u : {unit_minutes, unit_hours, unit_days}) {
        const std::int64_t unit_minutes_count = auto_unit_ms(u) / minute_ms;
        if (minutes % unit_minutes_count == 0 && minutes / unit_minutes_count >= 1 &&
            minutes / unit_minutes_count <= largest_count) {
            count = static_cast<std::int32_t>(minutes / unit_minutes_count);
            unit = u;
            return true;
        }
    }
    return false;
}

void apply_policy(const machine_policy& policy, settings_record& s, query_engine& engine) {
    if (policy.autosync_minutes) {
        s.autosync_enabled = *policy.autosync_minutes != 0 ? 1 : 0;
        if (s.autosync_enabled) autosync_period_of(*policy.autosync_minutes, s.autosync_count, s.autosync_unit);
    }
    if (policy.server) s.time_server_enabled = *policy.server ? 1 : 0;
    if (policy.lock_time_zone) s.time_zone_locked = *policy.lock_time_zone ? 1 : 0;
    if (policy.average) s.average = *policy.average ? 1 : 0;
    change_query_inputs(engine, [&](query_engine& e) {
        if (policy.protocol) e.protocol = *policy.protocol;
        // The administrator's list, from its first entry.
        if (policy.servers) {
            e.server_source = source_list;
            e.server_index = 0;
        }
    });
}

void keep_user_choices(const machine_policy& policy, const settings_record& user, settings_record& out) {
    if (policy.autosync_minutes) {
        out.autosync_enabled = user.autosync_enabled;
        out.autosync_count = user.autosync_count;
        out.autosync_unit = user.autosync_unit;
    }
    if (policy.server) out.time_server_enabled = user.time_server_enabled;
    if (policy.lock_time_zone) out.time_zone_locked = user.time_zone_locked;
    if (policy.average) out.average = user.average;
    if (policy.protocol) out.saved_protocol = user.saved_protocol;
    if (policy.servers) {
        out.saved_server_source = user.saved_server_source;
        out.saved_server_index = user.saved_server_index;
    }
}

}  // namespace orvane
