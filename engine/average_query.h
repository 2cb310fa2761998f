// "Average": one query that asks up to four servers of the list at once
// over SNTP, takes each server's best exchange of up to four, keeps the
// servers that agree (engine/source_selection.h) and uses their median.
#pragma once
#include <cstdint>
#include <functional>
#include "core/query_engine.h"

namespace orvane {

class chronobel_state;

constexpr int average_most_servers = 4;
constexpr int average_exchanges_per_server = 4;
// Gathering ends as soon as more than half of the servers asked agree (their
// intervals share a point) with at least this many exchanges each; or when
// every server has had its exchanges (answered or given up) or failed; or,
// once average_enough_after_ms has passed, when every server that can still
// answer has answered once (servers that answer once and then drop what
// follows, as rate-limiting ones do); or at the query's own limit
// (average_wait_ms).
constexpr int average_exchanges_to_agree = 2;
constexpr std::uint32_t average_enough_after_ms = 2500;
// The exchanges with one server that run together once a round trip is
// known (see below), so that a loss on one does not hold up the other. Not
// from the start: two requests sent together meet the same moment of the
// path and of this computer, and a server's first two exchanges would share
// any delay of that moment instead of letting the shorter one show it.
constexpr int average_exchanges_at_once = 2;
// Once a round trip is known, a lost request is sent again after this many
// times the longest one seen, within these bounds, instead of after a whole
// second: with four servers to hear from, waiting a second for each loss
// makes the answer slow. A server's own round trips count, or, before its
// first answer, the other servers'. A request sent again too soon costs one
// datagram: the first one's answer still counts.
constexpr std::uint32_t average_round_trips_to_resend = 2;
constexpr std::uint32_t average_least_resend_ms = 100;

// Whether an operation started now asks several servers: the setting is on,
// the servers come from the list, and the protocol is SNTP or Auto's SNTP turn.
bool average_applies(const chronobel_state& state);
// On the starting thread, before the query thread: the names of up to four
// list entries (from the first, in list order) and the wait, into the
// engine; cleared when averaging does not apply.
void prepare_average(chronobel_state& state);

// What the query thread lends the averaged exchange.
struct average_hooks {
    std::function<bool()> aborted;
    // Publishes a socket for an abort to end its calls; false when the
    // query is no longer the engine's.
    std::function<bool(socket_handle)> publish_socket;
    std::function<void()> connected;  // the sockets are ready: phase 4
    std::function<void()> reply_converted;
};
// Runs the averaged exchange on the query's own engine copy `e` and fills
// its results (offset, server time, reply tick, the servers_* fields,
// server_name: the agreeing servers). Returns a query result code; the
// sockets it opened are closed, except `published`, which the caller closes.
int run_average_query(query_engine& e, const average_hooks& hooks, socket_handle& published, std::uint32_t start_tick);

}  // namespace orvane
