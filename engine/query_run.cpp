// The body of the query thread: clock check, socket, address, connection,
// the TIME or SNTP exchange, and the date-range test.
#include <mutex>
#include <vector>
#include "core/state.h"
#include "engine/average_query.h"
#include "engine/date_range.h"
#include "engine/ntp_time.h"
#include "engine/query.h"
#include "engine/query_socket.h"
#include "engine/sntp_exchange.h"
#include "engine/sntp_packet.h"
#include "sys/clock.h"
#include "sys/sockets.h"
#include "sys/threads.h"

namespace orvane {
namespace {

// One run of the query thread. It fills fields of its own (`engine`, a
// copy of what the query needs) and hands them to the shared engine under
// query_mutex, and only while its query is still the engine's: a thread that
// an abort has given up on touches nothing of a later query.
struct query_run {
    chronobel_state& state;
    query_engine& shared;
    query_engine& engine;
    std::uint32_t generation;
    socket_handle socket = no_socket;
    std::uint32_t start_tick = 0;  // just before the socket was created
    sntp_reply_check reply_check = sntp_reply_check::passed;  // the check that refused the reply
};

bool still_current(const query_run& run) { return run.shared.generation.load() == run.generation; }

void signal_worker(const query_run& run) { set_event(run.state.worker_event); }

// Written only when they change, as readers on other threads do not lock.
void publish_names(const query_engine& from, query_engine& to) {
    if (to.server_name != from.server_name) to.server_name = from.server_name;
    if (!from.server_address_text.empty() && to.server_address_text != from.server_address_text)
        to.server_address_text = from.server_address_text;
}

// The names go with the phase: the status line shows them from phase 4 on.
void raise_phase(const query_run& run, query_phase phase) {
    {
        std::lock_guard<std::mutex> lock(run.shared.query_mutex);
        if (!still_current(run)) return;
        publish_names(run.engine, run.shared);
        run.shared.phase.store(phase);
    }
    signal_worker(run);
}

bool aborted(const query_run& run) { return run.shared.abort_requested.load() != 0 || !still_current(run); }

// Published before abort_requested is read (both sequentially consistent):
// an abort either sees the socket or is seen here.
bool publish_socket(const query_run& run) {
    std::lock_guard<std::mutex> lock(run.shared.query_mutex);
    if (!still_current(run)) return false;
    run.shared.query_socket.store(run.socket);
    return true;
}

// What the query needs of the engine, taken as it stands when the query runs.
void copy_query_inputs(const query_engine& from, query_engine& to) {
    to.date_range_enabled = from.date_range_enabled;
    to.date_range_auto_reset = from.date_range_auto_reset;
    to.server_source = from.server_source;
    to.server_index = from.server_index;
    to.protocol = from.protocol;
    to.auto_protocol = from.auto_protocol;
    to.date_after = from.date_after.load();
    to.date_before = from.date_before.load();
    to.server_name = from.server_name;
    to.manual_a = from.manual_a;
    to.manual_b = from.manual_b;
    to.time_port = from.time_port;
    to.sntp_port = from.sntp_port;
    to.average_names = from.average_names;
    to.average_wait_ms = from.average_wait_ms;
}

// A refused bound widened by the date-range test goes back to the engine;
// the other bound is left as the options may have set it meanwhile.
void copy_query_results(const query_engine& from, const query_engine& before, query_engine& to) {
    to.force_time_protocol.store(from.force_time_protocol.load());
    to.offset = from.offset;
    to.server_seconds = from.server_seconds;
    to.server_time = from.server_time;
    to.reply_tick = from.reply_tick;
    to.response_ms = from.response_ms;
    to.time_difference_s = from.time_difference_s;
    to.servers_asked = from.servers_asked;
    to.servers_answered = from.servers_answered;
    to.servers_agreeing = from.servers_agreeing;
    to.servers_left_out = from.servers_left_out;
    publish_names(from, to);
    if (from.date_after != before.date_after) to.date_after = from.date_after.load();
    if (from.date_before != before.date_before) to.date_before = from.date_before.load();
}

bool clock_plausible(filetime now) {
    const std::uint32_t high = high_word(now);
    return high >= plausible_clock_low && high <= plausible_clock_high;
}

// Manual A and B are IPv4 address controls, used as given; a list entry is
// an address's text (IPv4 or IPv6) or a name with all its addresses.
int find_server_addresses(query_engine& e, std::vector<ip_address>& addresses) {
    if (e.server_source == source_manual_a || e.server_source == source_manual_b) {
        e.server_name = e.server_source == source_manual_a ? e.manual_a : e.manual_b;
        addresses.assign(1, ipv4_from_text(e.server_name));  // unusable text fails at connect
        return query_ok;
    }
    return server_addresses(e.server_name, addresses) ? query_ok : query_unresolved;
}

// A socket of the address's family, published before the connection so that
// an abort can end a connect that hangs.
int connect_to_address(query_run& run, ip_address address, bool time_transport, bool keep_alive) {
    query_engine& e = run.engine;
    run.socket = open_socket(time_transport ? socket_transport::tcp : socket_transport::udp, address.family);
    if (run.socket == no_socket) return query_socket_failed;
    if (!publish_socket(run) || aborted(run)) return query_socket_error;
    if (keep_alive && !set_keepalive(run.socket, true)) return map_socket_error();
    e.server_address_text = address_text(address);
    if (!connect_socket(run.socket, address, time_transport ? e.time_port : e.sntp_port)) return map_socket_error();
    return query_ok;
}

// Receives one reply of exactly `size` bytes: up to 100 calls, each written
// from the start of the buffer, with a 1 ms pause after each empty one.
// Returns the last call's result.
int receive_reply(const query_run& run, std::uint8_t* buffer, int size) {
    int received = 0;
    for (int attempt = 0; attempt < receive_attempts && !aborted(run); ++attempt) {
        received = receive_bytes(run.socket, buffer, size);
        if (received == size || received < 0) break;
        if (received == 0) sleep_ms(empty_receive_pause_ms);
    }
    return received;
}

// RFC 868: four bytes of seconds since 1900. Anything but four bytes in one
// piece, or four zero bytes, is no answer.
int exchange_time(query_run& run) {
    query_engine& e = run.engine;
    std::uint8_t reply[time_reply_size] = {};
    const std::uint32_t seconds = time_reply_seconds(reply, receive_reply(run, reply, time_reply_size));
    if (seconds == 0) return map_socket_error();
    const filetime arrived = system_time_now();
    e.reply_tick = tick_count();
    e.server_seconds = seconds;
    e.server_time = ntp_seconds_to_filetime(seconds);
    e.time_difference_s = whole_seconds_difference(e.server_time, arrived);
    e.response_ms = static_cast<std::int32_t>(e.reply_tick - run.start_tick);
    raise_phase(run, phase_reply_converted);
    return query_ok;
}

// RFC 4330 client exchange, sent again while no reply comes (see
// engine/sntp_exchange.h). T1 is read right before each send, so the time
// spent on the look-up and the connection does not bias the offset. The wait
// goes on until a reply, the abort of the worker's time-out, or a limit
// beyond the longest time-out; it is cut into short slices so that an abort
// is seen at once even where ending the socket's calls does not wake it.
int exchange_sntp(query_run& run, std::uint32_t wait_limit_ms) {
    query_engine& e = run.engine;
    sntp_exchange exchange;
    exchange.socket = run.socket;
    const std::uint32_t began = tick_count();
    for (;;) {
        if (aborted(run)) return query_socket_error;
        const std::uint32_t now = tick_count();
        if (!exchange.send_if_due(now)) return query_short_send;
        if (now - began > wait_limit_ms) return query_timed_out;
        const int ready = wait_readable(run.socket, exchange.wait_ms(now, abort_poll_ms));
        if (ready < 0) return map_socket_error();
        if (ready == 0) continue;
        sntp_reading reading;
        sntp_reply_check check = sntp_reply_check::passed;
        filetime t4 = 0;
        std::uint32_t reply_tick = 0;
        const sntp_receive outcome = receive_sntp_reply(exchange, reading, check, t4, reply_tick);
        if (outcome == sntp_receive::failed) return map_socket_error();
        if (outcome == sntp_receive::ignored) continue;
        run.reply_check = check;
        // To callers a refused reply is a socket error; the check is kept for the log.
        if (outcome == sntp_receive::refused) return query_socket_error;
        e.reply_tick = reply_tick;
        e.response_ms = static_cast<std::int32_t>(reply_tick - run.start_tick);
        raise_phase(run, phase_reply_converted);
        e.offset = reading.offset;
        e.server_seconds = reading.server_seconds;
        e.server_time = reading.server_time;
        return query_ok;
    }
}

// Each address of the server in the resolver's order, until one answers:
// one that cannot be reached or gives no reply makes way for the next. An
// abort (the operation's time-out among them) ends the whole attempt, and a
// reply refused by its checks is the server's answer. A silent SNTP address
// with others behind it is left after its first two requests.
int ask_server(query_run& run, bool time_transport, bool keep_alive) {
    std::vector<ip_address> addresses;
    if (const int code = find_server_addresses(run.engine, addresses)) return code;
    int code = query_socket_error;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (aborted(run)) return query_socket_error;
        if (run.socket != no_socket) {
            close_query_socket(run.shared, run.socket);
            run.socket = no_socket;
        }
        const bool last = i + 1 == addresses.size();
        code = connect_to_address(run, addresses[i], time_transport, keep_alive);
        if (code == query_ok) {
            raise_phase(run, phase_awaiting_reply);
            code = time_transport ? exchange_time(run)
                                  : exchange_sntp(run, last ? sntp_reply_wait_limit_ms : silent_address_limit_ms);
        }
        if (code == query_ok || run.reply_check != sntp_reply_check::passed) return code;
    }
    return code;
}

// "Average": several servers at once (engine/average_query.h).
int exchange_average(query_run& run) {
    average_hooks hooks;
    hooks.aborted = [&run] { return aborted(run); };
    hooks.publish_socket = [&run](socket_handle s) {
        run.socket = s;
        return publish_socket(run);
    };
    hooks.connected = [&run] { raise_phase(run, phase_awaiting_reply); };
    hooks.reply_converted = [&run] { raise_phase(run, phase_reply_converted); };
    return run_average_query(run.engine, hooks, run.socket, run.start_tick);
}

// busy is cleared before the outcome is published, and both under
// query_mutex: whoever sees `failed` or phase 6 also sees the thread done, and
// a finish_query cannot slip in between. A query given up by an abort has
// its outcome already; its thread leaves the engine alone.
void end_query(query_run& run, const query_engine& inputs, int code, bool accepted) {
    query_engine& e = run.shared;
    {
        std::lock_guard<std::mutex> lock(e.query_mutex);
        if (!still_current(run)) return;
        if (code != query_not_prepared) copy_query_results(run.engine, inputs, e);
        e.result_code.store(code);
        e.reply_check.store(static_cast<std::int32_t>(run.reply_check));
        e.busy.store(0);
        if (accepted)
            e.phase.store(phase_result_valid);
        else
            e.failed.store(1);
    }
    signal_worker(run);
}

}  // namespace

