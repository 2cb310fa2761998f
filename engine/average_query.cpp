#include "engine/average_query.h"
#include <algorithm>
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
    sntp_exchange exchange;
    std::vector<time_sample> samples;
    bool failed = false;
    bool complete() const { return failed || samples.size() >= static_cast<std::size_t>(average_exchanges_per_server); }
};

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The server's first address, in the resolver's order, that a socket can be
// connected to (an IPv6 address without a route to it fails here).
void open_server(server_run& r, std::uint16_t port, std::string& first_address_text) {
    std::vector<ip_address> addresses;
    r.failed = !server_addresses(r.name, addresses);
    for (const ip_address& address : addresses) {
        r.socket = open_socket(socket_transport::udp, address.family);
        if (r.socket != no_socket && connect_socket(r.socket, address, port)) {
            if (first_address_text.empty()) first_address_text = address_text(address);
            r.exchange.socket = r.socket;
            return;
        }
        close_socket(r.socket);
        r.socket = no_socket;
    }
    r.failed = true;
}

bool gathered_enough(const std::vector<server_run>& servers, std::uint32_t elapsed) {
    if (std::all_of(servers.begin(), servers.end(), [](const server_run& r) { return r.complete(); })) return true;
    return elapsed >= average_enough_after_ms &&
           std::all_of(servers.begin(), servers.end(), [](const server_run& r) { return r.failed || !r.samples.empty(); });
}

// Sends what is due and takes one datagram; false when the sockets fail.
bool gather_step(std::vector<server_run>& servers, std::uint32_t now, std::uint32_t wait_limit_ms) {
    std::vector<socket_handle> waiting;
    std::vector<server_run*> owners;
    std::uint32_t wait = wait_limit_ms;
    for (server_run& r : servers) {
        if (r.complete()) continue;
        if (!r.exchange.send_if_due(now)) {
            r.failed = true;
            continue;
        }
        wait = std::min(wait, r.exchange.wait_ms(now, wait_limit_ms));
        waiting.push_back(r.socket);
        owners.push_back(&r);
    }
    if (waiting.empty()) return true;
    const int ready = wait_any_readable(waiting.data(), static_cast<int>(waiting.size()), wait);
    if (ready == -2) return false;
    if (ready < 0) return true;
    server_run& r = *owners[static_cast<std::size_t>(ready)];
    sntp_reading reading;
    sntp_reply_check check = sntp_reply_check::passed;
    filetime t4 = 0;
    std::uint32_t tick = 0;
    switch (receive_sntp_reply(r.exchange, reading, check, t4, tick)) {
    case sntp_receive::accepted:
        r.samples.push_back({reading.offset, reading.delay, reading.allowance});
        r.exchange = sntp_exchange{};  // the next exchange begins at once
        r.exchange.socket = r.socket;
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
    std::vector<time_sample> best;
    std::vector<const server_run*> answered;
    for (const server_run& r : servers) {
        const int i = best_exchange(r.samples);
        if (i < 0) continue;
        best.push_back(r.samples[static_cast<std::size_t>(i)]);
        answered.push_back(&r);
    }
    e.servers_answered = static_cast<std::int32_t>(answered.size());
    if (answered.empty()) return query_timed_out;
    const server_selection chosen = select_servers(best);
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
