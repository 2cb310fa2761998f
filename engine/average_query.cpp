#include "engine/average_query.h"
#include <algorithm>
#include <array>
#include <optional>
#include <vector>
#include "core/state.h"
#include "data/server_list.h"
#include "engine/query.h"
#include "engine/sntp_exchange.h"
#include "engine/source_selection.h"
#include "engine/sync_result.h"
#include "sys/clock.h"
#include "sys/sockets.h"

namespace orvane {
namespace {

constexpr std::uint32_t least_wait_ms = 1000, most_wait_ms = 10'000;
// Left of the operation's time-out for the answer to be shown before it.
constexpr std::uint32_t time_out_margin_ms = 1500;

struct server_run {
    std::string name;
    socket_handle socket = no_socket;
    // The exchanges with the server, all on its one socket: the first alone,
    // then, once a round trip is known, two at a time. An idle one has sent
    // nothing.
    std::array<sntp_exchange, average_exchanges_at_once> exchanges;
    std::array<bool, average_exchanges_at_once> running{};
    std::vector<time_sample> samples;
    int begun = 0;  // exchanges begun
    int lost = 0;   // exchanges given up without a reply
    bool failed = false;
    bool complete() const {
        return failed || static_cast<int>(samples.size()) + lost >= average_exchanges_per_server;
    }
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Begins the server's next exchange in place of exchange `i` (its first
// request goes out at once), or leaves that one idle when all have begun.
void begin_exchange(server_run& r, std::size_t i) {
    r.exchanges[i] = sntp_exchange{};
    r.exchanges[i].socket = r.socket;
    r.running[i] = r.begun < average_exchanges_per_server;
    if (r.running[i]) ++r.begun;
}

void open_server(server_run& r, std::uint16_t port, std::string& address_text) {
    ipv4_address address = ipv4_from_text(r.name);
    if (address == ipv4_none && !resolve_server_name(r.name, address)) {
        r.failed = true;
        return;
    }
    if (address_text.empty()) address_text = ipv4_text(address);
    r.socket = open_socket(socket_transport::udp);
    r.failed = r.socket == no_socket || !connect_socket(r.socket, address, port);
    if (!r.failed) begin_exchange(r, 0);
}

// Each answering server's best sample, and the servers they stand for.
struct best_samples {
    std::vector<time_sample> samples;
    std::vector<const server_run*> servers;
};

best_samples best_of_each(const std::vector<server_run>& servers) {
    best_samples best;
    for (const server_run& r : servers) {
        const int i = best_exchange(r.samples);
        if (i < 0) continue;
        best.samples.push_back(r.samples[static_cast<std::size_t>(i)]);
        best.servers.push_back(&r);
    }
    return best;
}

// More than half of the servers asked agree, with enough exchanges each.
bool majority_agrees(const std::vector<server_run>& servers) {
    const best_samples best = best_of_each(servers);
    const server_selection chosen = select_servers(best.samples);
    if (chosen.outcome != selection_outcome::agreed) return false;
    std::size_t settled = 0;
    for (std::size_t i = 0; i < best.servers.size(); ++i)
        if ((chosen.group >> i & 1) && best.servers[i]->samples.size() >= std::size_t{average_exchanges_to_agree})
            ++settled;
    return 2 * settled > servers.size();
}

bool gathered_enough(const std::vector<server_run>& servers, std::uint32_t elapsed) {
    const auto all = [&servers](auto done) { return std::all_of(servers.begin(), servers.end(), done); };
    if (all([](const server_run& r) { return r.complete(); }) || majority_agrees(servers)) return true;
    return elapsed >= average_enough_after_ms &&
           all([](const server_run& r) { return r.complete() || !r.samples.empty(); });
}

std::uint32_t round_trip_ms(const time_sample& s) {
    constexpr std::int64_t longest = std::int64_t{sntp_retransmit_gaps_ms[0]} << 32;  // in 2^-32 s, as `delay`
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(s.delay, 0, longest) * 1000 >> 32);
}

std::uint32_t longest_round_trip_ms(const std::vector<time_sample>& samples) {
    std::uint32_t longest = 0;
    for (const time_sample& s : samples) longest = std::max(longest, round_trip_ms(s));
    return longest;
}

// The longest round trip of `r`, or of the others before it has answered;
// nothing while nobody has.
std::optional<std::uint32_t> known_round_trip_ms(const server_run& r, const std::vector<server_run>& servers) {
    if (!r.samples.empty()) return longest_round_trip_ms(r.samples);
    std::optional<std::uint32_t> trip;
    for (const server_run& other : servers)
        if (!other.samples.empty()) trip = std::max(trip.value_or(0), longest_round_trip_ms(other.samples));
    return trip;
}

// The first resend gap: from the round trip once known, else the usual one.
std::uint32_t resend_gap_ms(std::optional<std::uint32_t> trip) {
    constexpr std::uint32_t usual = sntp_retransmit_gaps_ms[0];
    return trip ? std::clamp(*trip * average_round_trips_to_resend, average_least_resend_ms, usual) : usual;
}

// Sends what is due and takes one datagram; false when the sockets fail.
bool gather_step(std::vector<server_run>& servers, std::uint32_t now, std::uint32_t wait_limit_ms) {
    std::vector<socket_handle> waiting;
    std::vector<server_run*> owners;
    std::uint32_t wait = wait_limit_ms;
    for (server_run& r : servers) {
        const std::optional<std::uint32_t> trip = known_round_trip_ms(r, servers);
        const std::uint32_t gap = resend_gap_ms(trip);
        for (std::size_t i = 0; i < r.exchanges.size() && !r.complete(); ++i) {
            sntp_exchange& x = r.exchanges[i];
            if (!r.running[i] && trip) begin_exchange(r, i);  // the second, once the path is known
            if (!r.running[i]) continue;
            x.first_gap_ms = gap;
            if (x.given_up(now)) {
                ++r.lost;
                begin_exchange(r, i);
                if (!r.running[i] || r.complete()) continue;
            }
            if (!x.send_if_due(now)) r.failed = true;
            wait = std::min(wait, x.wait_ms(now, wait_limit_ms));
        }
        if (r.complete()) continue;
        waiting.push_back(r.socket);
        owners.push_back(&r);
    }
    if (waiting.empty()) return true;
    const int ready = wait_any_readable(waiting.data(), static_cast<int>(waiting.size()), wait);
    if (ready == -2) return false;
    if (ready < 0) return true;
    server_run& r = *owners[static_cast<std::size_t>(ready)];
    std::size_t answered = 0;
    sntp_reading reading;
    sntp_reply_check check = sntp_reply_check::passed;
    filetime t4 = 0;
    std::uint32_t tick = 0;
    switch (receive_sntp_reply(r.exchanges, answered, reading, check, t4, tick)) {
    case sntp_receive::accepted:
        r.samples.push_back({reading.offset, reading.delay, reading.allowance});
        begin_exchange(r, answered);
        break;
    case sntp_receive::ignored: break;
    case sntp_receive::refused:  // a kiss-o'-death or no time: this server is done
    case sntp_receive::failed: r.failed = true; break;
    }
    return true;
}

// Chooses among the servers' best samples and fills the engine's result.
int choose(query_engine& e, const std::vector<server_run>& servers, const average_hooks& hooks,
           std::uint32_t start_tick) {
    const best_samples best = best_of_each(servers);
    const std::vector<const server_run*>& answered = best.servers;
    e.servers_answered = static_cast<std::int32_t>(answered.size());
    if (answered.empty()) return query_timed_out;
    const server_selection chosen = select_servers(best.samples);
    e.servers_agreeing = chosen.group_size;
    std::vector<std::string> used, left_out;
    for (std::size_t i = 0; i < answered.size(); ++i)
        ((chosen.group >> i) & 1 ? used : left_out).push_back(answered[i]->name);
    // One lone answer among several servers asked proves nothing.
    const bool enough = servers.size() < 2 || chosen.group_size >= 2;
    if (chosen.outcome != selection_outcome::agreed || !enough) {
        std::vector<std::string> names;
        for (const server_run* r : answered) names.push_back(r->name);
        e.server_name = joined(names);
        return query_no_majority;
    }
    e.server_name = joined(used);
    e.servers_left_out = joined(left_out);
    e.reply_tick = tick_count();
    e.response_ms = static_cast<std::int32_t>(e.reply_tick - start_tick);
    hooks.reply_converted();
    const filetime server_now = system_time_now() + static_cast<filetime>(offset_to_filetime_units(chosen.offset));
    e.offset = chosen.offset;
    e.server_time = server_now;
    e.server_seconds = filetime_to_ntp_timestamp(server_now).seconds;
    return query_ok;
}

}  // namespace

bool average_applies(const chronobel_state& state) {
    const query_engine& e = state.engine;
    return state.settings.average != 0 && e.server_source == source_list && effective_protocol(e) == protocol_sntp;
}

void prepare_average(chronobel_state& state) {
    query_engine& e = state.engine;
    e.average_names.clear();
    if (!average_applies(state)) return;
    const std::string current = e.server_name;
    for (unsigned n = 1; n <= static_cast<unsigned>(average_most_servers); ++n) {
        if (read_server_list(state, nullptr, n) != list_ok) break;
        e.average_names.push_back(e.server_name);
    }
    e.server_name = current;
    const std::int64_t timeout_ms = std::int64_t{state.settings.sync_timeout_s} * 1000 - time_out_margin_ms;
    e.average_wait_ms = static_cast<std::uint32_t>(std::clamp<std::int64_t>(timeout_ms, least_wait_ms, most_wait_ms));
}

int run_average_query(query_engine& e, const average_hooks& hooks, socket_handle& published, std::uint32_t start_tick) {
    std::vector<server_run> servers(e.average_names.size());
    std::string address_text;
    for (std::size_t i = 0; i < servers.size(); ++i) {
        servers[i].name = e.average_names[i];
        if (hooks.aborted()) break;
        open_server(servers[i], e.sntp_port, address_text);
        // The first socket is the one an abort ends; the wait below looks
        // at the abort flag often enough for the others.
        if (published == no_socket && servers[i].socket != no_socket) {
            published = servers[i].socket;
            if (!hooks.publish_socket(published)) break;
        }
    }
    e.servers_asked = static_cast<std::int32_t>(servers.size());
    e.server_name = joined(e.average_names);
    e.server_address_text = address_text;
    int code = query_ok;
    if (hooks.aborted()) {
        code = query_socket_error;
    } else {
        hooks.connected();
        const std::uint32_t began = tick_count();
        for (;;) {
            if (hooks.aborted()) {
                code = query_socket_error;
                break;
            }
            const std::uint32_t elapsed = tick_count() - began;
            if (elapsed >= e.average_wait_ms || gathered_enough(servers, elapsed)) break;
            const std::uint32_t left = e.average_wait_ms - elapsed;
            if (!gather_step(servers, tick_count(), std::min(left, abort_poll_ms))) {
                code = map_socket_error();
                break;
            }
        }
        if (code == query_ok) code = choose(e, servers, hooks, start_tick);
    }
    for (server_run& r : servers)
        if (r.socket != no_socket && r.socket != published) close_socket(r.socket);
    return code;
}

}  // namespace orvane
