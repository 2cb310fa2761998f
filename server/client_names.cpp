#include "server/client_names.h"
#include <algorithm>
#include <atomic>

namespace orvane {
namespace {

std::atomic<name_lookup> g_lookup{nullptr};

std::string look_up(ip_address address) {
    const name_lookup replaced = g_lookup.load();
    return replaced ? replaced(address) : host_name_of(address);
}

}  // namespace

void set_client_name_lookup(name_lookup lookup) { g_lookup.store(lookup); }

client_name_cache::entry* client_name_cache::find(ip_address client) {
    for (entry& e : entries_)
        if (e.last_use != 0 && e.address == client) return &e;
    return nullptr;
}

const std::string& client_name_cache::shown_name(ip_address client, time_point now) {
    entry* e = find(client);
    if (!e || now - e->found >= name_lifetime) {
        if (!e) {
            // A free slot, else the one used longest ago.
            e = &*std::min_element(entries_.begin(), entries_.end(),
                                   [](const entry& a, const entry& b) { return a.last_use < b.last_use; });
            *e = entry{};
            e->address = client;
        }
        ++lookups_;
        e->shown = look_up(client);
        if (e->shown.empty()) e->shown = address_text(client);
        e->found = now;
    }
    e->last_use = ++uses_;
    return e->shown;
}

bool client_name_cache::log_due(ip_address client, time_point now) {
    entry* e = find(client);
    if (!e) return true;
    if (e->logged && now - e->logged_at < log_period) return false;
    e->logged = true;
    e->logged_at = now;
    return true;
}

}  // namespace orvane
