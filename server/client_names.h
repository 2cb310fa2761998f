// The names the servers show for their clients: the host name from a reverse
// look-up, or the dotted address when there is none. A small cache of recent
// clients keeps a busy server from asking the resolver again and again.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include "sys/sockets.h"

namespace orvane {

// The reverse look-up: a host name, or "" when there is none.
using name_lookup = std::string (*)(ip_address address);
// Replaces the reverse look-up of every server (tests: a resolver that is
// slow or knows no names); nullptr restores host_name_of.
void set_client_name_lookup(name_lookup lookup);

// Times here are the machine's steady clock: they pace the work of a
// thread, and are no part of the time the program keeps or serves.
class client_name_cache {
public:
    using time_point = std::chrono::steady_clock::time_point;
    static constexpr std::size_t capacity = 12;
    // A name found this long ago is looked up again when the client returns.
    static constexpr auto name_lifetime = std::chrono::minutes(10);
    // A client is logged at most once in this period.
    static constexpr auto log_period = std::chrono::seconds(1);

    // The name to show for `client`, looked up only when it is not cached
    // (this may block for as long as the resolver takes).
    const std::string& shown_name(ip_address client, time_point now);
    // True when `client` (just shown) has not been logged within the log
    // period; notes the time if so.
    bool log_due(ip_address client, time_point now);
    // How many look-ups the cache has made.
    std::uint32_t lookups_made() const { return lookups_; }

private:
    struct entry {
        ip_address address;
        std::string shown;
        time_point found{};
        time_point logged_at{};
        std::uint64_t last_use = 0;  // 0: the slot is free
        bool logged = false;
    };
    entry* find(ip_address client);

    std::array<entry, capacity> entries_{};
    std::uint64_t uses_ = 0;
    std::uint32_t lookups_ = 0;
};

}  // namespace orvane
