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
// Gathering ends when every server has its exchanges, or, once this long has
// passed, when every server that can still answer has answered once, or at
// the query's own limit (average_wait_ms).
constexpr std::uint32_t average_enough_after_ms = 2500;

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