void run_query(chronobel_state& state, std::uint32_t generation) {
    query_engine own, inputs;
    query_run run{state, state.engine, own, generation};
    bool prepared;
    {
        std::lock_guard<std::mutex> lock(run.shared.query_mutex);
        if (!still_current(run)) return;  // given up before it began
        prepared = run.shared.busy.load() != 0;
        if (prepared) {
            copy_query_inputs(run.shared, own);
            run.shared.phase.store(phase_started);
        }
    }
    if (!prepared) return end_query(run, inputs, query_not_prepared, false);
    copy_query_inputs(own, inputs);
    query_engine& e = own;
    const std::int32_t protocol = effective_protocol(e);
    // An implausible local clock cannot anchor an SNTP offset: ask for the
    // absolute time instead.
    if (!clock_plausible(system_time_now())) e.force_time_protocol.store(1);
    // The socket library is counted for the whole process, on the engine.
    int code = acquire_winsock(run.shared);
    if (code == query_ok) {
        raise_phase(run, phase_connecting);
        run.start_tick = tick_count();
        const bool time_transport = protocol == protocol_time || e.force_time_protocol.load();
        if (!time_transport && !e.average_names.empty()) {
            code = exchange_average(run);
        } else {
            code = ask_server(run, time_transport, protocol == protocol_time);
        }
        // Closed before the release, which may clean up the socket library.
        close_query_socket(run.shared, run.socket);
        release_winsock(run.shared);
    }
    end_query(run, inputs, code, code == query_ok && date_range_accepts(e, ntp_seconds_to_filetime(e.server_seconds)));
}

void run_query(chronobel_state& state) { run_query(state, state.engine.generation.load()); }

}  // namespace orvane
