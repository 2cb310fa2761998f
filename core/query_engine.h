// The fields of the time-query engine, embedded in the shared state. The
// engine's functions live in engine/; the fields live here because the state
// holds them and the settings mirror some of them.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#include "sys/sockets_types.h"
#include "sys/time_types.h"

namespace orvane {

// Result codes of a query and of the Winsock reference count.
enum query_result : int {
    query_ok = 0,
    query_winsock_failed = 6,
    query_socket_failed = 7,
    query_unresolved = 8,
    query_short_send = 10,
    query_not_prepared = 12,
    query_not_connected = 15,
    query_timed_out = 16,
    query_socket_error = 17,
    query_no_protocol_option = 18,
    // "Average": the servers that answered did not agree by a majority.
    query_no_majority = 19,
};

// Protocols and server sources as the settings store them.
enum protocol_choice : int { protocol_time = 0, protocol_sntp = 1, protocol_auto = 2 };
enum server_source_choice : int { source_list = 0, source_manual_a = 1, source_manual_b = 2 };

struct query_engine {
    // Guards the start and the end of a query, and the query's inputs that
    // other threads change (see change_query_inputs).
    std::mutex query_mutex;
    std::mutex winsock_mutex;  // guards winsock_users
    std::atomic<std::uint8_t> in_progress{0};
    std::atomic<std::uint8_t> busy{0};
    std::atomic<std::int32_t> phase{0};  // 0, 1, 2, 4, 5, 6
    std::atomic<std::int32_t> winsock_users{0};
    std::atomic<std::uint8_t> abort_requested{0};
    std::atomic<std::uint8_t> failed{0};
    std::atomic<std::uint8_t> force_time_protocol{0};
    std::uint8_t date_range_enabled = 0;
    std::uint8_t date_range_auto_reset = 0;
    std::int32_t server_source = 0;
    std::int32_t server_index = 0;
    std::int32_t protocol = 0;
    std::int32_t start_index = 0;
    std::int32_t auto_protocol = 0;
    // The running query's socket: the query thread owns and closes it; other
    // threads only end its blocked calls (see engine/query_socket.h).
    std::atomic<socket_handle> query_socket{no_socket};
    // Server minus local clock in 2^-32 s: high 32 bits whole seconds.
    std::int64_t offset = 0;
    std::uint32_t server_seconds = 0;  // seconds since 1900 of the reply (mod 2^32)
    std::uint32_t reply_tick = 0;
    std::int32_t response_ms = 0;
    // The accepted date range. Atomic: on 32-bit x86 a plain 64-bit value is
    // read and written in two halves, and the options page and the settings
    // read the bounds while a query widens them.
    std::atomic<filetime> date_after{0};
    std::atomic<filetime> date_before{0};
    std::string server_address_text;
    std::string server_name;
    std::string manual_a;
    std::string manual_b;
    // The reply's time as a full filetime (era-aware), alongside server_seconds.
    filetime server_time = 0;
    // The result code of the last query (query_result); 0 with `failed` set
    // means the reply lay outside the date range.
    std::atomic<std::int32_t> result_code{0};
    // Which check refused the last SNTP reply (a socket error, code 17, to
    // callers), so the log can name the reason; 0 when none did.
    std::atomic<std::int32_t> reply_check{0};
    // Ports of the two protocols; tests point them at free loopback ports.
    std::uint16_t time_port = 37;
    std::uint16_t sntp_port = 123;
    // A TIME reply's whole seconds minus the local clock's when it arrived
    // (a TIME check has no finer difference to show); 0 after SNTP.
    std::int64_t time_difference_s = 0;
    // "Average": the servers a query asks together (filled when the query
    // starts; empty for a query of one server), and how long it gathers.
    std::vector<std::string> average_names;
    std::uint32_t average_wait_ms = 0;
    // Its outcome: how many were asked, answered and agreed, and the names
    // of those that answered but were left out (", " between them).
    std::int32_t servers_asked = 0;
    std::int32_t servers_answered = 0;
    std::int32_t servers_agreeing = 0;
    std::string servers_left_out;
    // The running operation's last failure as the status line says it
    // ("Time out on ..."), for the service's event log; the worker's alone.
    std::string failure_text;
    // Which query is the engine's: raised by every prepare and by an abort
    // that gives up on a query, whose thread then touches the engine no more.
    std::atomic<std::uint32_t> generation{0};
    // The running operation as a whole, all its attempts: the list position
    // it began with and its start (tick_count), which bound its failover
    // (engine/failover_plan.h), and whether the user has aborted it.
    std::int32_t first_index = 0;
    std::atomic<std::uint32_t> operation_start_tick{0};
    std::atomic<std::uint8_t> operation_aborted{0};
};

static_assert(std::atomic<filetime>::is_always_lock_free);

// Changes what a starting query copies from the engine (the server source
// and index, the protocol, Manual A and B, the date range) under
// query_mutex, under which the query copies it: the query takes either the
// old values or the new ones, never a mix or a text half written. Threads
// other than the one that runs the operation change them only this way.
template <typename Change>
void change_query_inputs(query_engine& engine, Change&& change) {
    std::lock_guard<std::mutex> lock(engine.query_mutex);
    change(engine);
}

// The protocol a query uses: the chosen one, or under Auto the one whose turn it is.
inline std::int32_t effective_protocol(const query_engine& engine) {
    return engine.protocol == protocol_auto ? engine.auto_protocol : engine.protocol;
}

}  // namespace orvane
