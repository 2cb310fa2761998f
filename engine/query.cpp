// Preparing, starting, aborting and finishing a query; run_query itself is
// in query_run.cpp.
#include "engine/query.h"
#include <atomic>
#include <chrono>
#include <mutex>
#include "core/state.h"
#include "engine/average_query.h"
#include "engine/query_socket.h"
#include "sys/clock.h"
#include "sys/sockets.h"
#include "sys/threads.h"

namespace orvane {
namespace {

std::atomic<name_resolver> g_resolver{nullptr};

// The abort's last resort: the query fails now, and its thread (still in a
// call that nothing wakes) is no longer the engine's.
void give_up_query(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    if (!e.busy.load()) return;
    e.generation.fetch_add(1);
    end_blocked_calls(e.query_socket.exchange(no_socket));
    e.result_code.store(query_socket_error);
    e.busy.store(0);
    e.failed.store(1);
}

}  // namespace

int prepare_query(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    if (e.busy.load()) return query_not_prepared;
    e.generation.fetch_add(1);
    e.busy.store(1);
    e.in_progress.store(1);
    e.phase.store(phase_prepared);
    e.failed.store(0);
    e.start_index = e.server_index;
    e.offset = 0;
    e.server_seconds = 0;
    e.server_time = 0;
    e.reply_tick = 0;
    e.response_ms = 0;
    e.time_difference_s = 0;
    e.servers_asked = e.servers_answered = e.servers_agreeing = 0;
    e.servers_left_out.clear();
    e.force_time_protocol.store(0);
    e.result_code.store(query_ok);
    return query_ok;
}

void finish_query(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    if (e.busy.load()) return;
    e.in_progress.store(0);
    e.phase.store(phase_prepared);
    e.failed.store(0);
    e.abort_requested.store(0);
}

int map_socket_error() {
    switch (last_socket_error()) {
    case socket_error_not_connected: return query_not_connected;
    case socket_error_timed_out: return query_timed_out;
    case socket_error_no_protocol_option: return query_no_protocol_option;
    default: return query_socket_error;
    }
}

void end_query_socket_calls(query_engine& e) {
    std::lock_guard<std::mutex> lock(e.query_mutex);
    end_blocked_calls(e.query_socket.load());
}

void close_query_socket(query_engine& e, socket_handle own) {
    if (own == no_socket) return;
    {
        std::lock_guard<std::mutex> lock(e.query_mutex);
        socket_handle expected = own;
        e.query_socket.compare_exchange_strong(expected, no_socket);
    }
    close_socket(own);
}

bool start_query_thread(chronobel_state& state) {
    query_engine& e = state.engine;
    // The query this thread is for: the one just prepared.
    const std::uint32_t generation = e.generation.load();
    prepare_average(state);
    if (start_program_thread(state, program_thread::query,
                             [generation](chronobel_state& owner) { run_query(owner, generation); }))
        return true;
    {
        std::lock_guard<std::mutex> lock(e.query_mutex);
        e.busy.store(0);
        e.failed.store(1);
    }
    set_event(state.worker_event);
    return false;
}

int abort_query(query_engine& e) {
    e.abort_requested.store(1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(abort_deadline_ms);
    // Ended again at every step: a query that was between its last look at
    // abort_requested and a blocking call when the first one struck is
    // caught by the next.
    for (;;) {
        end_query_socket_calls(e);
        if (!e.busy.load()) return 0;
        if (std::chrono::steady_clock::now() >= deadline) {
            give_up_query(e);
            return 0;
        }
        sleep_ms(abort_poll_ms);
    }
}

void set_name_resolver(name_resolver resolver) { g_resolver.store(resolver); }

bool resolve_server_name(const std::string& name, std::vector<ip_address>& addresses) {
    const name_resolver resolver = g_resolver.load();
    return resolver ? resolver(name, addresses) : resolve_addresses(name, addresses);
}

bool server_addresses(const std::string& entry, std::vector<ip_address>& addresses) {
    ip_address literal;
    if (!ip_from_text(entry, literal)) return resolve_server_name(entry, addresses);
    addresses.assign(1, literal);
    return true;
}

}  // namespace orvane
