// The time query: one TIME (RFC 868) or SNTP (RFC 4330) exchange with one
// server, run on a thread of its own, its outcome left in the query_engine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "core/query_engine.h"
#include "engine/winsock_count.h"
#include "sys/sockets.h"

namespace orvane {

class chronobel_state;

// Phases of a query (query_engine::phase); there is no phase 3.
enum query_phase : std::int32_t {
    phase_prepared = 0,
    phase_started = 1,
    phase_connecting = 2,
    phase_awaiting_reply = 4,
    phase_reply_converted = 5,
    phase_result_valid = 6,
};

// A local clock whose filetime high word lies outside this window is not
// trusted for SNTP: the query then asks for the absolute time over TIME.
constexpr std::uint32_t plausible_clock_low = 30'312'815;   // 2013-07-25 19:41:47 UTC
constexpr std::uint32_t plausible_clock_high = 40'000'000;  // 2145-05-30 01:53:04 UTC
constexpr int receive_attempts = 100;
constexpr std::uint32_t empty_receive_pause_ms = 1;
// A refused date-range bound moves by this many units of a filetime's high word.
constexpr std::uint32_t date_range_widening = 1500;
// An SNTP query waits for its reply at most this long (beyond the longest
// time-out, 99 s, which ends it first), looking for an abort this often.
constexpr std::uint32_t sntp_reply_wait_limit_ms = 100'000;
// How long an SNTP server's address may stay silent before the query tries
// the server's next address: its first two requests (1 s and 2 s apart).
constexpr std::uint32_t silent_address_limit_ms = 3000;
constexpr std::uint32_t abort_poll_ms = 50;
// How long an abort waits for the query thread before it gives up on it.
constexpr std::uint32_t abort_deadline_ms = 750;

// 0, or 12 when a query is still running (then nothing changes).
int prepare_query(query_engine& engine);
// The body of the query thread for the query of `generation`. It works on
// fields of its own and hands phases and results to the engine only while
// that query is still the engine's; one that an abort has given up on ends
// without touching the engine. The outcome is phase, failed, result_code
// and the result fields.
void run_query(chronobel_state& state, std::uint32_t generation);
// The same for the query prepared last (on the caller's thread).
void run_query(chronobel_state& state);
// Returns the engine to idle once the caller has dealt with the result;
// does nothing while the query thread still runs.
void finish_query(query_engine& engine);

// This thread's last socket error as a query result code (15, 16, 17, 18).
int map_socket_error();

// Starts the query thread for a query that prepare_query has prepared. The
// thread is handed an owner of the state of its own; its handle goes to the
// state's threads. Returns false (and ends the prepared query as failed)
// when no thread starts.
bool start_query_thread(chronobel_state& state);

// Stops a running query: abort_requested := 1 and its blocked call is ended,
// again at every short step until the query thread has finished. A thread
// still running after abort_deadline_ms (a name look-up cannot be woken) is
// given up: the query fails at once and the thread, left to end on its own,
// no longer touches the engine. Returns 0.
int abort_query(query_engine& engine);

// How a query finds the addresses of a list entry that is not an address's
// text: every address of the name, IPv4 and IPv6, in the resolver's order.
// The seam lets tests make the look-up slow; null restores the system's.
using name_resolver = bool (*)(const std::string& name, std::vector<ip_address>& addresses);
void set_name_resolver(name_resolver resolver);
bool resolve_server_name(const std::string& name, std::vector<ip_address>& addresses);
// A server entry's addresses: the one it names when it is an address's text
// (dotted IPv4, or IPv6 bare or in brackets), otherwise those of the look-up.
bool server_addresses(const std::string& entry, std::vector<ip_address>& addresses);

}  // namespace orvane
